#include "platform/capture/simulated/SimulatedCameraDriver.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/capture/DeviceLink.h"
#include "platform/capture/scene/SceneRenderer.h"
#include "platform/capture/simulated/SimulatedCamera.h"
#include "platform/capture/simulated/SimulatedOptics.h"
#include "platform/capture/simulated/StillMetadata.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/Timer.h"

namespace hx::capture {

namespace {

// Metering: how much of the difference from the scene's usual brightness the camera makes up,
// and within what range. Pointing at the sky darkens the picture, at a shadow brightens it.
constexpr double kMeterCorrection = 0.7, kMinMeterGain = 0.3, kMaxMeterGain = 4.0;
// The square metered around the point of interest, as a share of the field's height.
constexpr double kMeterHalfSize = 0.03;
// Below this much light (illuminance over metered gain) a scene counts as dim: an automatic
// flash fires and low-light boost switches on.
constexpr double kDimScene = 0.4;
constexpr double kLowLightBoost = 1.4;
// How strongly a fired flash lights a bright and a dim scene.
constexpr double kFlashInDaylight = 0.7, kFlashInTheDark = 1.0;
constexpr size_t kStillBuffers = 2;

struct Stream {
    StreamConfiguration configuration;
    FrameHandler handler;
    std::shared_ptr<Timer> timer;
    std::atomic<bool> stopped{false};
    std::atomic<bool> painting{false};
};

bool hasMode(const std::vector<CaptureFocusMode>& modes, CaptureFocusMode mode) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

}  // namespace

struct SimulatedCameraDriver::State : std::enable_shared_from_this<State> {
    State(SimulatedCameraModel m, std::shared_ptr<const scene::Scene> s)
        : model(std::move(m)), scene(std::move(s)) {}

    const SimulatedCameraModel model;
    const std::shared_ptr<const scene::Scene> scene;
    double referenceLuminance = 0.18;
    DeviceLink device;
    const std::shared_ptr<DispatchQueue> frameQueue =
        DispatchQueue::makeSerial("simulated camera frames");
    const std::shared_ptr<DispatchQueue> stillQueue =
        DispatchQueue::makeSerial("simulated camera stills");

    mutable std::mutex mutex;
    CaptureDeviceSettings settings;
    SimulatedOptics optics;
    double meterGain = 1;  // what metering asks for, before bias and boost
    uint64_t focusRun = 0, exposureRun = 0;
    std::shared_ptr<Stream> stream;

    // ---- geometry

    // Scene units across the long side of the whole sensor at this zoom.
    double sensorField(double zoom) const {
        const double field = scene->fillsLensField() ? 1.0 : model.fieldAtZoom1();
        return field / std::max(zoom, 1.0);
    }

    double sensorAspect(const CaptureDeviceSettings& s) const {
        const VideoDimensions& f = s.activeFormat;
        if (f.width <= 0 || f.height <= 0) return 0.75;
        return double(std::min(f.width, f.height)) / std::max(f.width, f.height);
    }

    // The view of a buffer of these dimensions: the sensor's field, cut to the buffer's shape.
    scene::RenderView viewFor(VideoDimensions dimensions, CaptureVideoOrientation orientation,
                              const CaptureDeviceSettings& s, double time) const {
        const bool upright = orientation == AVCaptureVideoOrientationPortrait ||
                             orientation == AVCaptureVideoOrientationPortraitUpsideDown;
        const double uprightWidth = upright ? dimensions.width : dimensions.height;
        const double uprightHeight = upright ? dimensions.height : dimensions.width;
        const double aspect = uprightWidth / uprightHeight;
        const double field = sensorField(s.videoZoomFactor), sensor = sensorAspect(s);
        scene::RenderView view;
        view.orientation = orientation;
        view.time = time;
        if (aspect <= sensor) {
            view.fieldHeight = field;
            view.fieldWidth = field * aspect;
        } else {
            view.fieldWidth = field * sensor;
            view.fieldHeight = view.fieldWidth / aspect;
        }
        return view;
    }

    // ---- exposure

