// PipeWire cameras for real: a private PipeWire session (tests/pipewire-fixture.sh) with test
// cameras that send known pictures. The backend lists them with their names, makers and sizes,
// brings frames at the camera's pace as BGRA, takes 4032 x 3024 stills by switching the camera's
// format and back, and follows cameras that leave and come back, interrupting a session while
// its camera is away. Inside a sandbox a stand-in desktop portal on the session's bus grants or
// refuses the camera, and the cameras come through the remote it opens. The chooser of backends
// picks PipeWire when a camera answers and falls back to the simulated camera when none does.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/CaptureAuthorization.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/CaptureVideoDataOutput.h"
#include "platform/capture/pipewire/CameraPortal.h"
#include "platform/capture/pipewire/PipeWireCameraBackend.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/NotificationCenter.h"
#include "tests/support/PipeWireFixture.h"
#include "tests/support/RequireTool.h"
#include "tests/support/RunCommand.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryFolder.h"

namespace hx::capture::testing {
namespace {

using hx::testing::ScopedEnvironment;
using hx::testsupport::TemporaryFolder;

constexpr auto kPatience = std::chrono::seconds(10);

class PipeWireSession : public ::testing::Test {
  protected:
    void SetUp() override {
        HX_REQUIRE_TOOLS(HX_PIPEWIRE_FIXTURE_TOOLS);
        ASSERT_TRUE(session_.start()) << session_.lastOutput();
        session_.apply(env_);
        CameraBackend::reset();
    }

    void TearDown() override { CameraBackend::reset(); }

    void addCamera(const std::string& name, const std::string& arguments) {
        ASSERT_TRUE(session_.addCamera(name, arguments)) << session_.lastOutput();
    }

    void removeCamera(const std::string& name) { session_.removeCamera(name); }

    // Asks the daemon until `done` holds or patience runs out.
    template <typename Predicate>
    bool until(PipeWireCameraBackend& backend, Predicate done) {
        const auto end = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < end) {
            backend.synchronise();
            if (done()) return true;
        }
        return false;
    }

    hx::testsupport::PipeWireFixture session_{HX_PIPEWIRE_FIXTURE, HX_TEST_SOURCE_PROGRAM};
    ScopedEnvironment env_;
};

// Frames a driver hands over, with their times.
struct FrameLog {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<double> times;
    gpu::PixelBufferRef last;
    int dropped = 0;

    FrameHandler handler() {
        return [this](gpu::PixelBufferRef buffer, double time) {
            std::lock_guard lock(mutex);
            if (!buffer) {
                ++dropped;
                return;
            }
            times.push_back(time);
            last = std::move(buffer);
            arrived.notify_all();
        };
    }

    bool waitFor(size_t count) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, kPatience, [&] { return times.size() >= count; });
    }

    size_t count() {
        std::lock_guard lock(mutex);
        return times.size();
    }
};

struct Rgb {
    int r, g, b;
};

Rgb pixel(const gpu::PixelBuffer& buffer, size_t x, size_t y) {
    const uint8_t* p = buffer.baseAddress() + y * buffer.bytesPerRow() + x * 4;
    return {p[2], p[1], p[0]};
}

bool isRed(Rgb c) {
    return c.r > 200 && c.g < 60 && c.b < 60;
}
bool isBlue(Rgb c) {
    return c.b > 200 && c.g < 60 && c.r < 60;
}

StillResult takeStill(CameraDriver& driver) {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<StillResult> result;
    driver.captureStill({}, [&](StillResult r) {
        std::lock_guard lock(mutex);
        result = std::move(r);
        done.notify_all();
    });
    std::unique_lock lock(mutex);
    done.wait_for(lock, 2 * kPatience, [&] { return result.has_value(); });
    return result ? std::move(*result) : StillResult{};
}

CameraDriver& driverOf(const CaptureDeviceRef& device) {
    return device->driver();
}

