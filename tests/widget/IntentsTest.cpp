// The configuration intent and its response, through the keyed archive another process would
// read them from.

#include <gtest/gtest.h>

#include "platform/intents/NSCoder.h"
#include "widget/intents/hxConfigurationIntent.h"
#include "widget/intents/hxConfigurationIntentResponse.h"

namespace hx {
namespace {

TEST(ConfigurationIntentResponse, RawValuesZeroToSixAreTheCodesAndNothingElse) {
    const hxConfigurationIntentResponseCode expected[] = {
        hxConfigurationIntentResponseCode::Unspecified,
        hxConfigurationIntentResponseCode::Ready,
        hxConfigurationIntentResponseCode::ContinueInApp,
        hxConfigurationIntentResponseCode::InProgress,
        hxConfigurationIntentResponseCode::Success,
        hxConfigurationIntentResponseCode::Failure,
        hxConfigurationIntentResponseCode::FailureRequiringAppLaunch};
    for (int raw = 0; raw <= 6; ++raw)
        EXPECT_EQ(hxConfigurationIntentResponseCodeFromRawValue(raw), expected[raw]) << raw;
    for (std::int64_t raw : std::initializer_list<std::int64_t>{-1, 7, 100, INT64_MAX, INT64_MIN})
        EXPECT_FALSE(hxConfigurationIntentResponseCodeFromRawValue(raw)) << raw;
}

TEST(ConfigurationIntentResponse, CodeAndActivitySurviveAnArchive) {
    EXPECT_EQ(hxConfigurationIntentResponse().code(),
              hxConfigurationIntentResponseCode::Unspecified);
    const NSUserActivity activity{"hxConfigurationIntent", "tab\there\nand \\ back"};
    const hxConfigurationIntentResponse response(hxConfigurationIntentResponseCode::Success,
                                                 activity);
    EXPECT_EQ(response.code(), hxConfigurationIntentResponseCode::Success);
    ASSERT_TRUE(response.userActivity());

    NSCoder coder;
    response.encodeWithCoder(coder);
    const auto read = NSCoder::fromArchivedString(coder.archivedString());
    ASSERT_TRUE(read);
    const hxConfigurationIntentResponse again(*read);
    EXPECT_EQ(again.code(), hxConfigurationIntentResponseCode::Success);
    EXPECT_EQ(again.userActivity(), std::optional<NSUserActivity>(activity));

    // No activity given: none comes back.
    NSCoder bare;
    hxConfigurationIntentResponse(hxConfigurationIntentResponseCode::Failure, std::nullopt)
        .encodeWithCoder(bare);
    const hxConfigurationIntentResponse plain(*NSCoder::fromArchivedString(bare.archivedString()));
    EXPECT_EQ(plain.code(), hxConfigurationIntentResponseCode::Failure);
    EXPECT_FALSE(plain.userActivity());
}

TEST(ConfigurationIntentResponse, AStoredCodeOutsideTheEnumerationReadsAsUnspecified) {
    NSCoder coder;
    coder.encodeInteger(42, "code");
    EXPECT_EQ(hxConfigurationIntentResponse(coder).code(),
              hxConfigurationIntentResponseCode::Unspecified);
    coder.encodeObject("4", "code");  // a string where a number belongs
    EXPECT_EQ(hxConfigurationIntentResponse(coder).code(),
              hxConfigurationIntentResponseCode::Unspecified);
}

TEST(ConfigurationIntent, KeepsItsIdentityThroughAnArchive) {
    const hxConfigurationIntent intent;
    const hxConfigurationIntent other;
    EXPECT_NE(intent.identifier(), other.identifier());
    EXPECT_EQ(intent.intentClassName(), "hxConfigurationIntent");
    NSCoder coder;
    intent.encodeWithCoder(coder);
    const hxConfigurationIntent again(*NSCoder::fromArchivedString(coder.archivedString()));
    EXPECT_EQ(again.identifier(), intent.identifier());
}

TEST(KeyedArchive, DamagedArchivesAreRefused) {
    for (const char* text : {"key\tx\t1\n", "key\ti\tnot a number\n", "no tabs\n",
                             "key\ts\tbad escape \\q\n", "key\ti\t12abc\n"})
        EXPECT_FALSE(NSCoder::fromArchivedString(text)) << text;
    EXPECT_TRUE(NSCoder::fromArchivedString(""));
}

}  // namespace
}  // namespace hx
