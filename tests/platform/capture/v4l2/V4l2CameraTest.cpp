// The V4L2 backend through a stand-in for the kernel's video devices (FakeV4l2Io.h): which
// nodes are cameras and what they offer, the layouts the preview and stills take, how the
// capture layer's settings become controls, frames and stills as BGRA, and the failures of real
// cameras (busy, pulled out mid-stream, a refused control, short frames).

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/capture/v4l2/V4l2CameraBackend.h"
#include "platform/capture/v4l2/V4l2CameraDriver.h"
#include "platform/log/CaptureScope.h"
#include "platform/runloop/NotificationCenter.h"
#include "tests/platform/capture/v4l2/FakeV4l2Io.h"

namespace hx::capture::testing {
namespace {

constexpr auto kPatience = std::chrono::seconds(10);

std::shared_ptr<FakeV4l2Io> fakeWith(std::vector<FakeCamera> cameras) {
    auto io = std::make_shared<FakeV4l2Io>();
    io->cameras = std::move(cameras);
    return io;
}

// A webcam as they come: YUYV up to 1280x960 (slow at its largest), MJPEG at 1280x960 fast.
FakeCamera webcam() {
    FakeCamera c;
    c.card = "HD Webcam C999";
    c.layouts = {{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 960}}, 30},
                 {V4L2_PIX_FMT_MJPEG, {{1280, 960}}, 30}};
    return c;
}

V4l2Camera probed(FakeV4l2Io& io, size_t index = 0) {
    std::string why;
    auto camera = probeV4l2Camera(io, io.camera(index).path, &why);
    EXPECT_TRUE(camera) << why;
    return camera.value_or(V4l2Camera{});
}

struct FrameLog {
    std::mutex mutex;
    std::condition_variable arrived;
    int frames = 0;
    gpu::PixelBufferRef last;

    FrameHandler handler() {
        return [this](gpu::PixelBufferRef buffer, double) {
            std::lock_guard lock(mutex);
            if (!buffer) return;
            ++frames;
            last = std::move(buffer);
            arrived.notify_all();
        };
    }
    bool waitFor(int count) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, kPatience, [&] { return frames >= count; });
    }
    int count() {
        std::lock_guard lock(mutex);
        return frames;
    }
};

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

bool isRed(const gpu::PixelBuffer& b, size_t x, size_t y) {
    const uint8_t* p = b.baseAddress() + y * b.bytesPerRow() + x * 4;
    return p[2] > 200 && p[1] < 60 && p[0] < 60;
}
bool isBlue(const gpu::PixelBuffer& b, size_t x, size_t y) {
    const uint8_t* p = b.baseAddress() + y * b.bytesPerRow() + x * 4;
    return p[0] > 200 && p[1] < 60 && p[2] < 60;
}

template <typename Predicate>
bool eventually(Predicate done) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

StreamConfiguration streamOf(VideoDimensions size, CaptureVideoOrientation orientation =
                                                       AVCaptureVideoOrientationLandscapeRight) {
    StreamConfiguration s;
    s.dimensions = size;
    s.orientation = orientation;
    s.pool = PixelBufferPool::create(size_t(size.width), size_t(size.height), 4);
    return s;
}

// ---- what a node is