TEST_F(PipeWireSession, ListsCamerasWithTheirNamesMakersPositionsAndSizes) {
    addCamera("hx-back",
              "--description 'Acme Cam' --vendor 'Acme Optics' --product 'Acme Cam 4K' "
              "--sizes 640x480,1280x960,4032x3024");
    addCamera("hx-front", "--description 'Integrated Camera' --sizes 1280x720 --format NV12");
    std::string error;
    auto backend = PipeWireCameraBackend::connect(&error);
    ASSERT_TRUE(backend) << error;
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 2; }));

    const auto devices = backend->devices();
    EXPECT_EQ(devices, backend->devices()) << "the same devices on every call";
    CaptureDeviceRef back, front;
    for (const auto& device : devices)
        (device->position() == AVCaptureDevicePositionFront ? front : back) = device;
    ASSERT_TRUE(back && front);
    const CaptureDeviceCapabilities& caps = driverOf(back).capabilities();
    EXPECT_EQ(caps.localizedName, "Acme Cam");
    EXPECT_EQ(caps.manufacturer, "Acme Optics");
    EXPECT_EQ(caps.modelID, "Acme Cam 4K");
    EXPECT_EQ(caps.formats, (std::vector<VideoDimensions>{{640, 480}, {1280, 960}, {4032, 3024}}));
    EXPECT_EQ(back->activeFormat()->videoDimensions(), (VideoDimensions{4032, 3024}));
    // A camera without a maker's name is named by what it calls itself.
    EXPECT_EQ(driverOf(front).capabilities().modelID, "Integrated Camera");
    EXPECT_EQ(driverOf(front).capabilities().manufacturer, "");
}

TEST_F(PipeWireSession, FramesComeAtTheCameraPaceTurnedToPortraitAsBGRA) {
    addCamera("hx-cam", "--sizes 640x480,1280x960 --rate 15");
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    CameraDriver& driver = driverOf(backend->devices()[0]);

    FrameLog log;
    StreamConfiguration stream;
    stream.dimensions = {360, 480};
    stream.orientation = AVCaptureVideoOrientationPortrait;
    stream.pool = PixelBufferPool::create(360, 480, 4);
    driver.startStreaming(stream, log.handler());
    ASSERT_TRUE(log.waitFor(16)) << "frames arrived: " << log.count();
    driver.stopStreaming();
    const size_t atStop = log.count();

    std::lock_guard lock(log.mutex);
    // Fifteen frames a second: 15 intervals take about a second, not a tenth nor ten (a
    // sanitizer build's test camera is slower to make its frames).
    const double seconds = log.times[15] - log.times[0];
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 3.0 * hx::testing::kSlowdown);
    ASSERT_TRUE(log.last);
    EXPECT_EQ(log.last->width(), 360u);
    EXPECT_EQ(log.last->height(), 480u);
    // The camera's left half (red) is the top of the portrait picture.
    EXPECT_TRUE(isRed(pixel(*log.last, 180, 60)));
    EXPECT_TRUE(isBlue(pixel(*log.last, 180, 420)));
    EXPECT_EQ(log.times.size(), atStop) << "no frame after stopStreaming()";
}

TEST_F(PipeWireSession, StillsAreTakenAtTheLargestSizeAndThePreviewGoesOn) {
    addCamera("hx-cam",
              "--vendor 'Acme Optics' --product 'Acme Cam 4K' "
              "--sizes 640x480,4032x3024 --format YUY2");
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    CameraDriver& driver = driverOf(backend->devices()[0]);

    FrameLog log;
    StreamConfiguration stream;
    stream.dimensions = {640, 480};
    stream.pool = PixelBufferPool::create(640, 480, 4);
    driver.startStreaming(stream, log.handler());
    ASSERT_TRUE(log.waitFor(3));

    for (int photo = 0; photo < 2; ++photo) {
        SCOPED_TRACE(photo);
        StillResult still = takeStill(driver);
        ASSERT_FALSE(still.error) << still.error->localizedDescription;
        ASSERT_TRUE(still.pixelBuffer);
        EXPECT_EQ(still.pixelBuffer->width(), 4032u);
        EXPECT_EQ(still.pixelBuffer->height(), 3024u);
        EXPECT_TRUE(isRed(pixel(*still.pixelBuffer, 100, 1500)));
        EXPECT_TRUE(isBlue(pixel(*still.pixelBuffer, 3900, 1500)));
        const auto tiff = still.metadata.dictionary(image::kCGImagePropertyTIFFDictionary);
        EXPECT_EQ(tiff.string(image::kCGImagePropertyTIFFMake), "Acme Optics");
        EXPECT_EQ(tiff.string(image::kCGImagePropertyTIFFModel), "Acme Cam 4K");
        EXPECT_EQ(still.metadata.integer(image::kCGImagePropertyPixelWidth), 4032);

        // The preview came back at its own size.
        const size_t before = log.count();
        ASSERT_TRUE(log.waitFor(before + 3)) << "the preview did not come back";
        std::lock_guard lock(log.mutex);
        EXPECT_EQ(log.last->width(), 640u);
    }
    driver.stopStreaming();
}

