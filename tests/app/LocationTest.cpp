// Location tagging on the camera screen, with the simulated receiver and the user's answers as
// the platform keeps them: services off, access refused after the question was answered, a
// temporary failure, errors before any answer, and switching tagging off and on.

#include "app/camera/CameraSettingsKeys.h"
#include "app/camera/Localized.h"
#include "platform/location/LocationAuthorization.h"
#include "platform/location/simulated/SimulatedLocationBackend.h"
#include "platform/photos/library/PhotoLibrary.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/alerts/UIAlertController.h"
#include "tests/app/CameraAppTestSupport.h"

namespace hx::app {
namespace {

class LocationTest : public testing::CameraAppTest {
  protected:
    void SetUp() override {
        CameraAppTest::SetUp();
        photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
        environment_.set("HALIDEX_LOCATION", "simulated");
        environment_.set("HALIDEX_LOCATION_POINT", "48.8584,2.2945,35");
        environment_.set("HALIDEX_LOCATION_SERVICES", "on");
        environment_.set("HALIDEX_LOCATION_AUTH", "granted");
    }
    void TearDown() override {
        RunLoop::main().runUntil([] { return false; }, 30);
        CameraAppTest::TearDown();
        photos::PhotoLibrary::setSharedPhotoLibrary(nullptr);
    }