TEST(V4l2Discovery, OnlyStreamingCaptureNodesAreCamerasNamedByTheirCard) {
    FakeCamera camera = webcam();
    FakeCamera metadata;  // the second node of a USB camera: metadata, no video
    metadata.path = "/dev/video1";
    metadata.caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    FakeCamera output;
    output.path = "/dev/video2";
    output.caps = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
    FakeCamera odd;  // captures, but only in a layout we do not read
    odd.path = "/dev/video3";
    odd.layouts = {{V4L2_PIX_FMT_SGRBG10, {{640, 480}}, 30}};
    auto io = fakeWith({camera, metadata, output, odd});
    auto backend = V4l2CameraBackend::open(io);

    const auto devices = backend->devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices, backend->devices()) << "the same devices on every call";
    const CaptureDeviceCapabilities& caps = devices[0]->driver().capabilities();
    EXPECT_EQ(caps.localizedName, "HD Webcam C999");
    EXPECT_EQ(caps.modelID, "HD Webcam C999");
    EXPECT_EQ(caps.position, AVCaptureDevicePositionBack);
    EXPECT_EQ(caps.uniqueID, "v4l2:usb-0000:00:14.0-1:HD Webcam C999");
    EXPECT_FALSE(caps.hasFlash);
    EXPECT_EQ(caps.formats, (std::vector<VideoDimensions>{{640, 480}, {1280, 960}}));
    EXPECT_EQ(devices[0]->activeFormat()->videoDimensions(), (VideoDimensions{1280, 960}));

    const auto cameras = backend->cameras();
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0].driver, "fakevideo");
    ASSERT_EQ(cameras[0].formats.size(), 3u);
    EXPECT_EQ(cameras[0].formats[2].pixelFormat, CameraPixelFormat::MJPEG);
    EXPECT_EQ(cameras[0].formats[2].framesPerSecond, 30);
    EXPECT_EQ(io->openFiles(), 0) << "looking leaves no node open";
}

TEST(V4l2Discovery, SizesFromTheFormatWhenNotListedAndThePositionTheCameraStates) {
    FakeCamera camera;
    camera.listsSizes = false;
    camera.layouts = {{V4L2_PIX_FMT_YUYV, {{800, 600}}, 30}};
    camera.controls[V4L2_CID_CAMERA_ORIENTATION] = {0,     2, 1, 0, V4L2_CAMERA_ORIENTATION_FRONT,
                                                    false, {}};
    auto io = fakeWith({camera});
    const V4l2Camera c = probed(*io);
    ASSERT_EQ(c.formats.size(), 1u);
    EXPECT_EQ(c.formats[0].size, (VideoDimensions{800, 600}));
    EXPECT_EQ(c.position, AVCaptureDevicePositionFront);

    // A node busy elsewhere or gone says why.
    io->camera().openError = EBUSY;
    std::string why;
    int error = 0;
    EXPECT_FALSE(probeV4l2Camera(*io, "/dev/video0", &why, &error));
    EXPECT_EQ(error, EBUSY);
    EXPECT_NE(why.find("/dev/video0"), std::string::npos) << why;
}

// ---- layouts

TEST(V4l2Formats, ThePreviewTakesTheSmallestCoveringSizeAndASmoothLayout) {
    V4l2Camera camera;
    auto add = [&](uint32_t fourcc, VideoDimensions size, double fps) {
        camera.formats.push_back({fourcc, *v4l2PixelFormat(fourcc), size, fps});
    };
    add(V4L2_PIX_FMT_YUYV, {640, 480}, 30);
    add(V4L2_PIX_FMT_YUYV, {1920, 1080}, 5);
    add(V4L2_PIX_FMT_MJPEG, {1920, 1080}, 30);
    add(V4L2_PIX_FMT_YUYV, {1280, 720}, 30);
    add(V4L2_PIX_FMT_MJPEG, {1280, 720}, 30);

    const V4l2Format* small = chooseV4l2PreviewFormat(camera, {480, 360});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size, (VideoDimensions{640, 480}));
    // Uncompressed where it is smooth, compressed where the uncompressed one crawls.
    const V4l2Format* hd = chooseV4l2PreviewFormat(camera, {1000, 700});
    ASSERT_TRUE(hd);
    EXPECT_EQ(hd->size, (VideoDimensions{1280, 720}));
    EXPECT_EQ(hd->fourcc, V4L2_PIX_FMT_YUYV);
    const V4l2Format* full = chooseV4l2PreviewFormat(camera, {1920, 1080});
    EXPECT_EQ(full->fourcc, V4L2_PIX_FMT_MJPEG);
    // Larger than anything: the largest.
    EXPECT_EQ(chooseV4l2PreviewFormat(camera, {4000, 3000})->size, (VideoDimensions{1920, 1080}));

    // Stills take the active size, uncompressed however slow; the largest when it is unknown.
    const V4l2Format* still = chooseV4l2StillFormat(camera, {1920, 1080});
    EXPECT_EQ(still->fourcc, V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(still->size, (VideoDimensions{1920, 1080}));
    EXPECT_EQ(chooseV4l2StillFormat(camera, {333, 333})->size, (VideoDimensions{1920, 1080}));
    EXPECT_FALSE(chooseV4l2PreviewFormat(V4l2Camera{}, {640, 480}));
}