    double meter(const CaptureDeviceSettings& s, double time) const {
        // A point of interest is in sensor coordinates: x runs down the upright view, y from
        // its right edge to its left.
        const double field = sensorField(s.videoZoomFactor);
        const double x = (0.5 - s.exposurePointOfInterest.y) * field * sensorAspect(s);
        const double y = (s.exposurePointOfInterest.x - 0.5) * field;
        const double luminance =
            std::max(scene->meanLuminance(x, y, kMeterHalfSize * field, time), 1e-4);
        return std::clamp(std::pow(referenceLuminance / luminance, kMeterCorrection), kMinMeterGain,
                          kMaxMeterGain);
    }

    bool isDimLocked() const { return scene->illuminance() / meterGain < kDimScene; }

    double targetGainLocked() const {
        double gain = meterGain * std::exp2(settings.exposureTargetBias);
        if (settings.automaticallyEnablesLowLightBoostWhenAvailable &&
            model.capabilities.lowLightBoostSupported && isDimLocked())
            gain *= kLowLightBoost;
        return gain;
    }

    // ---- reports to the device, always on its queue

    void report(bool focus, bool adjusting) {
        device.tell([focus, adjusting](CameraDriverListener& target) {
            if (focus)
                target.driverAdjustingFocusChanged(adjusting);
            else
                target.driverAdjustingExposureChanged(adjusting);
        });
    }

    // Reports the end of a focus or exposure run when it settles, unless a newer run started.
    void reportSettledAt(bool focus, uint64_t run, double seconds) {
        device.tell(
            [weak = weak_from_this(), focus, run](CameraDriverListener& target) {
                auto self = weak.lock();
                if (!self) return;
                {
                    std::lock_guard lock(self->mutex);
                    if ((focus ? self->focusRun : self->exposureRun) != run) return;
                }
                if (focus)
                    target.driverAdjustingFocusChanged(false);
                else
                    target.driverAdjustingExposureChanged(false);
            },
            seconds);
    }

    void startExposureRunLocked(double now) {
        const double end = optics.startExposing(now, targetGainLocked());
        const uint64_t run = ++exposureRun;
        report(false, true);
        reportSettledAt(false, run, end - now);
    }

    void focusChangedLocked(double now) {
        const CaptureFocusMode mode = settings.focusMode;
        if (!hasMode(model.capabilities.focusModes, mode)) return;
        if (mode == AVCaptureFocusModeLocked) {
            const bool wasFocusing = optics.isFocusing(now);
            optics.holdFocus(now);
            ++focusRun;
            if (wasFocusing) report(true, false);
            return;
        }
        const double end = optics.startFocusing(now);
        const uint64_t run = ++focusRun;
        report(true, true);
        reportSettledAt(true, run, end - now);
    }

    void exposureChangedLocked(const CaptureDeviceSettings& before, double now) {
        const bool locked = settings.exposureMode == AVCaptureExposureModeLocked ||
                            settings.exposureMode == AVCaptureExposureModeCustom;
        if (locked) {
            if (before.exposureMode != settings.exposureMode) {
                // Keep the light as it is now; the bias still applies on top.
                const bool wasExposing = optics.isExposing(now);
                meterGain = optics.exposureGain(now) / std::exp2(before.exposureTargetBias);
                optics.holdExposure(now);
                ++exposureRun;
                if (wasExposing) report(false, false);
            }
            if (before.exposureTargetBias != settings.exposureTargetBias)
                startExposureRunLocked(now);
            return;
        }
        meterGain = meter(settings, now);
        startExposureRunLocked(now);
    }

    // ---- painting

    // Stills reuse a few buffers once the program has let go of them, which spares the system
    // clearing 48 MB for every photo; when all are held a new one is made. Used on the still
    // queue only.
    PixelBufferPoolRef stillPool;

    gpu::PixelBufferRef stillBuffer(VideoDimensions size) {
        const size_t width = static_cast<size_t>(size.width);
        const size_t height = static_cast<size_t>(size.height);
        if (!stillPool || stillPool->width() != width || stillPool->height() != height)
            stillPool = PixelBufferPool::create(width, height, kStillBuffers);
        if (gpu::PixelBufferRef pooled = stillPool ? stillPool->acquire() : nullptr) return pooled;
        gpu::PixelBufferRef fresh;
        const gpu::VideoStatus status = gpu::PixelBuffer::create(
            width, height, gpu::PixelFormatType32BGRA, {true, true, true}, &fresh);
        if (status != gpu::VideoStatusSuccess)
            hxLog("CVPixelBufferCreate %d", static_cast<int>(status));
        return fresh;
    }

