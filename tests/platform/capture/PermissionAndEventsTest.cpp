// Camera permission, and capture events from the hardware buttons.

#include <fstream>
#include <thread>

#include "platform/capture/CaptureEventInteraction.h"
#include "tests/platform/capture/CaptureTestSupport.h"

namespace hx::capture::testing {
namespace {

using Permission = CaptureTest;
using Events = CaptureTest;

TEST_F(Permission, TheFirstRequestAnswersAndIsRemembered) {
    EXPECT_EQ(CaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo),
              AVAuthorizationStatusNotDetermined);
    std::atomic<int> answers{0};
    std::atomic<bool> granted{false};
    CaptureDevice::requestAccessForMediaType(AVMediaTypeVideo, [&](bool yes) {
        granted = yes;
        ++answers;
    });
    ASSERT_TRUE(waitFor([&] { return answers == 1; }));
    EXPECT_TRUE(granted);
    EXPECT_EQ(CaptureDevice::authorizationStatusForMediaType(AVMediaTypeVideo),
              AVAuthorizationStatusAuthorized);
    std::ifstream file(home_ + "/config/camera-authorization");
    std::string word;
    file >> word;
    EXPECT_EQ(word, "authorized");
}

TEST_F(Permission, ARefusalKeepsTheCameraClosed) {
    CaptureAuthorization::setPromptAnswer(AVAuthorizationStatusDenied);
    EXPECT_EQ(CaptureAuthorization::request(), AVAuthorizationStatusDenied);
    EXPECT_EQ(CaptureAuthorization::request(), AVAuthorizationStatusDenied);  // asked once
    CaptureError error;
    EXPECT_EQ(CaptureDeviceInput::deviceInputWithDevice(backWide(), &error), nullptr);
    EXPECT_EQ(error.code, AVErrorApplicationIsNotAuthorizedToUseDevice);

    // The environment overrides what was recorded.
    env_.set("HALIDEX_CAMERA_AUTH", "authorized");
    EXPECT_TRUE(CaptureDeviceInput::deviceInputWithDevice(backWide()));
    env_.set("HALIDEX_CAMERA_AUTH", "restricted");
    EXPECT_EQ(CaptureAuthorization::current(), AVAuthorizationStatusRestricted);
    EXPECT_EQ(CaptureAuthorization::current(AVMediaTypeAudio), AVAuthorizationStatusAuthorized);
}

TEST_F(Events, ButtonPressesReachEveryEnabledInteraction) {
    std::vector<std::string> heard;
    auto record = [&](const char* who) {
        return [&heard, who](const CaptureEvent& event) {
            heard.push_back(std::string(who) + " " + std::to_string(event.phase()));
        };
    };
    EXPECT_FALSE(CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseBegan));

    auto shutter = CaptureEventInteraction::initWithEventHandler(record("shutter"));
    auto split = CaptureEventInteraction::initWithPrimaryEventHandler(record("primary"),
                                                                      record("secondary"));
    EXPECT_EQ(CaptureEventInteraction::listeningInteractions(), 2u);
    EXPECT_TRUE(CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseBegan));
    EXPECT_TRUE(CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseEnded));
    CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseBegan,
                                                        CaptureEventButton::Secondary);
    CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseEnded,
                                                        CaptureEventButton::Secondary);
    EXPECT_EQ(heard,
              (std::vector<std::string>{"shutter 0", "primary 0", "shutter 1", "primary 1",
                                        "shutter 0", "secondary 0", "shutter 1", "secondary 1"}));

    // Disabling in the middle of a press cancels it; a disabled interaction hears nothing.
    heard.clear();
    CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseBegan);
    split->setEnabled(false);
    CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseEnded);
    EXPECT_EQ(heard,
              (std::vector<std::string>{"shutter 0", "primary 0", "primary 2", "shutter 1"}));

    // A release without a press is not passed on; a destroyed interaction is gone.
    heard.clear();
    split->setEnabled(true);
    CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseEnded);
    EXPECT_TRUE(heard.empty());
    shutter.reset();
    split.reset();
    EXPECT_EQ(CaptureEventInteraction::listeningInteractions(), 0u);
}

TEST_F(Events, PressesFromOtherThreadsArriveOnTheMainThread) {
    std::atomic<int> onMain{0}, elsewhere{0};
    auto interaction = CaptureEventInteraction::initWithEventHandler(
        [&](const CaptureEvent&) { (RunLoop::isMainThread() ? onMain : elsewhere)++; });
    std::thread window([] {
        EXPECT_TRUE(CaptureEventInteraction::deliverHardwareButtonPhase(AVCaptureEventPhaseBegan));
    });
    window.join();
    EXPECT_EQ(onMain, 0);
    advance(0);
    EXPECT_EQ(onMain, 1);
    EXPECT_EQ(elsewhere, 0);
}

}  // namespace
}  // namespace hx::capture::testing