TEST_F(PipeWireSession, CamerasThatLeaveAndComeBack) {
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    EXPECT_TRUE(backend->devices().empty());

    // A camera plugged in later is offered.
    addCamera("hx-cam", "--sizes 640x480");
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    const CaptureDeviceRef device = backend->devices()[0];
    CameraDriver& driver = driverOf(device);
    FrameLog log;
    StreamConfiguration stream;
    stream.dimensions = {640, 480};
    stream.pool = PixelBufferPool::create(640, 480, 4);
    driver.startStreaming(stream, log.handler());
    ASSERT_TRUE(log.waitFor(2));

    // Pulled out mid-stream: gone from the list, refuses configuration and photos; plugged in
    // again, the preview goes on by itself.
    removeCamera("hx-cam");
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().empty(); }));
    addCamera("hx-cam", "--sizes 640x480");
    const size_t beforeReturn = log.count();
    EXPECT_TRUE(log.waitFor(beforeReturn + 3)) << "the preview did not come back";
    removeCamera("hx-cam");
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().empty(); }));
    CaptureError error;
    EXPECT_FALSE(driver.acquireConfigurationLock(&error));
    EXPECT_EQ(error.code, AVErrorDeviceNotConnected);
    StillResult still = takeStill(driver);
    ASSERT_TRUE(still.error);
    EXPECT_EQ(still.error->code, AVErrorDeviceNotConnected);
    driver.stopStreaming();

    // Back again: the same device, streaming again.
    addCamera("hx-cam", "--sizes 640x480");
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    EXPECT_EQ(backend->devices()[0], device);
    EXPECT_TRUE(driver.acquireConfigurationLock(&error));
    FrameLog again;
    driver.startStreaming(stream, again.handler());
    EXPECT_TRUE(again.waitFor(2));
    driver.stopStreaming();
}

// Counts the frames a session delivers (or drops), on a queue of its own.
class FrameCounter : public CaptureVideoDataOutputSampleBufferDelegate {
  public:
    void captureOutputDidOutputSampleBuffer(CaptureOutput&, const SampleBufferRef&,
                                            CaptureConnection&) override {
        ++frames;
    }
    void captureOutputDidDropSampleBuffer(CaptureOutput&, const SampleBufferRef&,
                                          CaptureConnection&) override {
        ++frames;
    }
    std::atomic<size_t> frames{0};
};

template <typename Predicate>
bool eventually(Predicate done) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

TEST_F(PipeWireSession, ASessionIsInterruptedWhileItsCameraIsAwayAndNewCamerasAreAnnounced) {
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    addCamera("hx-cam", "--sizes 640x480");
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    const CaptureDeviceRef device = backend->devices()[0];

    std::mutex mutex;
    std::vector<Notification> heard;
    std::vector<NotificationCenter::ObserverToken> tokens;
    for (const char* name :
         {AVCaptureDeviceWasConnectedNotification, AVCaptureSessionWasInterruptedNotification,
          AVCaptureSessionInterruptionEndedNotification})
        tokens.push_back(NotificationCenter::defaultCenter().addObserverForName(
            name, nullptr, nullptr, [&](const Notification& notification) {
                std::lock_guard lock(mutex);
                heard.push_back(notification);
            }));
    auto heardOf = [&](const char* name, const void* object) {
        std::lock_guard lock(mutex);
        return std::count_if(heard.begin(), heard.end(), [&](const Notification& n) {
            return n.name == name && n.object == object;
        });
    };

    auto queue = DispatchQueue::makeSerial("frames of the test");
    FrameCounter counter;
    auto session = CaptureSession::create();
    auto video = CaptureVideoDataOutput::create();
    video->setSampleBufferDelegate(&counter, queue.get());
    session->addInput(CaptureDeviceInput::deviceInputWithDevice(device));
    session->addOutput(video);
    session->setSessionPreset(AVCaptureSessionPreset640x480);
    session->startRunning();
    ASSERT_TRUE(eventually([&] { return counter.frames > 3; }));

    // The camera pulled out: the session is interrupted for that reason and sends nothing.
    removeCamera("hx-cam");
    ASSERT_TRUE(eventually([&] { return session->isInterrupted(); }));
    EXPECT_FALSE(device->isConnected());
    EXPECT_TRUE(session->isRunning());
    {
        std::lock_guard lock(mutex);
        ASSERT_FALSE(heard.empty());
        const Notification& interruption = heard.back();
        EXPECT_EQ(interruption.name, AVCaptureSessionWasInterruptedNotification);
        EXPECT_EQ(interruption.object, session.get());
        EXPECT_EQ(int64_t(interruption.numberValue(AVCaptureSessionInterruptionReasonKey)),
                  AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable);
    }
    queue->sync([] {});
    const size_t whileAway = counter.frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    queue->sync([] {});
    EXPECT_EQ(counter.frames, whileAway);

    // A fresh camera of the same name is the same camera back: frames again.
    addCamera("hx-cam", "--sizes 640x480");
    ASSERT_TRUE(eventually([&] { return !session->isInterrupted(); }));
    EXPECT_TRUE(device->isConnected());
    EXPECT_EQ(heardOf(AVCaptureSessionInterruptionEndedNotification, session.get()), 1);
    EXPECT_EQ(heardOf(AVCaptureDeviceWasConnectedNotification, device.get()), 1);
    EXPECT_TRUE(eventually([&] { return counter.frames > whileAway + 3; }));
    // It came back as the camera it was, so the backend announces no new one.
    EXPECT_EQ(heardOf(AVCaptureDeviceWasConnectedNotification, nullptr), 0);

    // A camera never offered before is announced without a device, once it can be listed.
    addCamera("hx-other", "--sizes 640x480");
    ASSERT_TRUE(
        eventually([&] { return heardOf(AVCaptureDeviceWasConnectedNotification, nullptr) == 1; }));
    EXPECT_EQ(backend->devices().size(), 2u);

    session->stopRunning();
    for (auto token : tokens) NotificationCenter::defaultCenter().removeObserver(token);
}