// ---- controls

TEST(V4l2Controls, SettingsBecomeTheCameraControlsItHas) {
    V4l2Camera camera;
    camera.exposureBias = V4l2Control{V4L2_CID_AUTO_EXPOSURE_BIAS, 0, 4, 1, 2};
    camera.biasSteps = {-2000, -1000, 0, 1000, 2000};
    camera.focusAuto = V4l2Control{V4L2_CID_FOCUS_AUTO, 0, 1, 1, 1};
    camera.focusAbsolute = V4l2Control{V4L2_CID_FOCUS_ABSOLUTE, 0, 255, 1, 0};
    camera.zoomAbsolute = V4l2Control{V4L2_CID_ZOOM_ABSOLUTE, 100, 500, 1, 100};
    camera.formats.push_back({V4L2_PIX_FMT_YUYV, CameraPixelFormat::YUY2, {640, 480}, 30});

    CaptureDeviceSettings settings;
    settings.exposureTargetBias = 0.8f;
    EXPECT_EQ(v4l2ControlsFor(camera, settings, SettingsChange::Exposure),
              (std::vector<V4l2ControlValue>{{V4L2_CID_AUTO_EXPOSURE_BIAS, 3}}))
        << "the menu entry nearest +0.8 is +1";
    settings.focusMode = AVCaptureFocusModeLocked;
    EXPECT_EQ(
        v4l2ControlsFor(camera, settings, SettingsChange::Focus, 87),
        (std::vector<V4l2ControlValue>{{V4L2_CID_FOCUS_AUTO, 0}, {V4L2_CID_FOCUS_ABSOLUTE, 87}}));
    settings.focusMode = AVCaptureFocusModeContinuousAutoFocus;
    EXPECT_EQ(v4l2ControlsFor(camera, settings, SettingsChange::Focus, 87),
              (std::vector<V4l2ControlValue>{{V4L2_CID_FOCUS_AUTO, 1}}));
    settings.videoZoomFactor = 2.5;
    EXPECT_EQ(v4l2ControlsFor(camera, settings, SettingsChange::Zoom),
              (std::vector<V4l2ControlValue>{{V4L2_CID_ZOOM_ABSOLUTE, 250}}));

    const CaptureDeviceCapabilities caps = v4l2Capabilities(camera);
    EXPECT_FLOAT_EQ(caps.minExposureTargetBias, -2);
    EXPECT_FLOAT_EQ(caps.maxExposureTargetBias, 2);
    EXPECT_FLOAT_EQ(caps.maxAvailableVideoZoomFactor, 5);
    EXPECT_EQ(caps.focusModes, (std::vector<CaptureFocusMode>{AVCaptureFocusModeContinuousAutoFocus,
                                                              AVCaptureFocusModeLocked}));
    EXPECT_TRUE(v4l2ControlsFor(camera, settings, SettingsChange::LowLightBoost).empty());
}