    void paintFrame(const std::shared_ptr<Stream>& stream, double time) {
        gpu::PixelBufferRef buffer = stream->configuration.pool->acquire();
        if (buffer) {
            scene::RenderView view;
            {
                std::lock_guard lock(mutex);
                view = viewFor(stream->configuration.dimensions, stream->configuration.orientation,
                               settings, time);
                view.defocus = optics.defocus(time);
                view.exposureGain = optics.exposureGain(time);
            }
            scene::renderScene(*scene, view, *buffer);
        }
        if (!stream->stopped) stream->handler(std::move(buffer), time);
    }

    void tick(const std::shared_ptr<Stream>& stream) {
        // An unplugged camera sends nothing.
        if (stream->stopped || SimulatedCamera::isUnplugged() || stream->painting.exchange(true))
            return;
        const double time = Clock::now();
        // On the manual clock a frame is painted before the clock moves on, so what the camera
        // delivers at a moment of the clock is the same on every run.
        if (Clock::isManual()) {
            paintFrame(stream, time);
            stream->painting = false;
            return;
        }
        frameQueue->async([self = shared_from_this(), stream, time] {
            if (!stream->stopped) self->paintFrame(stream, time);
            stream->painting = false;
        });
    }
};

SimulatedCameraDriver::SimulatedCameraDriver(SimulatedCameraModel model,
                                             std::shared_ptr<const scene::Scene> scene)
    : state_(std::make_shared<State>(std::move(model), std::move(scene))) {
    State& s = *state_;
    s.settings.activeFormat = s.model.capabilities.formats.empty()
                                  ? VideoDimensions{}
                                  : *std::max_element(s.model.capabilities.formats.begin(),
                                                      s.model.capabilities.formats.end(),
                                                      [](VideoDimensions a, VideoDimensions b) {
                                                          return int64_t{a.width} * a.height <
                                                                 int64_t{b.width} * b.height;
                                                      });
    // The scene at its usual brightness, seen whole at zoom 1, needs no correction.
    s.referenceLuminance =
        std::max(s.scene->meanLuminance(0, 0, kMeterHalfSize * s.sensorField(1), 0), 1e-4);
    s.meterGain = 1;
    s.optics = SimulatedOptics(1);
    // Unplugging is told to the device on its queue, as a real camera's leaving is.
    pluggingToken_ =
        SimulatedCamera::observePlugging([weak = std::weak_ptr<State>(state_)](bool connected) {
            if (auto self = weak.lock()) self->device.tellConnection(connected);
        });
}

SimulatedCameraDriver::~SimulatedCameraDriver() {
    SimulatedCamera::stopObservingPlugging(pluggingToken_);
    stopStreaming();
}

bool SimulatedCameraDriver::isConnected() const {
    return !SimulatedCamera::isUnplugged();
}

const CaptureDeviceCapabilities& SimulatedCameraDriver::capabilities() const {
    return state_->model.capabilities;
}

void SimulatedCameraDriver::attach(std::shared_ptr<DispatchQueue> deviceQueue,
                                   std::weak_ptr<CameraDriverListener> listener) {
    state_->device.attach(std::move(deviceQueue), std::move(listener));
}

bool SimulatedCameraDriver::acquireConfigurationLock(CaptureError* error) {
    if (SimulatedCamera::isUnplugged()) {
        if (error) *error = {AVErrorDeviceNotConnected, "The camera is not connected."};
        return false;
    }
    if (!SimulatedCamera::refusesConfigurationLock()) return true;
    if (error)
        *error = {AVErrorDeviceLockedForConfigurationByAnotherProcess,
                  "The camera is being configured by another application."};
    return false;
}

void SimulatedCameraDriver::settingsChanged(const CaptureDeviceSettings& settings,
                                            SettingsChange change) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    const CaptureDeviceSettings before = s.settings;
    s.settings = settings;
    const double now = Clock::now();
    switch (change) {
        case SettingsChange::Focus:
            s.focusChangedLocked(now);
            break;
        case SettingsChange::Exposure:
            s.exposureChangedLocked(before, now);
            break;
        case SettingsChange::LowLightBoost:
            s.startExposureRunLocked(now);
            break;
        case SettingsChange::WhiteBalance:
        case SettingsChange::Zoom:
        case SettingsChange::Format:
            break;
    }
}

