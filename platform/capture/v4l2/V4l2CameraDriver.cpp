#include "platform/capture/v4l2/V4l2CameraDriver.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "platform/capture/DeviceLink.h"
#include "platform/capture/convert/RealCameraMetadata.h"
#include "platform/log/Log.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

namespace hx::capture {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint32_t kBufferCount = 4;
constexpr int kPollMilliseconds = 50;
constexpr auto kIdleWait = std::chrono::milliseconds(100);
// How long a stopped preview keeps the camera running for a preview that starts again.
constexpr auto kLinger = std::chrono::seconds(1);
// How soon a camera that would not start is tried again.
constexpr auto kRetry = std::chrono::seconds(1);
// Frames a camera started for a still sends before the one kept: its exposure settles on them.
constexpr int kStillSettleFrames = 2;
constexpr auto kStillPatience = std::chrono::seconds(5);
// A stream silent this long has its node looked for: a camera whose node no longer opens, or
// opens but no longer answers, has gone away even where its open file says nothing.
constexpr auto kSilence = std::chrono::seconds(2);

const SettingsChange kEveryChange[] = {SettingsChange::Exposure, SettingsChange::Focus,
                                       SettingsChange::WhiteBalance, SettingsChange::Zoom};

const char* controlName(uint32_t id) {
    switch (id) {
        case V4L2_CID_AUTO_EXPOSURE_BIAS:
            return "exposure bias";
        case V4L2_CID_EXPOSURE_AUTO:
            return "automatic exposure";
        case V4L2_CID_EXPOSURE_ABSOLUTE:
            return "exposure time";
        case V4L2_CID_FOCUS_AUTO:
            return "automatic focus";
        case V4L2_CID_FOCUS_ABSOLUTE:
            return "focus position";
        case V4L2_CID_AUTO_FOCUS_START:
            return "focusing";
        case V4L2_CID_ZOOM_ABSOLUTE:
            return "zoom";
        case V4L2_CID_AUTO_WHITE_BALANCE:
            return "automatic white balance";
        default:
            return "a control";
    }
}

bool meansGone(int error) {
    return error == ENODEV || error == ENOENT || error == ENXIO;
}

}  // namespace

struct V4l2CameraDriver::State : std::enable_shared_from_this<State> {
    std::shared_ptr<V4l2Io> io;
    V4l2Camera camera;  // its path changes under `mutex` only
    CaptureDeviceCapabilities capabilities;
    const std::shared_ptr<DispatchQueue> frameQueue =
        DispatchQueue::makeSerial("v4l2 camera frames");
    const std::shared_ptr<DispatchQueue> stillQueue =
        DispatchQueue::makeSerial("v4l2 camera stills");

    mutable std::mutex mutex;
    std::condition_variable wake;
    CaptureDeviceSettings settings;
    std::set<SettingsChange> pendingChanges;
    DeviceLink device;
    bool streaming = false;
    StreamConfiguration configuration;
    FrameHandler handler;
    uint64_t generation = 0;
    bool delivering = false;
    std::deque<std::pair<StillRequest, StillHandler>> stills;
    bool gone = false;
    bool quit = false;
    bool retryNow = false;
    std::thread thread;

    // ---- the camera thread's own

    struct Mapped {
        void* address = nullptr;
        size_t length = 0;
    };
    int fd = -1;
    bool streamOn = false;
    V4l2Format requested;  // the layout asked for
    V4l2Format actual;     // the layout the camera agreed to
    int bytesPerLine = 0;
    std::vector<Mapped> buffers;
    bool wasPreviewing = false;
    SteadyClock::time_point lingerUntil{}, retryAt{};
    std::set<uint32_t> refusedControls;
    bool reportedFrameError = false;
    bool reportedStartError = false;
    SteadyClock::time_point lastSign{};  // the last frame, or the last look for the node

    ~State() {
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
    }

    void log(const std::string& message) const {
        hxLog("V4L2: %s: %s", camera.card.c_str(), message.c_str());
    }