constexpr const char* kSystemPython = "/usr/bin/python3";

std::string joined(const log::CaptureScope& log) {
    std::string text;
    for (const std::string& message : log.messages()) text += message + "\n";
    return text;
}

// The stand-in desktop portal (fixture/stand-in-camera-portal.py) on the session's bus, stopped
// by its PID.
class StandInPortal {
  public:
    StandInPortal(const std::filesystem::path& folder, const std::string& answer)
        : ready_(folder / ("portal-" + answer + ".ready")),
          calls_(folder / ("portal-" + answer + ".calls")) {
        auto started = hx::testsupport::runCommand(
            std::string(kSystemPython) + " " + hx::testsupport::shellQuoted(HX_STAND_IN_PORTAL) +
            " --answer " + answer + " --ready " + hx::testsupport::shellQuoted(ready_.string()) +
            " --calls " + hx::testsupport::shellQuoted(calls_.string()) + " >" +
            hx::testsupport::shellQuoted((folder / ("portal-" + answer + ".log")).string()) +
            " 2>&1 & echo $!");
        pid_ = std::atoi(started.output.c_str());
    }
    ~StandInPortal() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    bool ready() const {
        return eventuallyTrue([&] { return std::filesystem::exists(ready_); });
    }
    std::string calls() const {
        std::ifstream file(calls_);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

  private:
    template <typename Predicate>
    static bool eventuallyTrue(Predicate done) {
        const auto end = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < end && !done())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    }

    std::filesystem::path ready_, calls_;
    int pid_ = -1;
};

class SandboxedSession : public PipeWireSession {
  protected:
    void SetUp() override {
        PipeWireSession::SetUp();
        // Debian's own Python, which has the D-Bus and GLib modules the stand-in portal uses.
        if (hx::testsupport::runCommand(std::string(kSystemPython) +
                                        " -c 'import dbus, gi.repository.GLib' 2>&1")
                .status != 0)
            HX_TOOL_MISSING("python3-dbus, python3-gi");
        env_.set("HALIDEX_SANDBOX", "1");
        env_.set("HALIDEX_CAMERA_AUTH", nullptr);
        env_.set("HALIDEX_HOME", home_.path().c_str());
        CameraPortal::reset();
    }
    void TearDown() override {
        CameraPortal::reset();
        PipeWireSession::TearDown();
    }
    TemporaryFolder home_{"hx-portal"};
};

