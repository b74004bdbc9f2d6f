#pragma once
// Runs the camera application inside a test: offscreen Qt, the manual clock, a device profile,
// every folder under a temporary HALIDEX_HOME, and the application delegate launched through
// UIApplication as the program does. The camera's store is the test program's own (the
// standard store is named after the running program).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/camera/hxAppDelegate.h"
#include "platform/capture/CaptureEventInteraction.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/ui/host/HeadlessHost.h"
#include "tests/platform/ui/views/UITestSupport.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::app::testing {

class CameraAppTest : public hx::testing::UITest {
  protected:
    void SetUp() override {
        UITest::SetUp();
        environment_.set("HALIDEX_HOME", home_.path().c_str());
        environment_.set("HALIDEX_CAMERA", "simulated");
        environment_.set("HALIDEX_MOTION", "simulated");
        environment_.set("HALIDEX_CAMERA_AUTH", "authorized");
        environment_.set("HALIDEX_PHOTOS_AUTH", "authorized");
        environment_.set("HALIDEX_LOCATION_AUTH", "denied");
        SimulatedMotion::reset();
        UserDefaults::resetStandardUserDefaults();
    }

    void TearDown() override {
        if (delegate_) {
            UIApplication::sharedApplication().terminate();
            host_.reset();
            delegate_.reset();
        }
        UIApplication::sharedApplication().resetForTesting();
        UserDefaults::standard().synchronize();
        UserDefaults::resetStandardUserDefaults();
        SimulatedMotion::reset();
        UITest::TearDown();
    }

    // Launches the application with the profile: window, camera screen, first activation.
    void launch(const std::string& profile = "phone") {
        DeviceProfile::setCurrent(*DeviceProfile::named(profile));
        delegate_ = std::make_shared<hxAppDelegate>();
        auto& application = UIApplication::sharedApplication();
        application.setDelegate(delegate_);
        application.finishLaunching();
        host_ = std::make_unique<HeadlessHost>(delegate_->window());
        advance(0.5);
    }

    hxViewController& camera() { return *delegate_->viewController(); }
    HeadlessHost& host() { return *host_; }
    // A tap at the centre of the camera screen's view held under that field name.
    void press(const std::string& field) {
        auto view = camera().viewForField(field);
        ASSERT_TRUE(view) << field;
        CGRect frame = view->convertRectToView(view->bounds(), nullptr);
        host_->tap({frame.midX(), frame.midY()});
        advance(0.1);
    }
    // A second store of the camera's file, as another program (the settings tool) holds it.
    std::unique_ptr<UserDefaults> otherProgramStore() {
        return std::make_unique<UserDefaults>(UserDefaults::standardName());
    }

    hx::testsupport::TemporaryFolder home_{"hx-camera-app"};
    hx::testing::ScopedEnvironment environment_;
    std::shared_ptr<hxAppDelegate> delegate_;
    std::unique_ptr<HeadlessHost> host_;
};

}  // namespace hx::app::testing