TEST(V4l2Controls, WithoutABiasControlTheExposureTimeIsHeldByHand) {
    V4l2Camera camera;
    camera.exposureAuto = V4l2Control{V4L2_CID_EXPOSURE_AUTO, 0, 3, 1, 3};
    camera.automaticExposure = V4L2_EXPOSURE_APERTURE_PRIORITY;
    camera.exposureAbsolute = V4l2Control{V4L2_CID_EXPOSURE_ABSOLUTE, 3, 2047, 1, 156};
    CaptureDeviceSettings settings;
    settings.exposureTargetBias = 1;
    EXPECT_EQ(v4l2ControlsFor(camera, settings, SettingsChange::Exposure),
              (std::vector<V4l2ControlValue>{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
                                             {V4L2_CID_EXPOSURE_ABSOLUTE, 312}}));
    settings.exposureTargetBias = -8;  // shorter than the camera can: its shortest
    EXPECT_EQ(v4l2ControlsFor(camera, settings, SettingsChange::Exposure)[1].value, 3);
    settings.exposureTargetBias = 0;
    EXPECT_EQ(
        v4l2ControlsFor(camera, settings, SettingsChange::Exposure),
        (std::vector<V4l2ControlValue>{{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}}));
    const CaptureDeviceCapabilities caps = v4l2Capabilities(camera);
    EXPECT_NEAR(caps.minExposureTargetBias, std::log2(3.0 / 156), 1e-4);
    EXPECT_NEAR(caps.maxExposureTargetBias, std::log2(2047.0 / 156), 1e-4);
    // No zoom control: a digital crop up to four times.
    EXPECT_FLOAT_EQ(caps.maxAvailableVideoZoomFactor, 4);
    EXPECT_TRUE(v4l2ControlsFor(camera, settings, SettingsChange::Zoom).empty());
}

TEST(V4l2Controls, AChangeReachesTheCameraARefusedControlIsLeftAloneAndMainsFrequencyNever) {
    FakeCamera camera = webcam();
    camera.controls[V4L2_CID_AUTO_EXPOSURE_BIAS] = {0, 2, 1, 1, 1, false, {-1000, 0, 1000}};
    camera.controls[V4L2_CID_AUTO_WHITE_BALANCE] = {0, 1, 1, 1, 1, true, {}};  // refuses
    camera.controls[V4L2_CID_POWER_LINE_FREQUENCY] = {0, 2, 1, 1, 1, false, {}};
    auto io = fakeWith({camera});
    auto backend = V4l2CameraBackend::open(io);
    const CaptureDeviceRef device = backend->devices().at(0);
    CameraDriver& driver = device->driver();

    log::CaptureScope log;
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    ASSERT_TRUE(frames.waitFor(1));
    CaptureDeviceSettings settings;
    settings.exposureTargetBias = 1;
    settings.whiteBalanceMode = AVCaptureWhiteBalanceModeLocked;
    driver.settingsChanged(settings, SettingsChange::Exposure);
    driver.settingsChanged(settings, SettingsChange::WhiteBalance);
    settings.whiteBalanceMode = AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance;
    driver.settingsChanged(settings, SettingsChange::WhiteBalance);
    ASSERT_TRUE(eventually([&] {
        return io->with([](FakeV4l2Io& f) {
            for (auto [id, value] : f.camera().controlsSet)
                if (id == V4L2_CID_AUTO_EXPOSURE_BIAS && value == 2) return true;
            return false;
        });
    }));
    driver.stopStreaming();
    const int frameCount = frames.count();

    io->with([](FakeV4l2Io& f) {
        int whiteBalanceTries = 0;
        for (auto [id, value] : f.camera().controlsSet) {
            EXPECT_NE(id, uint32_t(V4L2_CID_POWER_LINE_FREQUENCY));
            whiteBalanceTries += id == V4L2_CID_AUTO_WHITE_BALANCE;
        }
        EXPECT_EQ(whiteBalanceTries, 1) << "a refused control is not tried again";
        return 0;
    });
    EXPECT_TRUE(log.contains("refused its automatic white balance"));
    EXPECT_EQ(frames.count(), frameCount) << "no frame after stopStreaming()";
}

// ---- frames and stills

TEST(V4l2Streaming, FramesArriveAsBGRATurnedToPortraitAndTheCameraIsLetGoAfterwards) {
    FakeCamera camera = webcam();
    camera.layouts = {{V4L2_PIX_FMT_NV12, {{640, 480}}, 30}};
    auto io = fakeWith({camera});
    auto backend = V4l2CameraBackend::open(io);
    CameraDriver& driver = backend->devices().at(0)->driver();

    FrameLog frames;
    driver.startStreaming(streamOf({360, 480}, AVCaptureVideoOrientationPortrait),
                          frames.handler());
    ASSERT_TRUE(frames.waitFor(5));
    {
        std::lock_guard lock(frames.mutex);
        ASSERT_EQ(frames.last->width(), 360u);
        ASSERT_EQ(frames.last->height(), 480u);
        // The camera's left half (red) is the top of the portrait picture.
        EXPECT_TRUE(isRed(*frames.last, 180, 60));
        EXPECT_TRUE(isBlue(*frames.last, 180, 420));
    }
    driver.stopStreaming();
    EXPECT_TRUE(eventually([&] { return io->openFiles() == 0 && io->mappedBuffers() == 0; }))
        << "the node stays open after the preview stopped";
    io->with([](FakeV4l2Io& f) {
        EXPECT_EQ(f.camera().streamOns, 1);
        return 0;
    });
}

