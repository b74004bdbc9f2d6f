// PipeWire cameras for real: a private PipeWire session (tests/pipewire-fixture.sh) with test
// cameras that send known pictures. The backend lists them with their names, makers and sizes,
// brings frames at the camera's pace as BGRA, takes 4032 x 3024 stills by switching the camera's
// format and back, and follows cameras that leave and come back. The chooser of backends picks
// PipeWire when a camera answers and falls back to the simulated camera when none does.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/pipewire/PipeWireCameraBackend.h"
#include "platform/log/CaptureScope.h"
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