    // ---- the node

    // Opens the node and gives it the settings. False when it cannot be opened now; `error`
    // then says why.
    bool openDevice(CaptureError* error) {
        if (fd >= 0) return true;
        std::string path;
        {
            std::lock_guard lock(mutex);
            path = camera.path;
        }
        fd = io->open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int number = errno;
            if (number == EBUSY) {
                if (error)
                    *error = {AVErrorDeviceInUseByAnotherApplication,
                              "The camera is in use by another program."};
            } else if (meansGone(number)) {
                wentAway(std::string("the camera cannot be opened: ") + std::strerror(number));
                if (error) *error = {AVErrorDeviceNotConnected, "The camera is not connected."};
            } else if (error) {
                *error = {AVErrorUnknown,
                          std::string("The camera cannot be opened: ") + std::strerror(number)};
            }
            return false;
        }
        {
            std::lock_guard lock(mutex);
            pendingChanges.insert(std::begin(kEveryChange), std::end(kEveryChange));
        }
        applyControls();
        return true;
    }

    void closeDevice() {
        stopStream();
        if (fd >= 0) io->close(fd);
        fd = -1;
    }

    // Marks the camera gone; whether it was there until now.
    bool markGone(const std::string& why) {
        std::lock_guard lock(mutex);
        if (gone) return false;
        log("the camera went away (" + why + ")");
        gone = true;
        return true;
    }

    void wentAway(const std::string& why) {
        if (markGone(why)) device.tellConnection(false);
        for (Mapped& buffer : buffers) io->unmap(buffer.address, buffer.length);
        buffers.clear();
        streamOn = false;
        if (fd >= 0) io->close(fd);
        fd = -1;
    }

    bool isGone() const {
        std::lock_guard lock(mutex);
        return gone;
    }

    // ---- controls

    void applyControls() {
        if (fd < 0) return;
        std::set<SettingsChange> changes;
        CaptureDeviceSettings now;
        {
            std::lock_guard lock(mutex);
            changes.swap(pendingChanges);
            now = settings;
        }
        for (SettingsChange change : changes) {
            std::optional<int32_t> focusPosition;
            if (change == SettingsChange::Focus && camera.focusAbsolute) {
                v4l2_control position{V4L2_CID_FOCUS_ABSOLUTE, 0};
                if (v4l2Ioctl(*io, fd, VIDIOC_G_CTRL, &position) == 0)
                    focusPosition = position.value;
            }
            for (const V4l2ControlValue& value :
                 v4l2ControlsFor(camera, now, change, focusPosition)) {
                if (refusedControls.count(value.id)) continue;
                v4l2_control control{value.id, value.value};
                if (v4l2Ioctl(*io, fd, VIDIOC_S_CTRL, &control) == 0) continue;
                const int number = errno;
                if (number == ENODEV) return wentAway(std::strerror(number));
                refusedControls.insert(value.id);
                log(std::string("the camera refused its ") + controlName(value.id) + " (" +
                    std::strerror(number) + "); left as it is from now on");
            }
        }
    }

    // ---- streaming

    bool startStream(const V4l2Format& format, std::string* why) {
        stopStream();
        auto fail = [&](const std::string& what) {
            const int number = errno;
            if (meansGone(number)) wentAway(what + ": " + std::strerror(number));
            if (why) *why = what + ": " + std::strerror(number);
            stopStream();
            return false;
        };
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.fmt.pix.width = uint32_t(format.size.width);
        f.fmt.pix.height = uint32_t(format.size.height);
        f.fmt.pix.pixelformat = format.fourcc;
        f.fmt.pix.field = V4L2_FIELD_NONE;
        if (v4l2Ioctl(*io, fd, VIDIOC_S_FMT, &f) < 0) return fail("the layout was refused");
        const auto pixel = v4l2PixelFormat(f.fmt.pix.pixelformat);
        if (!pixel || f.fmt.pix.width == 0 || f.fmt.pix.height == 0) {
            errno = EINVAL;
            return fail("the camera chose a layout we cannot read (" +
                        v4l2FourccName(f.fmt.pix.pixelformat) + ")");
        }
        requested = format;
        actual = {f.fmt.pix.pixelformat,
                  *pixel,
                  {int32_t(f.fmt.pix.width), int32_t(f.fmt.pix.height)},
                  format.framesPerSecond};
        bytesPerLine = int(f.fmt.pix.bytesperline);

        v4l2_requestbuffers request{};
        request.count = kBufferCount;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (v4l2Ioctl(*io, fd, VIDIOC_REQBUFS, &request) < 0)
            return fail("no buffers for the stream");
        if (request.count == 0) {
            errno = ENOMEM;
            return fail("no buffers for the stream");
        }
        for (uint32_t index = 0; index < request.count; ++index) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = index;
            if (v4l2Ioctl(*io, fd, VIDIOC_QUERYBUF, &buffer) < 0)
                return fail("a buffer could not be found");
            void* address = io->map(buffer.length, fd, off_t(buffer.m.offset));
            if (address == MAP_FAILED) return fail("a buffer could not be mapped");
            buffers.push_back({address, buffer.length});
            if (v4l2Ioctl(*io, fd, VIDIOC_QBUF, &buffer) < 0)
                return fail("a buffer could not be queued");
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (v4l2Ioctl(*io, fd, VIDIOC_STREAMON, &type) < 0) return fail("the stream did not start");
        streamOn = true;
        reportedFrameError = false;
        lastSign = SteadyClock::now();
        return true;
    }

    void stopStream() {
        if (fd >= 0 && (streamOn || !buffers.empty())) {
            int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            v4l2Ioctl(*io, fd, VIDIOC_STREAMOFF, &type);
        }
        for (Mapped& buffer : buffers) io->unmap(buffer.address, buffer.length);
        const bool hadBuffers = !buffers.empty();
        buffers.clear();
        if (fd >= 0 && hadBuffers) {
            v4l2_requestbuffers none{};
            none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            none.memory = V4L2_MEMORY_MMAP;
            v4l2Ioctl(*io, fd, VIDIOC_REQBUFS, &none);
        }
        streamOn = false;
        requested = {};
    }

    // Waits up to one poll for a frame and hands it to `use`. False when the stream ended.
    template <typename Use>
    bool nextFrame(Use&& use) {
        pollfd p{fd, POLLIN, 0};
        const int ready = io->poll(&p, 1, kPollMilliseconds);
        if (ready < 0) return errno == EINTR;
        if (ready == 0) return true;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            wentAway("an error on its node");
            return false;
        }
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (v4l2Ioctl(*io, fd, VIDIOC_DQBUF, &buffer) < 0) {
            const int number = errno;
            if (number == EAGAIN || number == EIO) return true;
            wentAway(std::strerror(number));
            return false;
        }
        lastSign = SteadyClock::now();
        if (buffer.index < buffers.size() && !(buffer.flags & V4L2_BUF_FLAG_ERROR)) {
            CameraFrame frame;
            frame.format = actual.pixelFormat;
            frame.width = actual.size.width;
            frame.height = actual.size.height;
            frame.data = static_cast<const uint8_t*>(buffers[buffer.index].address);
            frame.size = std::min<size_t>(buffer.bytesused, buffers[buffer.index].length);
            frame.stride = frame.format == CameraPixelFormat::MJPEG ? 0 : bytesPerLine;
            use(frame);
        }
        if (v4l2Ioctl(*io, fd, VIDIOC_QBUF, &buffer) < 0) {
            const int number = errno;
            wentAway(std::string("a buffer could not be queued again: ") + std::strerror(number));
            return false;
        }
        return true;
    }

    // After a silence, whether the node still opens; a camera whose node is gone went away.
    void lookForNode() {
        if (!streamOn || SteadyClock::now() - lastSign < kSilence) return;
        lastSign = SteadyClock::now();
        std::string path;
        {
            std::lock_guard lock(mutex);
            path = camera.path;
        }
        const int probe = io->open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) {
            const int number = errno;
            if (meansGone(number))
                wentAway(std::string("no frames, and its node: ") + std::strerror(number));
            return;
        }
        // A node that opens but no longer answers as a camera is gone as well.
        v4l2_capability capability{};
        const bool answers = v4l2Ioctl(*io, probe, VIDIOC_QUERYCAP, &capability) == 0;
        io->close(probe);
        if (!answers) wentAway("no frames, and its node no longer answers");
    }

    void reportFrameError(const std::string& error) {
        if (reportedFrameError) return;
        reportedFrameError = true;
        log("a frame was dropped: " + error);
    }

    void deliver(const CameraFrame& frame) {
        PixelBufferPoolRef pool;
        CaptureVideoOrientation orientation;
        double zoom = 1;
        uint64_t current = 0;
        {
            std::lock_guard lock(mutex);
            if (!streaming || delivering) return;
            pool = configuration.pool;
            orientation = configuration.orientation;
            zoom = camera.zoomAbsolute ? 1 : settings.videoZoomFactor;
            current = generation;
            delivering = true;
        }
        gpu::PixelBufferRef buffer = pool->acquire();
        std::string error;
        if (buffer && !convertFrame(frame, orientation, *buffer, &error, zoom)) {
            reportFrameError(error);
            std::lock_guard lock(mutex);
            delivering = false;
            return;
        }
        const double time = Clock::now();
        frameQueue->async([weak = weak_from_this(), current, buffer, time] {
            auto self = weak.lock();
            if (!self) return;
            FrameHandler handler;
            {
                std::lock_guard lock(self->mutex);
                self->delivering = false;
                if (!self->streaming || current != self->generation) return;
                handler = self->handler;
            }
            handler(buffer, time);
        });
    }

    // ---- stills

    StillResult takeStill(const StillRequest& request) {
        StillResult result;
        result.timestamp = Clock::now();
        VideoDimensions target;
        double zoom = 1;
        {
            std::lock_guard lock(mutex);
            if (gone) {
                result.error =
                    CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."};
                return result;
            }
            target = settings.activeFormat;
            zoom = camera.zoomAbsolute ? 1 : settings.videoZoomFactor;
        }
        const V4l2Format* format = chooseV4l2StillFormat(camera, target);
        CaptureError openError;
        if (!format || !openDevice(&openError)) {
            result.error =
                format ? openError : CaptureError{AVErrorUnknown, "The camera offers no format."};
            return result;
        }
        // The running stream serves when it already has the still's size; otherwise the camera
        // is set to the still's layout for a few frames.
        const bool fromStream = streamOn && requested.size == format->size;
        std::string why = "the camera sent no picture";
        if (!fromStream && !startStream(*format, &why)) {
            result.error =
                isGone() ? CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."}
                         : CaptureError{AVErrorUnknown,
                                        "The camera cannot take the "
                                        "photo: " +
                                            why + "."};
            return result;
        }
        gpu::PixelBufferRef picture;
        std::string error;
        int settle = fromStream ? 0 : kStillSettleFrames;
        const auto deadline = SteadyClock::now() + kStillPatience;
        bool finished = false;
        while (!finished && SteadyClock::now() < deadline) {
            const bool going = nextFrame([&](const CameraFrame& frame) {
                if (settle-- > 0) return;
                finished = true;
                if (gpu::PixelBuffer::create(size_t(frame.width), size_t(frame.height),
                                             gpu::PixelFormatType32BGRA, {true, true, true},
                                             &picture) != gpu::VideoStatusSuccess)
                    error = "No memory for the photo.";
                else if (!convertFrame(frame, AVCaptureVideoOrientationLandscapeRight, *picture,
                                       &error, zoom))
                    picture.reset();
            });
            if (!going) break;
        }
        if (!fromStream) stopStream();
        if (isGone()) {
            result.error = CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."};
            return result;
        }
        if (!picture) {
            result.error = CaptureError{
                AVErrorUnknown, finished ? "The camera's picture could not be read: " + error
                                         : "The camera sent no picture for the "
                                           "photo."};
            return result;
        }
        result.pixelBuffer = picture;
        result.metadata = realCameraStillMetadata(
            capabilities, request,
            VideoDimensions{int32_t(picture->width()), int32_t(picture->height())}, zoom);
        return result;
    }

    void finishStill(StillHandler handler, StillResult result) {
        stillQueue->async([handler = std::move(handler), result = std::move(result)]() mutable {
            handler(std::move(result));
        });
    }

    // ---- the thread

    void run() {
        for (;;) {
            bool previewing = false, stillWaiting = false, changes = false;
            VideoDimensions wanted;
            std::optional<std::pair<StillRequest, StillHandler>> still;
            {
                std::unique_lock lock(mutex);
                if (quit) break;
                if (gone) {
                    // Nothing to do until the camera is back; photos asked for meanwhile fail.
                    std::deque<std::pair<StillRequest, StillHandler>> failed;
                    failed.swap(stills);
                    lock.unlock();
                    closeDevice();
                    for (auto& [request, handler] : failed) {
                        StillResult result;
                        result.timestamp = Clock::now();
                        result.error =
                            CaptureError{AVErrorDeviceNotConnected, "The camera is not connected."};
                        finishStill(std::move(handler), std::move(result));
                    }
                    lock.lock();
                    wasPreviewing = false;
                    wake.wait_for(lock, kIdleWait,
                                  [&] { return quit || !gone || !stills.empty(); });
                    continue;
                }
                if (retryNow) {
                    retryNow = false;
                    retryAt = {};
                }
                previewing = streaming;
                if (previewing) {
                    wanted = configuration.dimensions;
                    if (configuration.orientation == AVCaptureVideoOrientationPortrait ||
                        configuration.orientation == AVCaptureVideoOrientationPortraitUpsideDown)
                        std::swap(wanted.width, wanted.height);
                }
                if (!stills.empty()) {
                    still = std::move(stills.front());
                    stills.pop_front();
                }
                stillWaiting = still.has_value();
                changes = !pendingChanges.empty();
            }

            if (still) {
                StillResult result = takeStill(still->first);
                finishStill(std::move(still->second), std::move(result));
                continue;
            }
            (void)stillWaiting;

            const auto now = SteadyClock::now();
            if (previewing) {
                wasPreviewing = true;
                const V4l2Format* format = chooseV4l2PreviewFormat(camera, wanted);
                const bool right = streamOn && format && requested.fourcc == format->fourcc &&
                                   requested.size == format->size;
                if (format && !right && now >= retryAt) {
                    CaptureError error;
                    std::string why;
                    if (!openDevice(&error)) {
                        why = error.localizedDescription;
                    } else if (startStream(*format, &why)) {
                        reportedStartError = false;
                    }
                    if (!streamOn && !isGone()) {
                        if (!reportedStartError) log("the preview cannot start: " + why);
                        reportedStartError = true;
                        retryAt = now + kRetry;
                        closeDevice();
                    }
                }
            } else {
                if (wasPreviewing) lingerUntil = now + kLinger;
                wasPreviewing = false;
                if (fd >= 0 && (!streamOn || now >= lingerUntil)) closeDevice();
            }
            if (changes) applyControls();

            if (streamOn) {
                nextFrame([&](const CameraFrame& frame) {
                    if (previewing) deliver(frame);
                });
                lookForNode();
            } else {
                std::unique_lock lock(mutex);
                wake.wait_for(lock, kIdleWait, [&] {
                    return quit || streaming != previewing || !stills.empty() ||
                           !pendingChanges.empty() || retryNow;
                });
            }
        }
        closeDevice();
        std::deque<std::pair<StillRequest, StillHandler>> left;
        {
            std::lock_guard lock(mutex);
            left.swap(stills);
        }
        for (auto& [request, handler] : left) {
            StillResult result;
            result.error = CaptureError{AVErrorDeviceNotConnected, "The camera was closed."};
            finishStill(std::move(handler), std::move(result));
        }
    }
};