TEST(V4l2Streaming, AStillSwitchesToTheLargestLayoutAndThePreviewComesBack) {
    auto io = fakeWith({webcam()});
    auto backend = V4l2CameraBackend::open(io);
    CameraDriver& driver = backend->devices().at(0)->driver();
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    ASSERT_TRUE(frames.waitFor(2));

    StillResult still = takeStill(driver);
    ASSERT_FALSE(still.error) << still.error->localizedDescription;
    ASSERT_TRUE(still.pixelBuffer);
    EXPECT_EQ(still.pixelBuffer->width(), 1280u);
    EXPECT_EQ(still.pixelBuffer->height(), 960u);
    EXPECT_TRUE(isRed(*still.pixelBuffer, 100, 480));
    EXPECT_TRUE(isBlue(*still.pixelBuffer, 1200, 480));
    const auto tiff = still.metadata.dictionary(image::kCGImagePropertyTIFFDictionary);
    EXPECT_EQ(tiff.string(image::kCGImagePropertyTIFFModel), "HD Webcam C999");
    EXPECT_EQ(still.metadata.integer(image::kCGImagePropertyPixelWidth), 1280);

    const int before = frames.count();
    ASSERT_TRUE(frames.waitFor(before + 2)) << "the preview did not come back";
    driver.stopStreaming();
    io->with([](FakeV4l2Io& f) {
        // Preview, still (uncompressed, at the largest size), preview again.
        EXPECT_EQ(f.camera().formatsSet,
                  (std::vector<VideoDimensions>{{640, 480}, {1280, 960}, {640, 480}}));
        return 0;
    });
}

TEST(V4l2Streaming, AStillFromARunningStreamOfItsSizeNeedsNoSwitch) {
    FakeCamera camera = webcam();
    camera.layouts = {{V4L2_PIX_FMT_YUYV, {{640, 480}}, 30}};
    auto io = fakeWith({camera});
    auto backend = V4l2CameraBackend::open(io);
    CameraDriver& driver = backend->devices().at(0)->driver();
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    ASSERT_TRUE(frames.waitFor(2));
    StillResult still = takeStill(driver);
    ASSERT_TRUE(still.pixelBuffer);
    EXPECT_EQ(still.pixelBuffer->width(), 640u);
    driver.stopStreaming();
    io->with([](FakeV4l2Io& f) {
        EXPECT_EQ(f.camera().formatsSet.size(), 1u);
        EXPECT_EQ(f.camera().streamOns, 1);
        return 0;
    });

    // Without a preview the camera starts for the still alone, and is let go after it.
    StillResult alone = takeStill(driver);
    ASSERT_TRUE(alone.pixelBuffer) << (alone.error ? alone.error->localizedDescription : "");
    EXPECT_TRUE(eventually([&] { return io->openFiles() == 0; }));
}

// ---- failures

TEST(V4l2Failures, ABusyCameraSaysSoAndShortFramesAreDropped) {
    FakeCamera camera = webcam();
    auto io = fakeWith({camera});
    auto backend = V4l2CameraBackend::open(io);
    CameraDriver& driver = backend->devices().at(0)->driver();

    io->with([](FakeV4l2Io& f) { return f.camera().openError = EBUSY; });
    log::CaptureScope log;
    StillResult still = takeStill(driver);
    ASSERT_TRUE(still.error);
    EXPECT_EQ(still.error->code, AVErrorDeviceInUseByAnotherApplication);
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    EXPECT_TRUE(eventually([&] { return log.contains("in use by another program"); }));
    driver.stopStreaming();

    // Free again, but every frame comes half full: each is dropped, once said.
    io->with([](FakeV4l2Io& f) {
        f.camera().openError = 0;
        return f.camera().shortFrames = true;
    });
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    EXPECT_TRUE(eventually(
        [&] { return io->with([](FakeV4l2Io& f) { return f.camera().framesSent >= 5; }); }));
    driver.stopStreaming();
    EXPECT_EQ(frames.count(), 0);
    EXPECT_TRUE(log.contains("shorter than its size says"));
}

