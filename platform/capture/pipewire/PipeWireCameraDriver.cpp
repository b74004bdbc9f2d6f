#include "platform/capture/pipewire/PipeWireCameraDriver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/capture/DeviceLink.h"
#include "platform/capture/convert/RealCameraMetadata.h"
#include "platform/capture/pipewire/PipeWireConnection.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"

namespace hx::capture {

namespace {

constexpr double kMaxDigitalZoom = 4;
constexpr auto kStillWait = std::chrono::seconds(10);
// How long one try at a still may take before the stream is made again.
constexpr auto kStillAttempt = std::chrono::seconds(3);

int64_t area(VideoDimensions d) {
    return int64_t{d.width} * d.height;
}

}  // namespace

CaptureDeviceCapabilities pipeWireCapabilities(const PipeWireCamera& camera) {
    CaptureDeviceCapabilities c;
    c.uniqueID = "pipewire:" + camera.name;
    c.localizedName = camera.description;
    c.deviceType = AVCaptureDeviceTypeBuiltInWideAngleCamera;
    c.position = camera.position;
    c.manufacturer = camera.vendor;
    c.modelID = camera.product.empty() ? camera.description : camera.product;
    for (const PipeWireFormat& format : camera.formats)
        if (std::find(c.formats.begin(), c.formats.end(), format.size) == c.formats.end())
            c.formats.push_back(format.size);
    // The camera focuses, exposes and balances by itself; there is nothing to steer.
    c.focusModes = {AVCaptureFocusModeContinuousAutoFocus};
    c.exposureModes = {AVCaptureExposureModeContinuousAutoExposure};
    c.whiteBalanceModes = {AVCaptureWhiteBalanceModeContinuousAutoWhiteBalance};
    c.minExposureTargetBias = 0;
    c.maxExposureTargetBias = 0;
    c.maxAvailableVideoZoomFactor = float(kMaxDigitalZoom);
    c.lens.model = camera.description;
    return c;
}

VideoDimensions PipeWireCameraDriver::previewSizeFor(const PipeWireCamera& camera,
                                                     VideoDimensions wanted) {
    std::optional<VideoDimensions> covering, largest;
    for (const PipeWireFormat& format : camera.formats) {
        const VideoDimensions s = format.size;
        if (!largest || area(s) > area(*largest)) largest = s;
        if (s.width >= wanted.width && s.height >= wanted.height &&
            (!covering || area(s) < area(*covering)))
            covering = s;
    }
    return covering ? *covering : largest.value_or(wanted);
}

struct PipeWireCameraDriver::State : std::enable_shared_from_this<State> {
    std::shared_ptr<PipeWireConnection> connection;
    PipeWireCamera camera;
    CaptureDeviceCapabilities capabilities;
    const std::shared_ptr<DispatchQueue> frameQueue =
        DispatchQueue::makeSerial("pipewire camera frames");
    const std::shared_ptr<DispatchQueue> stillQueue =
        DispatchQueue::makeSerial("pipewire camera stills");

    mutable std::mutex mutex;
    CaptureDeviceSettings settings;
    DeviceLink device;
    // The preview the program asked for; `generation` tells its frames from an older one's.
    bool streaming = false;
    StreamConfiguration configuration;
    FrameHandler handler;
    uint64_t generation = 0;
    bool delivering = false;
    bool reportedConversionError = false;
    int arrivalToken = 0, removalToken = 0;

    // With the connection's lock held.
    std::unique_ptr<PipeWireConnection::Stream> preview;

    ~State() {
        if (!preview) return;
        PipeWireConnection::Lock lock(*connection);
        preview.reset();
    }

    // ---- preview, with the connection's lock held

    void openPreviewLocked() {
        preview.reset();
        VideoDimensions wanted;
        uint64_t current = 0;
        {
            std::lock_guard lock(mutex);
            if (!streaming) return;
            wanted = configuration.dimensions;
            if (configuration.orientation == AVCaptureVideoOrientationPortrait ||
                configuration.orientation == AVCaptureVideoOrientationPortraitUpsideDown)
                std::swap(wanted.width, wanted.height);
            current = generation;
        }
        const VideoDimensions size = previewSizeFor(camera, wanted);
        std::weak_ptr<State> weak = weak_from_this();
        preview = connection->openStream(camera, size, [weak, current](const CameraFrame& frame) {
            if (auto self = weak.lock()) self->previewFrame(frame, current);
        });
        if (preview)
            preview->ended = [this](const std::string& why) {
                hxLog("PipeWire: %s: %s", camera.description.c_str(), why.c_str());
            };
    }

