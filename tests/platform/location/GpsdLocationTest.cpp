// The gpsd backend against a real gpsd: gpsfake starts one on a free port and feeds it one of
// our NMEA logs through a pseudo-terminal, as a receiver on a serial line would.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "LocationTestSupport.h"
#include "platform/location/LocationManager.h"
#include "platform/log/CaptureScope.h"

#if HX_HAVE_GPSD
#include "platform/location/gpsd/GpsdLocationBackend.h"
#include "tests/support/RequireTool.h"
#endif

namespace hx {
namespace {

namespace fs = std::filesystem;
using testing::LocationTest;
using testing::RecordingDelegate;

std::optional<std::string> findProgram(const std::string& name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/usr/local/sbin:/sbin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        fs::path candidate = fs::path(path.substr(start, end - start)) / name;
        if (!candidate.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return std::nullopt;
}

// A TCP port on the loopback that nobody listens on right now.
int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// gpsfake with its gpsd, in a process group of their own so both go at the end.
class GpsFake {
  public:
    ~GpsFake() { stop(); }

    // gpsfake sometimes hangs in its own clean-up after its gpsd has gone: it gets a few
    // seconds to finish, then the whole group is killed.
    void stop() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGTERM);
        int status = 0;
        for (int tries = 0; tries < 500; ++tries) {
            if (::waitpid(pid_, &status, WNOHANG) != 0) {
                ::kill(-pid_, SIGKILL);  // gpsd, should it outlive gpsfake
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    bool start(const std::string& program, const std::string& log, const std::string& folder) {
        port_ = freePort();
        if (port_ == 0) return false;
        const std::string port = std::to_string(port_);
        const std::string output = folder + "/gpsfake.out";
        pid_ = ::fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            ::setpgid(0, 0);
            int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0) {
                ::dup2(out, STDOUT_FILENO);
                ::dup2(out, STDERR_FILENO);
            }
            ::setenv("TMPDIR", folder.c_str(), 1);
            // One sentence every 0.1 s: the log lasts long enough for the client to connect
            // and ask for reports, which is when gpsd starts reading the device.
            ::execl(program.c_str(), "gpsfake", "-P", port.c_str(), "-1", "-q", "-c", "0.1",
                    log.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::setpgid(pid_, pid_);
        return true;
    }

    int port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

class Gpsd : public LocationTest {
  protected:
    void SetUp() override {
        LocationTest::SetUp();
#if !HX_HAVE_GPSD
        GTEST_SKIP() << "built without libgps (package libgps-dev)";
#endif
        // Threads deliver fixes: wait for them on the real clock.
        Clock::useRealTime();
        env_.set("HALIDEX_LOCATION_AUTH", "granted");
    }

    // Starts gpsfake with one of our logs, or skips when the tools are missing.
    bool startGpsFake(const char* log) {
        auto gpsfake = findProgram("gpsfake");
        if (!gpsfake || !findProgram("gpsd")) return false;
        return fake_.start(*gpsfake, dataFile(log), home_);
    }

    GpsFake fake_;
    // gpsd is still starting when the backend first tries to connect; keep that quiet.
    log::CaptureScope quiet_;
};

#define START_GPSFAKE_OR_SKIP(log)       \
    HX_REQUIRE_TOOLS("gpsfake", "gpsd"); \
    ASSERT_TRUE(startGpsFake(log)) << "gpsfake did not start"

#if HX_HAVE_GPSD
std::unique_ptr<LocationManager> gpsdManager(int port) {
    auto backend = std::make_unique<GpsdLocationBackend>("127.0.0.1", std::to_string(port));
    backend->setRetryInterval(0.05);  // gpsd may still be starting
    return std::make_unique<LocationManager>(std::move(backend));
}
#endif

TEST_F(Gpsd, ThreeDimensionalFixCarriesAltitudeCourseAndReceiverTime) {
#if HX_HAVE_GPSD
    START_GPSFAKE_OR_SKIP("gpsd-3d.log");
    auto manager = gpsdManager(fake_.port());
    EXPECT_STREQ(manager->backendName(), "gpsd");
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    // gpsd merges GGA and RMC once it has seen a whole cycle; wait for such a report.
    auto complete = [&] {
        for (const Location& fix : delegate.fixes)
            if (fix.hasAltitude() && fix.hasCourse()) return true;
        return false;
    };
    ASSERT_TRUE(RunLoop::main().runUntil(complete, 30)) << "no complete fix from gpsd";
    for (const Location& fix : delegate.fixes) {
        EXPECT_NEAR(fix.latitude, 52.5163, 1e-6);
        EXPECT_NEAR(fix.longitude, 13.3777, 1e-6);
    }
    const Location& fix =
        *std::find_if(delegate.fixes.begin(), delegate.fixes.end(),
                      [](const Location& f) { return f.hasCourse() && f.hasAltitude(); });
    EXPECT_NEAR(fix.altitude, 34.5, 1e-6);
    EXPECT_NEAR(fix.course, 84.4, 1e-6);
    EXPECT_GT(fix.horizontalAccuracy, 0);
    // 2024-06-15 12:00:00 UTC plus the second of the epoch.
    EXPECT_GE(fix.timestamp, 1718452800);
    EXPECT_LT(fix.timestamp, 1718452920);
    ASSERT_TRUE(manager->location());

    manager->stopUpdatingLocation();
    const std::size_t count = delegate.fixes.size();
    RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(delegate.fixes.size(), count) << "no fix after stopping";
#endif
}

TEST_F(Gpsd, FixWithoutAltitudeOrCourseMarksThemUnknownAndALostDaemonIsReported) {
#if HX_HAVE_GPSD
    START_GPSFAKE_OR_SKIP("gpsd-2d.log");
    auto manager = gpsdManager(fake_.port());
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate.fixes.size() >= 3; }, 30))
        << "no fixes from gpsd";
    for (const Location& fix : delegate.fixes) {
        EXPECT_NEAR(fix.latitude, -33.652, 1e-6);
        EXPECT_NEAR(fix.longitude, -70.41, 1e-6);
        EXPECT_TRUE(std::isnan(fix.altitude));
        EXPECT_LT(fix.course, 0);
    }

    // gpsd goes away while updates run: one "location unknown", and the manager keeps going.
    const std::size_t errorsBefore = delegate.errors.size();
    fake_.stop();
    ASSERT_TRUE(
        RunLoop::main().runUntil([&] { return delegate.errors.size() > errorsBefore; }, 30));
    EXPECT_EQ(delegate.errors.back(), kCLErrorLocationUnknown);
    EXPECT_TRUE(quiet_.contains("Lost the connection to gpsd"));
#endif
}

TEST_F(Gpsd, ReportsWithoutAFixAreNotPositionsEvenWithCoordinates) {
#if HX_HAVE_GPSD
    START_GPSFAKE_OR_SKIP("gpsd-nofix.log");
    auto manager = gpsdManager(fake_.port());
    RecordingDelegate delegate;
    manager->setDelegate(&delegate);
    manager->startUpdatingLocation();
    auto found = [&] {
        for (const Location& fix : delegate.fixes)
            if (fix.hasAltitude()) return true;
        return false;
    };
    ASSERT_TRUE(RunLoop::main().runUntil(found, 40)) << "no 3D fix from gpsd";
    // The receiver's stale position of the no-fix epochs never comes through.
    for (const Location& fix : delegate.fixes) {
        EXPECT_NEAR(fix.latitude, 52.5163, 1e-6);
        EXPECT_NEAR(fix.longitude, 13.3777, 1e-6);
        EXPECT_TRUE(std::isfinite(fix.latitude) && std::isfinite(fix.longitude));
        if (fix.hasAltitude()) {
            EXPECT_NEAR(fix.altitude, 34.5, 1e-6);
        }
    }
    manager->stopUpdatingLocation();
#endif
}

TEST_F(Gpsd, UnreachableDaemonIsReportedOnceAsLocationUnknown) {
#if HX_HAVE_GPSD
    const int port = freePort();
    ASSERT_NE(port, 0);
    env_.set("HALIDEX_LOCATION", ("gpsd:127.0.0.1:" + std::to_string(port)).c_str());
    log::CaptureScope capture;
    LocationManager manager;
    EXPECT_STREQ(manager.backendName(), "gpsd");
    RecordingDelegate delegate;
    manager.setDelegate(&delegate);
    manager.startUpdatingLocation();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !delegate.errors.empty(); }, 10));
    EXPECT_EQ(delegate.errors, std::vector<int>{kCLErrorLocationUnknown});
    EXPECT_TRUE(capture.contains("cannot be reached"));
    manager.stopUpdatingLocation();
#endif
}

}  // namespace
}  // namespace hx
