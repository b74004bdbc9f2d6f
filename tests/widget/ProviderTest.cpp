// The widget's declaration and its timeline provider on the manual clock.

#include <gtest/gtest.h>

#include "platform/bundle/Bundle.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/widget/WidgetTestSupport.h"
#include "widget/Provider.h"
#include "widget/halidexwidget.h"

namespace hx {
namespace {

class ProviderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment_.set("HALIDEX_HOME", home_.path().c_str());
        photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(1000);
        Date::setNow(*Date::fromISO8601("2026-03-14T09:26:53Z"));
    }
    void TearDown() override {
        RunLoop::main().discardPendingWork();
        Date::resetNow();
        Clock::useRealTime();
    }
    // Whether anything opened the shared photo library since SetUp.
    static bool libraryWasOpened() {
        return photos::PhotoLibrary::setSharedPhotoLibrary(nullptr) != nullptr;
    }

    testsupport::TemporaryFolder home_{"hx-widget-provider"};
    hx::testing::ScopedEnvironment environment_;
    Provider provider_;
    const hxConfigurationIntent intent_;
    const TimelineProviderContext context_ =
        TimelineProviderContext::forFamily(WidgetFamily::systemSmall);
};

TEST_F(ProviderTest, PlaceholderAndSnapshotAreFilmNowAndNeverTouchTheLibrary) {
    const SimpleEntry placeholder = provider_.placeholder(context_);
    EXPECT_EQ(placeholder.title, "Film");
    EXPECT_EQ(placeholder.date, Date::now());

    RunLoop::main().advance(90);
    std::optional<SimpleEntry> snapshot;
    provider_.getSnapshot(intent_, context_, [&](SimpleEntry entry) { snapshot = entry; });
    ASSERT_TRUE(snapshot) << "the snapshot is given at once";
    EXPECT_EQ(snapshot->title, "Film");
    EXPECT_EQ(snapshot->date.iso8601(), "2026-03-14T09:28:23Z");

    EXPECT_FALSE(libraryWasOpened());
    EXPECT_FALSE(std::filesystem::exists(home_.path() / "data"));
}

TEST_F(ProviderTest, ATimelineIsOneEntryForNowAndAReloadThirtyMinutesLater) {
    for (double minutesLater : {0.0, 7.5, 30.0}) {
        RunLoop::main().advance(minutesLater * 60);
        std::optional<Timeline<SimpleEntry>> timeline;
        provider_.getTimeline(intent_, context_, [&](Timeline<SimpleEntry> t) { timeline = t; });
        ASSERT_TRUE(timeline);
        ASSERT_EQ(timeline->entries.size(), 1u);
        EXPECT_EQ(timeline->entries[0].title, "");
        EXPECT_EQ(timeline->entries[0].date, Date::now());
        ASSERT_EQ(timeline->policy.kind(), TimelineReloadPolicy::Kind::after);
        EXPECT_DOUBLE_EQ(timeline->policy.date().timeIntervalSince1970,
                         Date::now().timeIntervalSince1970 + 30 * 60);
    }
    EXPECT_FALSE(libraryWasOpened()) << "the timeline leaves the photo to the view";
}

TEST_F(ProviderTest, WithoutARefreshDateTheTimelineWaitsForAReloadRequest) {
    // A clock set beyond the calendar's last year.
    Date::setNow(Date{1e13});
    log::CaptureScope capture;
    std::optional<Timeline<SimpleEntry>> timeline;
    provider_.getTimeline(intent_, context_, [&](Timeline<SimpleEntry> t) { timeline = t; });
    ASSERT_TRUE(timeline);
    EXPECT_EQ(timeline->entries.size(), 1u);
    EXPECT_EQ(timeline->policy.kind(), TimelineReloadPolicy::Kind::never);
    EXPECT_TRUE(capture.contains("no date 30 minutes after"));
}

TEST(WidgetDeclaration, OneIntentConfiguredWidgetForTheSmallAndCircularFamilies) {
    const halidexwidgetBundle bundle;
    EXPECT_EQ(bundle.interfaceVersion(), WidgetBundle::kInterfaceVersion);
    const auto widgets = bundle.body();
    ASSERT_EQ(widgets.size(), 1u);
    const WidgetConfiguration configuration = widgets[0]->body();
    EXPECT_EQ(configuration.kind(), "halidexwidget");
    EXPECT_EQ(
        configuration.families(),
        (std::vector<WidgetFamily>{WidgetFamily::systemSmall, WidgetFamily::accessoryCircular}));
    EXPECT_EQ(configuration.intentClassName(), "hxConfigurationIntent");
    EXPECT_EQ(configuration.displayName(),
              Bundle::main().localizedStringForKey("widget_displayname"));
    EXPECT_NE(configuration.displayName(), "widget_displayname") << "the text is in the strings";
    EXPECT_EQ(configuration.descriptionText(),
              Bundle::main().localizedStringForKey("widget_description"));
    // Each entry gets a view of its own; an entry of another type gets none.
    const SimpleEntry entry(Date{0}, "Film");
    EXPECT_TRUE(configuration.makeView(entry));
    EXPECT_FALSE(configuration.makeView(TimelineEntry(Date{0})));
}

TEST(DateText, ISO8601DatesAreReadAndWritten) {
    EXPECT_EQ(Date::fromISO8601("2026-03-14T09:26:53Z")->timeIntervalSince1970, 1773480413);
    EXPECT_EQ(Date::fromISO8601("2026-03-14T10:26:53+01:00")->iso8601(), "2026-03-14T09:26:53Z");
    EXPECT_EQ(Date::fromISO8601("1969-12-31")->timeIntervalSince1970, -86400);
    for (const char* bad : {"", "2026-13-01", "2026-03-14T25:00:00Z", "yesterday",
                            "2026-03-14T09:26:53+0100", "2026-03-14X"})
        EXPECT_FALSE(Date::fromISO8601(bad)) << bad;
}

}  // namespace
}  // namespace hx