V4l2CameraDriver::V4l2CameraDriver(std::shared_ptr<V4l2Io> io, V4l2Camera camera)
    : state_(std::make_shared<State>()) {
    State& s = *state_;
    s.io = std::move(io);
    s.camera = std::move(camera);
    s.capabilities = v4l2Capabilities(s.camera);
    for (const VideoDimensions& size : s.capabilities.formats)
        if (int64_t{size.width} * size.height >
            int64_t{s.settings.activeFormat.width} * s.settings.activeFormat.height)
            s.settings.activeFormat = size;
    // The thread holds the state only while it runs; the driver's end stops it.
    s.thread = std::thread([state = state_.get()] { state->run(); });
}

V4l2CameraDriver::~V4l2CameraDriver() {
    stopStreaming();
    {
        std::lock_guard lock(state_->mutex);
        state_->quit = true;
    }
    state_->wake.notify_all();
    if (state_->thread.joinable()) state_->thread.join();
    state_->stillQueue->sync([] {});
    state_->frameQueue->sync([] {});
}

const CaptureDeviceCapabilities& V4l2CameraDriver::capabilities() const {
    return state_->capabilities;
}

void V4l2CameraDriver::attach(std::shared_ptr<DispatchQueue> deviceQueue,
                              std::weak_ptr<CameraDriverListener> listener) {
    state_->device.attach(std::move(deviceQueue), std::move(listener));
}