TEST(V4l2Failures, ACameraPulledOutMidStreamIsGoneAndComesBackAsTheSameDevice) {
    auto io = fakeWith({webcam()});
    auto backend = V4l2CameraBackend::open(io);
    const CaptureDeviceRef device = backend->devices().at(0);
    CameraDriver& driver = device->driver();
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    ASSERT_TRUE(frames.waitFor(2));
    // The device tells the session, which stops and resumes its frames around the gap.
    std::mutex heardMutex;
    std::vector<std::string> heard;
    std::vector<NotificationCenter::ObserverToken> tokens;
    for (const char* name :
         {AVCaptureDeviceWasDisconnectedNotification, AVCaptureDeviceWasConnectedNotification})
        tokens.push_back(NotificationCenter::defaultCenter().addObserverForName(
            name, nullptr, nullptr, [&](const Notification& notification) {
                std::lock_guard lock(heardMutex);
                heard.push_back(notification.name);
            }));
    auto heardSoFar = [&] {
        std::lock_guard lock(heardMutex);
        return heard;
    };

    log::CaptureScope log;
    io->setPresent(0, false);
    ASSERT_TRUE(eventually([&] { return log.contains("the camera went away"); }));
    EXPECT_FALSE(driver.isConnected());
    EXPECT_TRUE(eventually([&] { return heardSoFar().size() == 1; }));
    EXPECT_TRUE(backend->devices().empty());
    CaptureError error;
    EXPECT_FALSE(driver.acquireConfigurationLock(&error));
    EXPECT_EQ(error.code, AVErrorDeviceNotConnected);
    StillResult still = takeStill(driver);
    ASSERT_TRUE(still.error);
    EXPECT_EQ(still.error->code, AVErrorDeviceNotConnected);
    EXPECT_TRUE(eventually([&] { return io->openFiles() == 0 && io->mappedBuffers() == 0; }));

    // Plugged in again: the same device, and the preview that was asked for goes on.
    io->setPresent(0, true);
    ASSERT_EQ(backend->devices().size(), 1u);
    EXPECT_EQ(backend->devices()[0], device);
    EXPECT_TRUE(driver.acquireConfigurationLock(&error));
    EXPECT_TRUE(driver.isConnected());
    EXPECT_TRUE(eventually([&] { return heardSoFar().size() == 2; }));
    EXPECT_EQ(heardSoFar(), (std::vector<std::string>{AVCaptureDeviceWasDisconnectedNotification,
                                                      AVCaptureDeviceWasConnectedNotification}));
    const int before = frames.count();
    EXPECT_TRUE(frames.waitFor(before + 2));
    driver.stopStreaming();
    for (auto token : tokens) NotificationCenter::defaultCenter().removeObserver(token);
}

TEST(V4l2Failures, ACameraThatFallsSilentIsGoneOnceItsNodeIs) {
    FakeCamera camera = webcam();
    camera.saysWhenGone = false;
    auto io = fakeWith({camera});
    auto backend = V4l2CameraBackend::open(io);
    CameraDriver& driver = backend->devices().at(0)->driver();
    FrameLog frames;
    driver.startStreaming(streamOf({640, 480}), frames.handler());
    ASSERT_TRUE(frames.waitFor(2));

    log::CaptureScope log;
    io->setPresent(0, false);
    EXPECT_TRUE(eventually([&] { return log.contains("the camera went away"); }));
    CaptureError error;
    EXPECT_FALSE(driver.acquireConfigurationLock(&error));
    driver.stopStreaming();
}

}  // namespace
}  // namespace hx::capture::testing
