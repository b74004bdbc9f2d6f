#pragma once
// Shared set-up of the camera screen tests: offscreen Qt, the manual clock, a device profile,
// camera permission granted through the environment, a home folder of its own, a fresh camera
// backend, and the real controller in a headless window so that its view loads and its
// start-up runs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/camera/hxViewController.h"
#include "platform/capture/CameraBackend.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/device/DeviceProfile.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/host/HeadlessHost.h"
#include "platform/ui/host/QtApplication.h"
#include "platform/ui/window/UIApplication.h"
#include "platform/ui/window/UIWindow.h"
#include "platform/ui/window/UIWindowScene.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app::testing {

inline constexpr double kCameraFrame = 1.0 / 30;

class CameraScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.set("QT_QPA_PLATFORM", "offscreen");
        env_.set("HALIDEX_HOME", home_.path().c_str());
        env_.set("HALIDEX_CAMERA_AUTH", "authorized");
        env_.set("HALIDEX_CAMERA", "simulated");  // never a real camera of the machine
        for (const char* name : {"HALIDEX_CAMERA_SCENE", "HALIDEX_DEVICE"}) env_.set(name, nullptr);
        ui::ensureQtApplication();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(100);
        capture::SimulatedCamera::reset();
        useProfile("phone");
        UIWindowScene::mainScene().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
        UIApplication::sharedApplication().resetForTesting();
    }

    void TearDown() override {
        closeScreen();
        RunLoop::main().discardPendingWork();
        capture::CameraBackend::reset();
        capture::SimulatedCamera::reset();
        Clock::useRealTime();
        DeviceProfile::resetCurrent();
    }

    // A built-in profile, or a profile file's text when it holds a '='.
    void useProfile(const std::string& nameOrText) {
        if (nameOrText.find('=') == std::string::npos) {
            ASSERT_TRUE(DeviceProfile::select(nameOrText));
        } else {
            std::string error;
            auto profile = DeviceProfile::parse(nameOrText, "test", &error);
            ASSERT_TRUE(profile) << error;
            DeviceProfile::setCurrent(*profile);
        }
        capture::CameraBackend::reset();
    }

    // The controller in a window: its view loads and its start-up runs, the layout included.
    hxViewController& openScreen() {
        controller_ = std::make_shared<hxViewController>();
        host_ = std::make_unique<HeadlessHost>();
        host_->window()->setRootViewController(controller_);
        host_->window()->makeKeyAndVisible();
        controller_->loadViewIfNeeded();
        return *controller_;
    }

    void closeScreen() {
        if (host_) host_->window()->setRootViewController(nullptr);
        controller_.reset();
        host_.reset();
    }

    static void advance(double seconds) { RunLoop::main().advance(seconds); }
    // Runs the main queue until `done`, waiting for work in flight on other threads.
    static bool runUntil(const std::function<bool()>& done, double seconds = 10) {
        return RunLoop::main().runUntil(done, seconds);
    }

    hxViewController& screen() { return *controller_; }

    hx::testing::ScopedEnvironment env_;
    testsupport::TemporaryFolder home_{"hx-camera-screen"};
    std::shared_ptr<hxViewController> controller_;
    std::unique_ptr<HeadlessHost> host_;
};

}  // namespace hx::app::testing