    // On the connection's thread, for every frame of the preview.
    void previewFrame(const CameraFrame& frame, uint64_t frameGeneration) {
        PixelBufferPoolRef pool;
        CaptureVideoOrientation orientation;
        double zoom = 1;
        {
            std::lock_guard lock(mutex);
            if (!streaming || frameGeneration != generation || delivering) return;
            pool = configuration.pool;
            orientation = configuration.orientation;
            zoom = settings.videoZoomFactor;
            delivering = true;
        }
        gpu::PixelBufferRef buffer = pool->acquire();
        std::string error;
        if (buffer && !convertFrame(frame, orientation, *buffer, &error, zoom)) {
            std::lock_guard lock(mutex);
            if (!reportedConversionError)
                hxLog("PipeWire: %s: %s", camera.description.c_str(), error.c_str());
            reportedConversionError = true;
            buffer.reset();
        }
        const double time = Clock::now();
        frameQueue->async([weak = weak_from_this(), frameGeneration, buffer, time] {
            auto self = weak.lock();
            if (!self) return;
            FrameHandler handler;
            {
                std::lock_guard lock(self->mutex);
                self->delivering = false;
                if (!self->streaming || frameGeneration != self->generation) return;
                handler = self->handler;
            }
            handler(buffer, time);
        });
    }

    // ---- stills, on the still queue

