#include "platform/location/LocationManager.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "LocationTestSupport.h"
#include "platform/location/LocationAuthorization.h"
#include "platform/location/simulated/NmeaLog.h"
#include "platform/location/simulated/SimulatedLocationBackend.h"
#include "platform/log/CaptureScope.h"

namespace hx {
namespace {

using ::testing::ElementsAre;
using testing::LocationTest;
using testing::RecordingDelegate;
using Status = AuthorizationStatus;

Location point(double latitude, double longitude) {
    Location l;
    l.latitude = latitude;
    l.longitude = longitude;
    return l;
}

// About `metres` north of `from`.
Location north(const Location& from, double metres) {
    return point(from.latitude + metres / 111'195.0, from.longitude);
}

std::unique_ptr<LocationManager> fixedPointManager(const Location& where) {
    return std::make_unique<LocationManager>(std::make_unique<SimulatedLocationBackend>(where));
}

double wallClockNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

class Authorization : public LocationTest {};

TEST_F(Authorization, NewManagerReportsItsStatusThenEachChange) {
    auto manager = fixedPointManager(point(1, 2));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    EXPECT_TRUE(delegate.events.empty()) << "callbacks never run inside the call";
    runQueued();
    EXPECT_THAT(delegate.statuses, ElementsAre(Status::NotDetermined));

    manager->requestWhenInUseAuthorization();
    runQueued();
    EXPECT_THAT(delegate.statuses, ElementsAre(Status::NotDetermined, Status::AuthorizedWhenInUse));
    EXPECT_EQ(manager->authorizationStatus(), Status::AuthorizedWhenInUse);

    // Answered once: asking again changes nothing and says nothing.
    manager->requestWhenInUseAuthorization();
    runQueued();
    EXPECT_EQ(delegate.statuses.size(), 2u);

    // The answer is the user's, kept in the config folder for the next manager and program.
    std::ifstream file(std::filesystem::path(home_) / "config/location-authorization");
    std::string word;
    file >> word;
    EXPECT_EQ(word, "granted");
    auto next = fixedPointManager(point(1, 2));
    RecordingDelegate nextDelegate;
    next->setDelegate(&nextDelegate);
    runQueued();
    EXPECT_THAT(nextDelegate.statuses, ElementsAre(Status::AuthorizedWhenInUse));
}

TEST_F(Authorization, UpdatesWaitForTheAnswerAndBeginWhenGranted) {
    auto manager = fixedPointManager(point(10, 20));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    runQueued();
    EXPECT_TRUE(delegate.fixes.empty());
    EXPECT_FALSE(manager->location());

    manager->requestWhenInUseAuthorization();
    runQueued();
    EXPECT_THAT(delegate.events, ElementsAre("auth 0", "auth 4", "update"));
    ASSERT_TRUE(manager->location());
    EXPECT_DOUBLE_EQ(manager->location()->latitude, 10);
}

TEST_F(Authorization, RefusalGivesTheDeniedErrorAndNoUpdates) {
    LocationAuthorization::setPromptAnswer(Status::Denied);
    auto manager = fixedPointManager(point(10, 20));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    manager->requestWhenInUseAuthorization();
    runQueued();
    EXPECT_THAT(delegate.events, ElementsAre("auth 0", "auth 2", "fail 1"));
    EXPECT_EQ(SimulatedLocation::runningBackends(), 0u);
    EXPECT_FALSE(manager->location());
}

TEST_F(Authorization, EnvironmentOverridesTheStoredAnswer) {
    ASSERT_TRUE(LocationAuthorization::set(Status::AuthorizedWhenInUse));
    env_.set("HALIDEX_LOCATION_AUTH", "restricted");
    EXPECT_EQ(LocationAuthorization::current(), Status::Restricted);
    auto manager = fixedPointManager(point(10, 20));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    manager->requestWhenInUseAuthorization();  // already answered: no question
    runQueued();
    EXPECT_THAT(delegate.events, ElementsAre("auth 1", "fail 1"));

    env_.set("HALIDEX_LOCATION_AUTH", "sometimes");
    log::CaptureScope capture;
    EXPECT_EQ(LocationAuthorization::current(), Status::AuthorizedWhenInUse);
    EXPECT_TRUE(capture.contains("HALIDEX_LOCATION_AUTH"));
}

TEST_F(Authorization, ServicesSwitchedOffForTheDeviceRefuseEveryone) {
    ASSERT_TRUE(LocationAuthorization::set(Status::AuthorizedWhenInUse));
    ASSERT_TRUE(LocationAuthorization::setServicesEnabled(false));
    EXPECT_FALSE(LocationManager::locationServicesEnabled());
    auto manager = fixedPointManager(point(10, 20));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    runQueued();
    EXPECT_EQ(delegate.errors, std::vector<int>{kCLErrorDenied});
    EXPECT_TRUE(delegate.fixes.empty());

    // Switching them back on lets the waiting updates through.
    ASSERT_TRUE(LocationAuthorization::setServicesEnabled(true));
    runQueued();
    EXPECT_EQ(delegate.fixes.size(), 1u);

    env_.set("HALIDEX_LOCATION_SERVICES", "off");
    EXPECT_FALSE(LocationManager::locationServicesEnabled());
}

TEST_F(Authorization, RevokingAccessWhileRunningStopsTheUpdates) {
    ASSERT_TRUE(LocationAuthorization::set(Status::AuthorizedWhenInUse));
    auto manager = fixedPointManager(point(10, 20));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    runQueued();
    ASSERT_EQ(delegate.fixes.size(), 1u);

    ASSERT_TRUE(LocationAuthorization::set(Status::Denied));
    runQueued();
    EXPECT_THAT(delegate.events, ElementsAre("auth 4", "update", "auth 2", "fail 1"));
    SimulatedLocation::deliver(point(11, 21));
    runQueued();
    EXPECT_EQ(delegate.fixes.size(), 1u);
    EXPECT_EQ(SimulatedLocation::runningBackends(), 0u);
}

class Updates : public LocationTest {
  protected:
    void SetUp() override {
        LocationTest::SetUp();
        env_.set("HALIDEX_LOCATION_AUTH", "granted");
    }
};

TEST_F(Updates, DistanceFilterHoldsBackFixesNearTheLastOneDelivered) {
    const Location start = point(45, 7);
    auto manager = fixedPointManager(start);
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->setDesiredAccuracy(kCLLocationAccuracyBest);
    manager->setDistanceFilter(10.0);
    manager->startUpdatingLocation();
    runQueued();
    ASSERT_EQ(delegate.fixes.size(), 1u);

    for (double metres : {4.0, 9.0, 12.0, 20.0, 23.0})
        SimulatedLocation::deliver(north(start, metres));
    runQueued();
    // 4 and 9 stay within 10 m of the start; 12 goes; 20 is 8 m past 12; 23 is 11 m past it.
    ASSERT_EQ(delegate.fixes.size(), 3u);
    EXPECT_NEAR(distanceBetween(start, delegate.fixes[1]), 12, 0.01);
    EXPECT_NEAR(distanceBetween(start, delegate.fixes[2]), 23, 0.01);
    // The held-back fixes still move the current location.
    SimulatedLocation::deliver(north(start, 25));
    runQueued();
    EXPECT_EQ(delegate.fixes.size(), 3u);
    EXPECT_NEAR(distanceBetween(start, *manager->location()), 25, 0.01);

    manager->setDistanceFilter(kCLDistanceFilterNone);
    SimulatedLocation::deliver(north(start, 25));
    runQueued();
    EXPECT_EQ(delegate.fixes.size(), 4u);
}

TEST_F(Updates, RouteReplaysAtItsRecordedPaceOnTheRunLoopClock) {
    NmeaLog log;
    ASSERT_TRUE(NmeaLog::load(dataFile("route.nmea"), log));
    auto manager =
        std::make_unique<LocationManager>(std::make_unique<SimulatedLocationBackend>(log.fixes));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    runQueued();
    ASSERT_EQ(delegate.fixes.size(), 1u);
    EXPECT_DOUBLE_EQ(delegate.fixes[0].altitude, 512.0);

    RunLoop::main().advance(1);
    EXPECT_EQ(delegate.fixes.size(), 2u);
    RunLoop::main().advance(1);
    ASSERT_EQ(delegate.fixes.size(), 3u);
    EXPECT_FALSE(delegate.fixes[2].hasAltitude());
    EXPECT_FALSE(delegate.fixes[2].hasCourse());
    RunLoop::main().advance(5.9);  // the recording has a gap of six seconds here
    EXPECT_EQ(delegate.fixes.size(), 3u);
    RunLoop::main().advance(0.1);
    ASSERT_EQ(delegate.fixes.size(), 4u);
    EXPECT_DOUBLE_EQ(manager->location()->course, 45.5);

    // Stopping halts the replay; starting again begins at the first fix.
    manager->stopUpdatingLocation();
    manager->startUpdatingLocation();
    RunLoop::main().advance(0.5);
    ASSERT_EQ(delegate.fixes.size(), 5u);
    EXPECT_DOUBLE_EQ(delegate.fixes[4].altitude, 512.0);
    manager->stopUpdatingLocation();
    RunLoop::main().advance(100);
    EXPECT_EQ(delegate.fixes.size(), 5u);
}

TEST_F(Updates, ScriptedFailuresReachTheDelegateAndUpdatesGoOn) {
    auto manager = fixedPointManager(point(1, 1));
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    const double before = wallClockNow();
    manager->startUpdatingLocation();
    runQueued();
    // Simulated fixes carry the time they arrive, like a live receiver's.
    ASSERT_EQ(delegate.fixes.size(), 1u);
    EXPECT_GE(delegate.fixes[0].timestamp, before);
    EXPECT_LE(delegate.fixes[0].timestamp, wallClockNow());
    SimulatedLocation::fail(LocationError{kCLErrorLocationUnknown});
    SimulatedLocation::deliver(point(2, 2));
    runQueued();
    EXPECT_THAT(delegate.events, ElementsAre("auth 4", "update", "fail 0", "update"));
}

// The camera drops its manager from inside the failure callback.
class DroppingDelegate : public RecordingDelegate {
  public:
    void didFailWithError(LocationManager& m, LocationError error) override {
        RecordingDelegate::didFailWithError(m, error);
        owner.reset();
    }
    std::unique_ptr<LocationManager> owner;
};

TEST_F(Updates, DelegateMayDropTheManagerInsideACallback) {
    DroppingDelegate delegate;
    delegate.owner = fixedPointManager(point(1, 1));
    delegate.owner->setDelegate(&delegate);
    delegate.owner->startUpdatingLocation();
    SimulatedLocation::fail(LocationError{kCLErrorDenied});
    SimulatedLocation::deliver(point(2, 2));
    runQueued();
    EXPECT_FALSE(delegate.owner);
    EXPECT_THAT(delegate.events, ElementsAre("auth 4", "update", "fail 1"));
    EXPECT_EQ(SimulatedLocation::runningBackends(), 0u);
}

TEST_F(Updates, AutoTakesGpsdWhereItAnswersAndTheFixedPointElsewhere) {
#if HX_HAVE_GPSD
    // Something listening where gpsd would be.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string where = "auto:127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    env_.set("HALIDEX_LOCATION", where.c_str());
    {
        LocationManager manager;
        EXPECT_STREQ(manager.backendName(), "gpsd");
    }
    // Nobody there any more: the fixed point, and a line saying why.
    ::close(listener);
    log::CaptureScope capture;
    LocationManager manager;
    EXPECT_STREQ(manager.backendName(), "simulated");
    EXPECT_TRUE(capture.contains("no gpsd answers")) << where;
#endif
}

TEST_F(Updates, FactoryFollowsHalidexLocation) {
    env_.set("HALIDEX_LOCATION", dataFile("route.nmea").c_str());
    {
        LocationManager manager;
        EXPECT_STREQ(manager.backendName(), "simulated");
        RecordingDelegate delegate;
        manager.setDelegate(&delegate);
        manager.startUpdatingLocation();
        RunLoop::main().advance(10);
        EXPECT_EQ(delegate.fixes.size(), 4u);
    }
    env_.set("HALIDEX_LOCATION", "/no/such/route.nmea");
    env_.set("HALIDEX_LOCATION_POINT", "35.0, 135.75, 40");
    log::CaptureScope capture;
    LocationManager manager;
    EXPECT_TRUE(capture.contains("/no/such/route.nmea"));
    Location ignored;
    for (const char* bad : {"91,0", "1;2", "north", "1,2,high"})
        EXPECT_FALSE(SimulatedLocationBackend::parsePoint(bad, ignored)) << bad;
    RecordingDelegate delegate;
    manager.setDelegate(&delegate);
    manager.startUpdatingLocation();
    runQueued();
    ASSERT_EQ(delegate.fixes.size(), 1u);
    EXPECT_DOUBLE_EQ(delegate.fixes[0].latitude, 35.0);
    EXPECT_DOUBLE_EQ(delegate.fixes[0].longitude, 135.75);
    EXPECT_DOUBLE_EQ(delegate.fixes[0].altitude, 40);
}

}  // namespace
}  // namespace hx