    // The geotag toggle of the settings panel, as the user presses it; then the run loop
    // moves on.
    void toggleGeotag() {
        toggleGeotagNow();
        advance(0.1);
    }
    // The toggle's action, before anything the manager posts has run.
    void toggleGeotagNow() {
        if (!camera()._settingView || camera()._settingView->isHidden()) {
            press("_settingButton");
            advance(0.5);
        }
        camera().geoTagAction(camera()._geoTagButton.get());
    }
    bool storedGeotag() { return otherProgramStore()->boolForKey(KEY_GEOTAG); }
    std::shared_ptr<UIAlertController> shownAlert() {
        return std::dynamic_pointer_cast<UIAlertController>(camera().presentedViewController());
    }
    void expectAlert(const char* key) {
        auto alert = shownAlert();
        ASSERT_TRUE(alert) << key;
        EXPECT_EQ(alert->message(), localizedString(key));
        EXPECT_FALSE(alert->message().empty());
        ASSERT_EQ(alert->actions().size(), 1u);
        EXPECT_EQ(alert->actions().front()->title(), localizedString("authorize_ph_close"));
    }
};

TEST_F(LocationTest, TaggingRunsTheReceiverAndAPositionMarksItReady) {
    launch();
    toggleGeotagNow();
    auto& c = camera();
    EXPECT_TRUE(c._geoTag);
    EXPECT_TRUE(storedGeotag());
    ASSERT_TRUE(c.locationManager);
    EXPECT_EQ(c.locationManager->delegate(), &c);
    EXPECT_EQ(c.locationManager->desiredAccuracy(), kCLLocationAccuracyBest);
    EXPECT_EQ(c.locationManager->distanceFilter(), 10.0);
    EXPECT_FALSE(c._updateLocation) << "no position before the receiver reports";
    advance(0.5);
    EXPECT_TRUE(c._loc_determinded);
    EXPECT_TRUE(c._updateLocation);
    ASSERT_TRUE(c.locationManager->location());
    EXPECT_NEAR(c.locationManager->location()->latitude, 48.8584, 1e-9);
    EXPECT_FALSE(shownAlert());
}

TEST_F(LocationTest, TurningTaggingOffAndOnWaitsForANewPosition) {
    launch();
    toggleGeotag();
    advance(0.5);
    auto& c = camera();
    ASSERT_TRUE(c._updateLocation);
    toggleGeotag();
    EXPECT_FALSE(c._geoTag);
    EXPECT_FALSE(storedGeotag());
    EXPECT_FALSE(c.locationManager);
    EXPECT_FALSE(c._updateLocation);
    EXPECT_EQ(SimulatedLocation::runningBackends(), 0u);
    toggleGeotagNow();
    ASSERT_TRUE(c.locationManager);
    EXPECT_FALSE(c._updateLocation) << "the old position does not count for the new manager";
    advance(0.5);
    EXPECT_TRUE(c._updateLocation);
}

TEST_F(LocationTest, ServicesOffTurnTaggingOffWithAnAlert) {
    environment_.set("HALIDEX_LOCATION_SERVICES", "off");
    launch();
    toggleGeotag();
    auto& c = camera();
    EXPECT_FALSE(c._geoTag);
    EXPECT_FALSE(c._geoTagButton->isSelected());
    EXPECT_FALSE(storedGeotag());
    EXPECT_FALSE(c.locationManager);
    EXPECT_FALSE(c._updateLocation);
    expectAlert("location_disable");
}

TEST_F(LocationTest, AccessRefusedAfterTheAnswerStopsTheReceiverWithAnAlert) {
    environment_.set("HALIDEX_LOCATION_AUTH", "denied");
    launch();
    toggleGeotag();
    advance(0.5);
    auto& c = camera();
    EXPECT_TRUE(c._loc_determinded);
    EXPECT_FALSE(c._geoTag);
    EXPECT_FALSE(c._geoTagButton->isSelected());
    EXPECT_FALSE(storedGeotag());
    EXPECT_FALSE(c.locationManager) << "the manager is dropped";
    expectAlert("location_notallow");
}

TEST_F(LocationTest, AnotherErrorTurnsTaggingOffButTheReceiverKeepsRunning) {
    launch();
    toggleGeotag();
    advance(0.5);
    auto& c = camera();
    ASSERT_TRUE(c._updateLocation);
    SimulatedLocation::fail(LocationError{kCLErrorLocationUnknown});
    advance(0.5);
    EXPECT_FALSE(c._geoTag);
    EXPECT_FALSE(c._geoTagButton->isSelected());
    EXPECT_FALSE(storedGeotag());
    ASSERT_TRUE(c.locationManager);
    EXPECT_EQ(SimulatedLocation::runningBackends(), 1u);
    EXPECT_TRUE(c._updateLocation) << "the position received stays known";
    expectAlert("location_cantget");
}

TEST_F(LocationTest, ErrorsBeforeTheQuestionIsAnsweredAreIgnored) {
    // Nobody has answered: the manager asks, and the receiver fails before the answer is in.
    environment_.set("HALIDEX_LOCATION_AUTH", nullptr);
    LocationAuthorization::set(AuthorizationStatus::NotDetermined);
    launch();
    toggleGeotagNow();
    auto& c = camera();
    ASSERT_TRUE(c.locationManager);
    EXPECT_FALSE(c._loc_determinded);
    c.didFailWithError(*c.locationManager, LocationError{kCLErrorDenied});
    c.didFailWithError(*c.locationManager, LocationError{kCLErrorLocationUnknown});
    EXPECT_TRUE(c._geoTag);
    EXPECT_TRUE(storedGeotag());
    EXPECT_TRUE(c.locationManager);
    EXPECT_FALSE(shownAlert());
    // The question is then answered (on a desktop, switching tagging on is the consent).
    advance(0.5);
    EXPECT_TRUE(c._loc_determinded);
    EXPECT_EQ(LocationAuthorization::current(), AuthorizationStatus::AuthorizedWhenInUse);
    EXPECT_TRUE(c._updateLocation);
    EXPECT_TRUE(c._geoTag);
}

TEST_F(LocationTest, TaggingSavedOnStartsTheReceiverAtLaunch) {
    auto other = otherProgramStore();
    other->setBool(true, KEY_GEOTAG);
    other->synchronize();
    launch();
    auto& c = camera();
    EXPECT_TRUE(c._geoTag);
    ASSERT_TRUE(c.locationManager);
    advance(0.5);
    EXPECT_TRUE(c._updateLocation);
    EXPECT_EQ(SimulatedLocation::runningBackends(), 1u);
}

}  // namespace
}  // namespace hx::app