TEST_F(SandboxedSession, AGrantingPortalAuthorisesTheCameraAndItsRemoteBringsFrames) {
    addCamera("hx-cam", "--sizes 640x480");
    StandInPortal portal(home_.path(), "allow");
    ASSERT_TRUE(portal.ready());
    EXPECT_EQ(CaptureAuthorization::current(), AVAuthorizationStatusNotDetermined);
    EXPECT_EQ(CaptureAuthorization::request(), AVAuthorizationStatusAuthorized);
    EXPECT_EQ(CaptureAuthorization::current(), AVAuthorizationStatusAuthorized);
    // The portal's answer is not written as the user's own setting.
    EXPECT_FALSE(std::filesystem::exists(home_.path() / "config" / "camera-authorization"));

    // The daemon is reached through the portal's remote alone: the program's own way there
    // leads nowhere.
    env_.set("PIPEWIRE_REMOTE", "no-such-remote");
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    ASSERT_TRUE(until(*backend, [&] { return backend->devices().size() == 1; }));
    CameraDriver& driver = driverOf(backend->devices()[0]);
    FrameLog log;
    StreamConfiguration stream;
    stream.dimensions = {640, 480};
    stream.pool = PixelBufferPool::create(640, 480, 4);
    driver.startStreaming(stream, log.handler());
    EXPECT_TRUE(log.waitFor(2));
    driver.stopStreaming();
    const std::string calls = portal.calls();
    EXPECT_NE(calls.find("Get IsCameraPresent"), std::string::npos) << calls;
    EXPECT_NE(calls.find("AccessCamera allow"), std::string::npos) << calls;
    EXPECT_NE(calls.find("OpenPipeWireRemote"), std::string::npos) << calls;
}

TEST_F(SandboxedSession, ARefusingPortalDeniesTheCameraAndNoCameraIsOffered) {
    addCamera("hx-cam", "--sizes 640x480");
    StandInPortal portal(home_.path(), "deny");
    ASSERT_TRUE(portal.ready());
    EXPECT_EQ(CaptureAuthorization::request(), AVAuthorizationStatusDenied);
    EXPECT_EQ(CaptureAuthorization::current(), AVAuthorizationStatusDenied);

    CameraPortal::reset();
    log::CaptureScope log;
    env_.set("HALIDEX_CAMERA", "pipewire");
    CameraBackend::reset();
    auto backend = CameraBackend::current();
    EXPECT_STREQ(backend->name(), "pipewire");
    EXPECT_TRUE(backend->devices().empty());
    EXPECT_TRUE(
        log.contains("the desktop portal denied access to the camera; no camera is offered"))
        << joined(log);
    EXPECT_EQ(portal.calls().find("OpenPipeWireRemote"), std::string::npos) << portal.calls();
}

TEST_F(SandboxedSession, WithoutAPortalTheCameraIsRestricted) {
    addCamera("hx-cam", "--sizes 640x480");
    log::CaptureScope log;
    EXPECT_EQ(CaptureAuthorization::request(), AVAuthorizationStatusRestricted);
    EXPECT_TRUE(log.contains("the desktop portal cannot be asked for the camera")) << joined(log);
    auto backend = PipeWireCameraBackend::connect();
    ASSERT_TRUE(backend);
    EXPECT_TRUE(backend->devices().empty());
}

TEST_F(PipeWireSession, TheChooserTakesPipeWireWhenACameraAnswers) {
    // A daemon without cameras: auto falls back to the simulated camera.
    env_.set("HALIDEX_CAMERA", "auto");
    {
        log::CaptureScope log;
        CameraBackend::reset();
        EXPECT_STREQ(CameraBackend::current()->name(), "simulated");
        EXPECT_TRUE(log.contains("no camera answers"));
    }
    addCamera("hx-cam", "--sizes 640x480");
    for (const char* choice : {"auto", "pipewire"}) {
        SCOPED_TRACE(choice);
        env_.set("HALIDEX_CAMERA", choice);
        CameraBackend::reset();
        EXPECT_STREQ(CameraBackend::current()->name(), "pipewire");
        EXPECT_EQ(CameraBackend::current()->devices().size(), 1u);
    }
    // The quiet default is auto too.
    env_.set("HALIDEX_CAMERA", nullptr);
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "pipewire");

    // No daemon at all: pipewire is logged and the simulated camera used.
    TemporaryFolder empty{"hx-no-pipewire"};
    env_.set("XDG_RUNTIME_DIR", empty.path().c_str());
    env_.set("HALIDEX_CAMERA", "pipewire");
    log::CaptureScope log;
    CameraBackend::reset();
    EXPECT_STREQ(CameraBackend::current()->name(), "simulated");
    EXPECT_TRUE(log.contains("pipewire"));
}

}  // namespace
}  // namespace hx::capture::testing
