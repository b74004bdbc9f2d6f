#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture/CameraBackend.h"
#include "platform/capture/CaptureAuthorization.h"
#include "platform/capture/CaptureDevice.h"
#include "platform/capture/CaptureDeviceDiscoverySession.h"
#include "platform/capture/CaptureInput.h"
#include "platform/capture/CapturePhotoOutput.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/CaptureVideoDataOutput.h"
#include "platform/capture/scene/Paint.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/device/DeviceProfile.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "tests/support/Sanitizers.h"
#include "tests/support/ScopedEnvironment.h"

namespace hx::capture::testing {

// Each case gets its own HALIDEX_HOME, no camera variables, the default device profile, a
// simulated camera that works, a fresh backend, an empty main queue and the manual clock at 0.
class CaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "hx-capture-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home_ = pattern;
        env_.set("HALIDEX_HOME", home_.c_str());
        for (const char* name : {"HALIDEX_CAMERA_SCENE", "HALIDEX_CAMERA_AUTH", "HALIDEX_DEVICE"})
            env_.set(name, nullptr);
        // The simulated camera, even on a machine whose real cameras the default would take.
        env_.set("HALIDEX_CAMERA", "simulated");
        DeviceProfile::resetCurrent();
        SimulatedCamera::reset();
        CaptureAuthorization::setPromptAnswer(std::nullopt);
        CameraBackend::reset();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(0);
    }

    void TearDown() override {
        CameraBackend::reset();
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
        SimulatedCamera::reset();
        DeviceProfile::resetCurrent();
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }

    // Switches to a built-in profile or to a profile file's text, with a fresh backend.
    void useProfile(const std::string& name) {
        ASSERT_TRUE(DeviceProfile::select(name));
        CameraBackend::reset();
    }
    void useProfileText(const std::string& text) {
        std::string error;
        auto profile = DeviceProfile::parse(text, "test", &error);
        ASSERT_TRUE(profile) << error;
        DeviceProfile::setCurrent(*profile);
        CameraBackend::reset();
    }

    // Cameras whose stills are 1024 x 768, for tests that look at what a still shows rather
    // than at its size.
    void useSmallStills() {
        SimulatedCamera::setCapabilityOverride([](CaptureDeviceCapabilities& c) {
            c.formats = {{1024, 768}};
        });
        CameraBackend::reset();
    }

    // The device the camera screen looks up for a position and a lens code.
    static CaptureDeviceRef cameraWith(CaptureDevicePosition position, int lens) {
        std::vector<std::string> types;
        if (position != AVCaptureDevicePositionBack)
            types = {AVCaptureDeviceTypeBuiltInWideAngleCamera};
        else if (lens == 0)
            types = {AVCaptureDeviceTypeBuiltInUltraWideCamera};
        else if (lens == 1)
            types = {AVCaptureDeviceTypeBuiltInWideAngleCamera};
        else if (lens == 2)
            types = {AVCaptureDeviceTypeBuiltInTelephotoCamera};
        else if (lens == 100)
            types = {AVCaptureDeviceTypeBuiltInTripleCamera, AVCaptureDeviceTypeBuiltInDualCamera,
                     AVCaptureDeviceTypeBuiltInDualWideCamera};
        else
            return nullptr;
        auto discovery = CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
            types, AVMediaTypeVideo,
            position == AVCaptureDevicePositionBack ? AVCaptureDevicePositionBack
                                                    : AVCaptureDevicePositionFront);
        return discovery->devices().empty() ? nullptr : discovery->devices().front();
    }
    static CaptureDeviceRef backWide() { return cameraWith(AVCaptureDevicePositionBack, 1); }

  public:
    // Runs the main queue and waits for background work until `done` holds.
    static bool waitFor(const std::function<bool()>& done) {
        return RunLoop::main().runUntil(done, 20 * hx::testing::kSlowdown);
    }
    // Moves the clock on and lets everything that fell due finish.
    static void advance(double seconds) {
        RunLoop::main().advance(seconds);
        RunLoop::main().runUntil([] { return false; }, 20);
    }

  protected:
    hx::testing::ScopedEnvironment env_;
    std::string home_;
};

// Records frames delivered on its queue; only read it on the main thread after waiting.
class FrameRecorder : public CaptureVideoDataOutputSampleBufferDelegate {
  public:
    void captureOutputDidOutputSampleBuffer(CaptureOutput&, const SampleBufferRef& sample,
                                            CaptureConnection& connection) override {
        std::lock_guard lock(mutex);
        frames.push_back(sample);
        orientations.push_back(connection.videoOrientation());
    }
    void captureOutputDidDropSampleBuffer(CaptureOutput&, const SampleBufferRef& sample,
                                          CaptureConnection&) override {
        std::lock_guard lock(mutex);
        drops.push_back(sample->droppedFrameReason());
    }
    size_t frameCount() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    size_t dropCount() {
        std::lock_guard lock(mutex);
        return drops.size();
    }

