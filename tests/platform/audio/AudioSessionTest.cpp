#include "platform/audio/AudioSession.h"

#include <gtest/gtest.h>

namespace hx {
namespace {

class AudioSessionTest : public ::testing::Test {
  protected:
    void SetUp() override { AudioSession::sharedInstance().reset(); }
    void TearDown() override { AudioSession::sharedInstance().reset(); }
};

TEST_F(AudioSessionTest, CameraSetupIsRecorded) {
    AudioSession& session = AudioSession::sharedInstance();
    EXPECT_EQ(session.category(), AVAudioSessionCategorySoloAmbient);
    EXPECT_FALSE(session.isActive());

    // What the camera asks for: ambient sound that mixes with whatever else plays.
    AudioSessionError error;
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryAmbient,
                                    AVAudioSessionCategoryOptionMixWithOthers, &error));
    EXPECT_TRUE(session.setActive(true, &error));
    EXPECT_EQ(session.category(), "AVAudioSessionCategoryAmbient");
    EXPECT_EQ(session.categoryOptions(), 1u);
    EXPECT_TRUE(session.isActive());
    EXPECT_EQ(&session, &AudioSession::sharedInstance());

    EXPECT_TRUE(session.setActive(false));
    EXPECT_FALSE(session.isActive());
}

TEST_F(AudioSessionTest, UnknownCategoryOrOptionsLeaveTheSessionAlone) {
    AudioSession& session = AudioSession::sharedInstance();
    ASSERT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback,
                                    AVAudioSessionCategoryOptionDuckOthers));
    AudioSessionError error;
    EXPECT_FALSE(session.setCategory("AVAudioSessionCategoryLoud", 0, &error));
    EXPECT_EQ(error.code, kAudioSessionErrorBadParameter);
    EXPECT_NE(error.message.find("AVAudioSessionCategoryLoud"), std::string::npos);
    EXPECT_FALSE(session.setCategory(AVAudioSessionCategoryAmbient, 0x100, &error));
    EXPECT_NE(error.message.find("0x100"), std::string::npos);
    EXPECT_FALSE(session.setCategory(AVAudioSessionCategoryAmbient, 0x100));  // no error asked
    EXPECT_EQ(session.category(), AVAudioSessionCategoryPlayback);
    EXPECT_EQ(session.categoryOptions(), AVAudioSessionCategoryOptionDuckOthers);
}

}  // namespace
}  // namespace hx