void SimulatedCameraDriver::startStreaming(const StreamConfiguration& configuration,
                                           FrameHandler handler) {
    stopStreaming();
    if (!configuration.pool || !handler) return;
    auto stream = std::make_shared<Stream>();
    stream->configuration = configuration;
    stream->handler = std::move(handler);
    std::weak_ptr<State> weakState = state_;
    std::weak_ptr<Stream> weakStream = stream;
    stream->timer =
        Timer::scheduled(configuration.frameDuration, true, [weakState, weakStream](Timer&) {
            auto state = weakState.lock();
            auto current = weakStream.lock();
            if (state && current) state->tick(current);
        });
    std::lock_guard lock(state_->mutex);
    state_->stream = std::move(stream);
}

void SimulatedCameraDriver::stopStreaming() {
    std::shared_ptr<Stream> stream;
    {
        std::lock_guard lock(state_->mutex);
        stream = std::move(state_->stream);
    }
    if (!stream) return;
    stream->stopped = true;
    stream->timer->invalidate();
    // A frame being painted finishes without reaching the handler.
    state_->frameQueue->sync([] {});
    // A camera that no longer streams takes no stills until it streams again: its still
    // buffers (48 MB each at 12 MP) go back to the system instead of waiting, one set per
    // camera, for a camera the user may never pick again. The task holds the state weakly: the
    // queue belongs to the state, and a strong hold would keep both alive when the driver goes
    // (its destructor stops the stream) before the task has run.
    state_->stillQueue->async([weak = std::weak_ptr<State>(state_)] {
        if (auto state = weak.lock()) state->stillPool.reset();
    });
}

void SimulatedCameraDriver::captureStill(const StillRequest& request, StillHandler handler) {
    State& s = *state_;
    if (SimulatedCamera::isUnplugged()) {
        s.stillQueue->async([handler = std::move(handler)] {
            StillResult result;
            result.timestamp = Clock::now();
            result.error = CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."};
            handler(std::move(result));
        });
        return;
    }
    const double now = Clock::now();
    scene::RenderView view;
    StillFacts facts;
    {
        std::lock_guard lock(s.mutex);
        const VideoDimensions size = s.settings.activeFormat;
        view = s.viewFor(size, AVCaptureVideoOrientationLandscapeRight, s.settings, now);
        view.defocus = s.optics.defocus(now);
        view.exposureGain = s.optics.exposureGain(now);
        facts.size = size;
        facts.orientation = request.orientation;
        facts.lens = s.model.lensAt(s.settings.videoZoomFactor).description;
        facts.exposure = view.exposureGain / s.scene->illuminance();
        facts.exposureBias = s.settings.exposureTargetBias;
        facts.hasFlash = s.model.capabilities.hasFlash;
        facts.flashMode = request.flashMode;
        facts.flashFired =
            facts.hasFlash && (request.flashMode == AVCaptureFlashModeOn ||
                               (request.flashMode == AVCaptureFlashModeAuto && s.isDimLocked()));
        facts.zoom = s.settings.videoZoomFactor;
        if (facts.flashFired)
            view.flash = s.scene->illuminance() < kDimScene ? kFlashInTheDark : kFlashInDaylight;
    }
    s.stillQueue->async([state = state_, view, facts, handler = std::move(handler)] {
        StillResult result;
        result.timestamp = view.time;
        if (SimulatedCamera::failsCapture()) {
            result.error = CaptureError{AVErrorUnknown, "The simulated camera failed on request."};
            handler(std::move(result));
            return;
        }
        gpu::PixelBufferRef buffer = state->stillBuffer(facts.size);
        if (!buffer) {
            result.error = CaptureError{AVErrorUnknown, "No memory for the photo."};
            handler(std::move(result));
            return;
        }
        scene::renderScene(*state->scene, view, *buffer);
        result.pixelBuffer = std::move(buffer);
        result.metadata = stillMetadata(facts);
        result.flashFired = facts.flashFired;
        handler(std::move(result));
    });
}

bool SimulatedCameraDriver::isDimScene() const {
    std::lock_guard lock(state_->mutex);
    return state_->isDimLocked();
}

}  // namespace hx::capture