bool V4l2CameraDriver::acquireConfigurationLock(CaptureError* error) {
    if (!isGone()) return true;
    if (error) *error = {AVErrorDeviceNotConnected, "The camera is not connected."};
    return false;
}

void V4l2CameraDriver::settingsChanged(const CaptureDeviceSettings& settings,
                                       SettingsChange change) {
    {
        std::lock_guard lock(state_->mutex);
        state_->settings = settings;
        state_->pendingChanges.insert(change);
    }
    state_->wake.notify_all();
}

void V4l2CameraDriver::startStreaming(const StreamConfiguration& configuration,
                                      FrameHandler handler) {
    stopStreaming();
    if (!configuration.pool || !handler) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->streaming = true;
        state_->configuration = configuration;
        state_->handler = std::move(handler);
        state_->delivering = false;
        state_->retryNow = true;
        ++state_->generation;
    }
    state_->wake.notify_all();
}

void V4l2CameraDriver::stopStreaming() {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->streaming) return;
        state_->streaming = false;
        ++state_->generation;
    }
    state_->wake.notify_all();
    // A frame being handed over finishes before this returns.
    state_->frameQueue->sync([] {});
    std::lock_guard lock(state_->mutex);
    state_->handler = nullptr;
}

void V4l2CameraDriver::captureStill(const StillRequest& request, StillHandler handler) {
    // The photo is on its way from the camera's thread: a run loop on the manual clock waits
    // for it instead of moving on.
    auto pending = std::make_shared<RunLoop::PendingWork>();
    {
        std::lock_guard lock(state_->mutex);
        state_->stills.emplace_back(request,
                                    [handler = std::move(handler), pending](StillResult result) {
                                        handler(std::move(result));
                                    });
    }
    state_->wake.notify_all();
}

bool V4l2CameraDriver::isGone() const {
    return state_->isGone();
}

bool V4l2CameraDriver::isConnected() const {
    return !isGone();
}

void V4l2CameraDriver::markGone() {
    if (state_->markGone("its node is gone")) state_->device.tellConnection(false);
    state_->wake.notify_all();
}

void V4l2CameraDriver::reconnected(const V4l2Camera& camera) {
    bool wasGone = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->camera.path = camera.path;
        wasGone = state_->gone;
        state_->gone = false;
        state_->retryNow = true;
    }
    if (wasGone) state_->device.tellConnection(true);
    state_->wake.notify_all();
}

}  // namespace hx::capture