    std::mutex mutex;
    std::vector<SampleBufferRef> frames;
    std::vector<CaptureVideoOrientation> orientations;
    std::vector<std::string> drops;
};

// Records the photo and the error of each capture, and whether it came on the output's queue.
class PhotoRecorder : public CapturePhotoCaptureDelegate {
  public:
    void captureOutputDidFinishProcessingPhoto(CapturePhotoOutput& output,
                                               const CapturePhotoRef& photo,
                                               const std::optional<CaptureError>& error) override {
        std::lock_guard lock(mutex);
        photos.push_back(photo);
        errors.push_back(error);
        onOutputQueue = output.delegateQueue()->isCurrent() && !RunLoop::isMainThread();
        ++count;
    }
    std::mutex mutex;
    std::vector<CapturePhotoRef> photos;
    std::vector<std::optional<CaptureError>> errors;
    bool onOutputQueue = false;
    std::atomic<int> count{0};
};

// A running session around a camera, as the camera screen builds it: device input, a video
// data output delivering on the main queue with its connection turned to portrait, a photo
// output, the photo preset.
struct RunningCamera {
    CaptureDeviceRef device;
    CaptureSessionRef session = CaptureSession::create();
    CaptureVideoDataOutputRef video = CaptureVideoDataOutput::create();
    CapturePhotoOutputRef photo = CapturePhotoOutput::create();

    explicit RunningCamera(CaptureDeviceRef camera, FrameRecorder* frames = nullptr,
                           bool portrait = true)
        : device(std::move(camera)) {
        session->addInput(CaptureDeviceInput::deviceInputWithDevice(device));
        if (frames) video->setSampleBufferDelegate(frames, &DispatchQueue::main());
        session->addOutput(video);
        session->addOutput(photo);
        session->setSessionPreset(AVCaptureSessionPresetPhoto);
        if (portrait)
            video->connectionWithMediaType(AVMediaTypeVideo)
                ->setVideoOrientation(AVCaptureVideoOrientationPortrait);
        session->startRunning();
    }
    ~RunningCamera() { session->stopRunning(); }

    // Takes one still and waits for it.
    CapturePhotoRef capture(CaptureFlashMode flash = AVCaptureFlashModeOff,
                            std::optional<CaptureError>* error = nullptr) {
        PhotoRecorder recorder;
        auto settings = CapturePhotoSettings::photoSettings();
        settings->setFlashMode(flash);
        photo->capturePhotoWithSettings(settings, &recorder);
        RunLoop::main().runUntil([&] { return recorder.count > 0; }, 30);
        std::lock_guard lock(recorder.mutex);
        if (recorder.photos.empty()) return nullptr;
        if (error) *error = recorder.errors.front();
        return recorder.photos.front();
    }
};

// Reading pixels of BGRA buffers.
inline scene::Rgb pixelAt(const gpu::PixelBuffer& buffer, size_t x, size_t y) {
    const uint8_t* p = buffer.baseAddress() + y * buffer.bytesPerRow() + x * 4;
    return {p[2], p[1], p[0]};
}

inline double lumaAt(const gpu::PixelBuffer& buffer, size_t x, size_t y) {
    const scene::Rgb c = pixelAt(buffer, x, y);
    return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

// Mean luma of a rectangle given as shares of the buffer's width and height.
inline double meanLuma(const gpu::PixelBuffer& buffer, double x0, double y0, double x1, double y1) {
    double sum = 0;
    size_t n = 0;
    for (size_t y = size_t(y0 * buffer.height()); y < size_t(y1 * buffer.height()); y += 2)
        for (size_t x = size_t(x0 * buffer.width()); x < size_t(x1 * buffer.width()); x += 2) {
            sum += lumaAt(buffer, x, y);
            ++n;
        }
    return n ? sum / n : 0;
}

// Sum of absolute differences between neighbours: high for a sharp picture.
inline double sharpness(const gpu::PixelBuffer& buffer, double x0, double y0, double x1,
                        double y1) {
    double sum = 0;
    for (size_t y = size_t(y0 * buffer.height()); y < size_t(y1 * buffer.height()); ++y)
        for (size_t x = size_t(x0 * buffer.width()); x + 1 < size_t(x1 * buffer.width()); ++x)
            sum += std::fabs(lumaAt(buffer, x + 1, y) - lumaAt(buffer, x, y));
    return sum;
}

inline bool isSkyBlue(scene::Rgb c) {
    return c.b > c.r + 30 && c.b > 120;
}

inline bool isGrassGreen(scene::Rgb c) {
    return c.g > c.r + 15 && c.g > c.b + 20;
}

}  // namespace hx::capture::testing