    StillResult takeStill(const StillRequest& request) {
        StillResult result;
        result.timestamp = Clock::now();
        VideoDimensions target;
        double zoom = 1;
        {
            std::lock_guard lock(mutex);
            target = settings.activeFormat;
            zoom = settings.videoZoomFactor;
        }
        if (!connection->isPresent(camera.name)) {
            result.error = CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."};
            return result;
        }
        struct Grab {
            std::mutex mutex;
            std::condition_variable done;
            gpu::PixelBufferRef buffer;
            std::string error;
            bool finished = false;
        };
        auto grab = std::make_shared<Grab>();
        auto take = [grab, zoom, target](const CameraFrame& frame) {
            {
                std::lock_guard lock(grab->mutex);
                if (grab->finished) return;
            }
            if (frame.width != target.width || frame.height != target.height) return;
            gpu::PixelBufferRef buffer;
            std::string error;
            if (gpu::PixelBuffer::create(size_t(frame.width), size_t(frame.height),
                                         gpu::PixelFormatType32BGRA, {true, true, true},
                                         &buffer) != gpu::VideoStatusSuccess)
                error = "No memory for the photo.";
            else if (!convertFrame(frame, AVCaptureVideoOrientationLandscapeRight, *buffer, &error,
                                   zoom))
                buffer.reset();
            std::lock_guard lock(grab->mutex);
            grab->buffer = std::move(buffer);
            grab->error = error;
            grab->finished = true;
            grab->done.notify_all();
        };

        bool fromPreview = false;
        {
            PipeWireConnection::Lock lock(*connection);
            fromPreview = preview && preview->negotiated && preview->size == target;
            if (fromPreview)
                preview->tap = take;
            else
                preview.reset();
        }
        auto waitFor = [&](std::chrono::steady_clock::duration patience) {
            std::unique_lock lock(grab->mutex);
            return grab->done.wait_for(lock, patience, [&] { return grab->finished; });
        };
        bool finished = false;
        bool gone = false;
        auto stillThere = [&] {
            gone = gone || !connection->isPresent(camera.name);
            return !gone;
        };
        std::string state = "no stream";
        if (fromPreview) {
            const auto deadline = std::chrono::steady_clock::now() + kStillWait;
            while (!finished && std::chrono::steady_clock::now() < deadline && stillThere())
                finished = waitFor(std::chrono::milliseconds(100));
            PipeWireConnection::Lock lock(*connection);
            if (preview) preview->tap = nullptr;
        } else {
            // The camera gives one size at a time: the preview makes way for the still. A
            // camera keeps the size it had for a while after its last stream left, and would
            // give the still that size, so it is put to rest first; a still stream that got
            // another size all the same is tried again.
            const auto deadline = std::chrono::steady_clock::now() + kStillWait;
            while (!finished && std::chrono::steady_clock::now() < deadline && stillThere()) {
                connection->synchronise();
                std::unique_ptr<PipeWireConnection::Stream> still;
                {
                    PipeWireConnection::Lock lock(*connection);
                    connection->suspend(camera.name);
                }
                connection->synchronise();
                {
                    PipeWireConnection::Lock lock(*connection);
                    still = connection->openStream(camera, target, take);
                }
                if (!still) break;
                const auto attemptEnd =
                    std::min(deadline, std::chrono::steady_clock::now() + kStillAttempt);
                while (!finished && std::chrono::steady_clock::now() < attemptEnd && stillThere()) {
                    finished = waitFor(std::chrono::milliseconds(100));
                    PipeWireConnection::Lock lock(*connection);
                    if (still->negotiated && !(still->size == target)) break;
                }
                PipeWireConnection::Lock lock(*connection);
                if (still->negotiated)
                    state = "the camera gave " + std::to_string(still->size.width) + "x" +
                            std::to_string(still->size.height);
                else
                    state = "the camera did not agree on a size";
                still.reset();
            }
            connection->synchronise();
            PipeWireConnection::Lock lock(*connection);
            openPreviewLocked();
        }
        std::lock_guard lock(grab->mutex);
        grab->finished = true;
        if (!finished && gone) {
            result.error = CaptureError{AVErrorDeviceNotConnected,
                                        "The camera went away before the photo was taken."};
            return result;
        }
        if (!finished || !grab->buffer) {
            result.error = CaptureError{
                finished ? AVErrorUnknown : AVErrorDeviceNotConnected,
                finished ? grab->error
                         : "The camera sent no picture for the photo (" + state + ")."};
            return result;
        }
        result.pixelBuffer = grab->buffer;
        result.metadata = realCameraStillMetadata(
            capabilities, request,
            VideoDimensions{int32_t(grab->buffer->width()), int32_t(grab->buffer->height())}, zoom);
        return result;
    }
};

PipeWireCameraDriver::PipeWireCameraDriver(std::shared_ptr<PipeWireConnection> connection,
                                           PipeWireCamera camera)
    : state_(std::make_shared<State>()) {
    State& s = *state_;
    s.connection = std::move(connection);
    s.camera = std::move(camera);
    s.capabilities = pipeWireCapabilities(s.camera);
    for (const VideoDimensions& size : s.capabilities.formats)
        if (area(size) > area(s.settings.activeFormat)) s.settings.activeFormat = size;
    // A camera plugged in again picks up the preview where it stopped; its device hears of
    // both its leaving and its return.
    PipeWireConnection::Lock lock(*s.connection);
    s.arrivalToken = s.connection->observeArrivals(
        [weak = std::weak_ptr<State>(state_)](const std::string& name) {
            auto self = weak.lock();
            if (!self || name != self->camera.name) return;
            bool streaming = false;
            {
                std::lock_guard lock(self->mutex);
                streaming = self->streaming;
            }
            if (streaming) self->openPreviewLocked();
            self->device.tellConnection(true);
        });
    s.removalToken = s.connection->observeRemovals(
        [weak = std::weak_ptr<State>(state_)](const std::string& name) {
            auto self = weak.lock();
            if (self && name == self->camera.name) self->device.tellConnection(false);
        });
}

bool PipeWireCameraDriver::isConnected() const {
    return state_->connection->isPresent(state_->camera.name);
}

PipeWireCameraDriver::~PipeWireCameraDriver() {
    {
        PipeWireConnection::Lock lock(*state_->connection);
        state_->connection->stopObservingArrivals(state_->arrivalToken);
        state_->connection->stopObservingArrivals(state_->removalToken);
    }
    stopStreaming();
    state_->stillQueue->sync([] {});
}

const CaptureDeviceCapabilities& PipeWireCameraDriver::capabilities() const {
    return state_->capabilities;
}

void PipeWireCameraDriver::attach(std::shared_ptr<DispatchQueue> deviceQueue,
                                  std::weak_ptr<CameraDriverListener> listener) {
    state_->device.attach(std::move(deviceQueue), std::move(listener));
}

bool PipeWireCameraDriver::acquireConfigurationLock(CaptureError* error) {
    if (state_->connection->isPresent(state_->camera.name)) return true;
    if (error) *error = {AVErrorDeviceNotConnected, "The camera is not connected."};
    return false;
}

void PipeWireCameraDriver::settingsChanged(const CaptureDeviceSettings& settings, SettingsChange) {
    std::lock_guard lock(state_->mutex);
    state_->settings = settings;
}

void PipeWireCameraDriver::startStreaming(const StreamConfiguration& configuration,
                                          FrameHandler handler) {
    stopStreaming();
    if (!configuration.pool || !handler) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->streaming = true;
        state_->configuration = configuration;
        state_->handler = std::move(handler);
        state_->delivering = false;
        ++state_->generation;
    }
    PipeWireConnection::Lock lock(*state_->connection);
    state_->openPreviewLocked();
}

void PipeWireCameraDriver::stopStreaming() {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->streaming) return;
        state_->streaming = false;
        ++state_->generation;
    }
    {
        PipeWireConnection::Lock lock(*state_->connection);
        state_->preview.reset();
    }
    // A frame being handed over finishes before this returns.
    state_->frameQueue->sync([] {});
    std::lock_guard lock(state_->mutex);
    state_->handler = nullptr;
}

void PipeWireCameraDriver::captureStill(const StillRequest& request, StillHandler handler) {
    state_->stillQueue->async([state = state_, request, handler = std::move(handler)] {
        handler(state->takeStill(request));
    });
}

}  // namespace hx::capture
