// The simulated system volume: steps, ends of the range, the announcements under both names
// with their user info, and a device without a volume control.

#include "platform/audio/SystemVolume.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "platform/runloop/NotificationCenter.h"

namespace hx {
namespace {

class SystemVolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SystemVolume::shared().reset();
        for (const char* name :
             {kSystemVolumeDidChangeNotification, kSystemVolumeDidChangeLegacyNotification})
            tokens_.push_back(NotificationCenter::defaultCenter().addObserverForName(
                name, nullptr, nullptr, [this](const Notification& n) { heard_.push_back(n); }));
    }
    void TearDown() override {
        for (auto token : tokens_) NotificationCenter::defaultCenter().removeObserver(token);
        SystemVolume::shared().reset();
    }

    std::vector<NotificationCenter::ObserverToken> tokens_;
    std::vector<Notification> heard_;
};

TEST_F(SystemVolumeTest, KeyPressesStepBySixteenthsAndAnnounceUnderBothNames) {
    SystemVolume& volume = SystemVolume::shared();
    EXPECT_FLOAT_EQ(volume.volume(), 0.5f);
    ASSERT_TRUE(volume.stepVolume(+1));
    EXPECT_FLOAT_EQ(volume.volume(), 0.5625f);
    ASSERT_EQ(heard_.size(), 2u);
    EXPECT_EQ(heard_[0].name, kSystemVolumeDidChangeNotification);
    EXPECT_EQ(heard_[1].name, kSystemVolumeDidChangeLegacyNotification);
    for (const Notification& n : heard_) {
        EXPECT_FLOAT_EQ(static_cast<float>(n.numberValue(kSystemVolumeParameterKey)), 0.5625f);
        EXPECT_EQ(n.textValue(kSystemVolumeReasonKey), kSystemVolumeExplicitChange);
    }
    ASSERT_TRUE(volume.stepVolume(-1));
    ASSERT_TRUE(volume.stepVolume(-1));
    EXPECT_FLOAT_EQ(volume.volume(), 0.4375f);
}

TEST_F(SystemVolumeTest, PressesAtTheEndsKeepTheLevelAndStillAnnounce) {
    SystemVolume& volume = SystemVolume::shared();
    for (int i = 0; i < 20; ++i) volume.stepVolume(+1);
    EXPECT_EQ(volume.volume(), 1.0f) << "sixteenths add up to exactly one";
    heard_.clear();
    volume.stepVolume(+1);
    EXPECT_EQ(volume.volume(), 1.0f);
    ASSERT_EQ(heard_.size(), 2u);
    EXPECT_EQ(heard_[0].numberValue(kSystemVolumeParameterKey), 1.0);
    for (int i = 0; i < 20; ++i) volume.stepVolume(-1);
    EXPECT_EQ(volume.volume(), 0.0f);
    // Set values are clamped; a value that is not a number leaves the level alone.
    volume.setVolume(3);
    EXPECT_EQ(volume.volume(), 1.0f);
    volume.setVolume(-1);
    EXPECT_EQ(volume.volume(), 0.0f);
    volume.setVolume(0.3f);
    volume.setVolume(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(volume.volume(), 0.3f);
}

TEST_F(SystemVolumeTest, WithoutAVolumeControlNothingChangesOrIsAnnounced) {
    SystemVolume& volume = SystemVolume::shared();
    volume.setHasVolumeControl(false);
    EXPECT_FALSE(volume.hasVolumeControl());
    EXPECT_FALSE(volume.stepVolume(+1));
    EXPECT_FALSE(volume.setVolume(0.9f));
    EXPECT_FLOAT_EQ(volume.volume(), 0.5f);
    EXPECT_TRUE(heard_.empty());
    volume.reset();
    EXPECT_TRUE(volume.hasVolumeControl());
}

}  // namespace
}  // namespace hx
