#include "platform/capture/CaptureSession.h"

#include <algorithm>
#include <cmath>

#include "platform/capture/CapturePhotoOutput.h"
#include "platform/capture/CaptureVideoDataOutput.h"
#include "platform/log/Log.h"
#include "platform/runloop/NotificationCenter.h"

namespace hx::capture {

namespace {

constexpr double kFrameDuration = 1.0 / 30;
constexpr int kPhotoPresetWidth = 1440;

struct FixedPreset {
    const char* name;
    VideoDimensions dimensions;
};
constexpr FixedPreset kFixedPresets[] = {
    {AVCaptureSessionPresetHigh, {1920, 1080}},    {AVCaptureSessionPreset1920x1080, {1920, 1080}},
    {AVCaptureSessionPreset1280x720, {1280, 720}}, {AVCaptureSessionPreset640x480, {640, 480}},
    {AVCaptureSessionPresetMedium, {480, 360}},    {AVCaptureSessionPresetLow, {192, 144}},
};

const FixedPreset* fixedPreset(const std::string& name) {
    for (const FixedPreset& preset : kFixedPresets)
        if (name == preset.name) return &preset;
    return nullptr;
}

bool isKnownPreset(const std::string& name) {
    return fixedPreset(name) || name == AVCaptureSessionPresetPhoto ||
           name == AVCaptureSessionPresetInputPriority;
}

CaptureDeviceInput* deviceInput(const CaptureInputRef& input) {
    return dynamic_cast<CaptureDeviceInput*>(input.get());
}

bool sameKind(const CaptureOutputRef& a, const CaptureOutputRef& b) {
    return (dynamic_cast<CaptureVideoDataOutput*>(a.get()) != nullptr) ==
           (dynamic_cast<CaptureVideoDataOutput*>(b.get()) != nullptr);
}

}  // namespace

std::shared_ptr<CaptureSession> CaptureSession::create() {
    std::shared_ptr<CaptureSession> session(new CaptureSession);
    session->observeDevices();
    return session;
}

void CaptureSession::observeDevices() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    // Delivered on the device queue that posts them; only the session's own camera matters.
    auto observe = [&](const char* name, bool connected) {
        return center.addObserverForName(
            name, nullptr, nullptr,
            [weak = weak_from_this(), connected](const Notification& notification) {
                if (auto self = weak.lock())
                    self->deviceConnectionChanged(
                        static_cast<const CaptureDevice*>(notification.object), connected);
            });
    };
    disconnectedToken_ = observe(AVCaptureDeviceWasDisconnectedNotification, false);
    connectedToken_ = observe(AVCaptureDeviceWasConnectedNotification, true);
}

void CaptureSession::deviceConnectionChanged(const CaptureDevice* device, bool connected) {
    if (!device) return;
    {
        std::lock_guard lock(mutex_);
        const CaptureDeviceRef current = deviceLocked();
        if (current.get() != device || interrupted_ == !connected) return;
        interrupted_ = !connected;
        if (connected)
            applyLocked();
        else
            stopStreamLocked();
    }
    if (connected) {
        NotificationCenter::defaultCenter().postNotificationName(
            AVCaptureSessionInterruptionEndedNotification, this);
    } else {
        hxLog("capture session interrupted: its camera is not available");
        NotificationCenter::defaultCenter().postNotificationName(
            AVCaptureSessionWasInterruptedNotification, this,
            {{AVCaptureSessionInterruptionReasonKey,
              double(AVCaptureSessionInterruptionReasonVideoDeviceNotAvailable)}});
    }
}

CaptureSession::~CaptureSession() {
    NotificationCenter::defaultCenter().removeObserver(disconnectedToken_);
    NotificationCenter::defaultCenter().removeObserver(connectedToken_);
    std::lock_guard lock(mutex_);
    stopStreamLocked();
    for (const CaptureOutputRef& output : outputs_) {
        output->setConnections({});
        output->setSession({});
    }
}

VideoDimensions CaptureSession::videoDimensionsForPreset(const std::string& preset,
                                                         VideoDimensions format) {
    const int longSide = std::max(format.width, format.height);
    const int shortSide = std::min(format.width, format.height);
    VideoDimensions frame{longSide, shortSide};
    if (preset == AVCaptureSessionPresetPhoto) {
        if (longSide > kPhotoPresetWidth) {
            const double across = double(kPhotoPresetWidth) * shortSide / longSide;
            frame = {kPhotoPresetWidth, static_cast<int32_t>(std::lround(across / 2) * 2)};
        }
    } else if (const FixedPreset* fixed = fixedPreset(preset)) {
        if (fixed->dimensions.width <= longSide && fixed->dimensions.height <= shortSide)
            frame = fixed->dimensions;
    }
    return frame;
}

void CaptureSession::beginConfiguration() {
    std::lock_guard lock(mutex_);
    ++configurationDepth_;
}

void CaptureSession::commitConfiguration() {
    std::lock_guard lock(mutex_);
    if (configurationDepth_ == 0) {
        hxLog("commitConfiguration without beginConfiguration");
        return;
    }
    if (--configurationDepth_ == 0) applyLocked();
}

bool CaptureSession::canAddInput(const CaptureInputRef& input) const {
    if (!input) return false;
    std::lock_guard lock(mutex_);
    if (std::find(inputs_.begin(), inputs_.end(), input) != inputs_.end()) return false;
    // One camera at a time.
    if (deviceInput(input))
        for (const CaptureInputRef& existing : inputs_)
            if (deviceInput(existing)) return false;
    return true;
}

void CaptureSession::addInput(const CaptureInputRef& input) {
    if (!canAddInput(input)) {
        hxLog("addInput: the session cannot take this input");
        return;
    }
    std::lock_guard lock(mutex_);
    inputs_.push_back(input);
    connectLocked();
    applyLocked();
}

void CaptureSession::removeInput(const CaptureInputRef& input) {
    std::lock_guard lock(mutex_);
    auto found = std::find(inputs_.begin(), inputs_.end(), input);
    if (found == inputs_.end()) return;
    inputs_.erase(found);
    if (!deviceLocked()) interrupted_ = false;
    connectLocked();
    applyLocked();
}

std::vector<CaptureInputRef> CaptureSession::inputs() const {
    std::lock_guard lock(mutex_);
    return inputs_;
}

bool CaptureSession::canAddOutput(const CaptureOutputRef& output) const {
    if (!output) return false;
    if (auto owner = output->session(); owner && owner.get() != this) return false;
    std::lock_guard lock(mutex_);
    for (const CaptureOutputRef& existing : outputs_)
        if (existing == output || sameKind(existing, output)) return false;
    return true;
}

void CaptureSession::addOutput(const CaptureOutputRef& output) {
    if (!canAddOutput(output)) {
        hxLog("addOutput: the session cannot take this output");
        return;
    }
    std::lock_guard lock(mutex_);
    outputs_.push_back(output);
    output->setSession(weak_from_this());
    connectLocked();
    applyLocked();
}

void CaptureSession::removeOutput(const CaptureOutputRef& output) {
    std::lock_guard lock(mutex_);
    auto found = std::find(outputs_.begin(), outputs_.end(), output);
    if (found == outputs_.end()) return;
    outputs_.erase(found);
    output->setConnections({});
    output->setSession({});
    applyLocked();
}

std::vector<CaptureOutputRef> CaptureSession::outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

bool CaptureSession::canSetSessionPreset(const std::string& preset) const {
    if (!isKnownPreset(preset)) return false;
    std::lock_guard lock(mutex_);
    const CaptureDeviceRef device = deviceLocked();
    const FixedPreset* fixed = fixedPreset(preset);
    if (!device || !fixed) return true;
    const VideoDimensions largest = device->largestFormat()->videoDimensions();
    return std::max(largest.width, largest.height) >= fixed->dimensions.width &&
           std::min(largest.width, largest.height) >= fixed->dimensions.height;
}

void CaptureSession::setSessionPreset(const std::string& preset) {
    if (!canSetSessionPreset(preset)) {
        hxLog("setSessionPreset: %s cannot be used with this camera", preset.c_str());
        return;
    }
    std::lock_guard lock(mutex_);
    preset_ = preset;
    applyLocked();
}

std::string CaptureSession::sessionPreset() const {
    std::lock_guard lock(mutex_);
    return preset_;
}

void CaptureSession::startRunning() {
    std::lock_guard lock(mutex_);
    running_ = true;
    applyLocked();
}

void CaptureSession::stopRunning() {
    std::lock_guard lock(mutex_);
    running_ = false;
    applyLocked();
}

bool CaptureSession::isRunning() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool CaptureSession::isInterrupted() const {
    std::lock_guard lock(mutex_);
    return interrupted_;
}

CaptureDeviceRef CaptureSession::deviceLocked() const {
    for (const CaptureInputRef& input : inputs_)
        if (auto* camera = deviceInput(input)) return camera->device();
    return nullptr;
}

std::shared_ptr<CaptureVideoDataOutput> CaptureSession::videoOutputLocked() const {
    for (const CaptureOutputRef& output : outputs_)
        if (auto video = std::dynamic_pointer_cast<CaptureVideoDataOutput>(output)) return video;
    return nullptr;
}

void CaptureSession::connectLocked() {
    CaptureInputRef camera;
    for (const CaptureInputRef& input : inputs_)
        if (deviceInput(input)) camera = input;
    for (const CaptureOutputRef& output : outputs_) {
        const std::vector<CaptureConnectionRef> existing = output->connections();
        const bool stillConnected = !existing.empty() && camera &&
                                    existing.front()->inputPorts().front()->input() == camera.get();
        if (stillConnected) continue;
        if (!camera) {
            output->setConnections({});
            continue;
        }
        auto connection = std::make_shared<CaptureConnection>(camera->ports(), output.get(),
                                                              output->defaultVideoOrientation());
        if (std::dynamic_pointer_cast<CaptureVideoDataOutput>(output))
            connection->setChangeHandler([weak = weak_from_this()] {
                if (auto self = weak.lock()) self->connectionChanged();
            });
        output->setConnections({connection});
    }
}

void CaptureSession::connectionChanged() {
    std::lock_guard lock(mutex_);
    applyLocked();
}

void CaptureSession::stopStreamLocked() {
    if (streamingDevice_) streamingDevice_->driver().stopStreaming();
    streamingDevice_.reset();
    stream_ = {};
}

void CaptureSession::applyLocked() {
    if (configurationDepth_ > 0) return;
    const CaptureDeviceRef device = deviceLocked();
    if (device && preset_ == AVCaptureSessionPresetPhoto)
        device->applyActiveFormat(device->largestFormat());

    const std::shared_ptr<CaptureVideoDataOutput> video = videoOutputLocked();
    const CaptureConnectionRef connection =
        video ? video->connectionWithMediaType(AVMediaTypeVideo) : nullptr;
    if (!running_ || !device || !device->isConnected() || !connection || !connection->isActive()) {
        stopStreamLocked();
        return;
    }
    const VideoDimensions sensor =
        videoDimensionsForPreset(preset_, device->activeFormat()->videoDimensions());
    const CaptureVideoOrientation orientation = connection->videoOrientation();
    const bool upright = orientation == AVCaptureVideoOrientationPortrait ||
                         orientation == AVCaptureVideoOrientationPortraitUpsideDown;
    StreamKey wanted{device.get(), video.get(),
                     upright ? VideoDimensions{sensor.height, sensor.width} : sensor, orientation};
    if (streamingDevice_ && wanted == stream_) return;

    stopStreamLocked();
    StreamConfiguration configuration;
    configuration.dimensions = wanted.dimensions;
    configuration.orientation = orientation;
    configuration.frameDuration = kFrameDuration;
    configuration.pool = video->poolFor(wanted.dimensions);
    if (!configuration.pool) {
        hxLog("CVPixelBufferPoolCreate failed for %dx%d frames", wanted.dimensions.width,
              wanted.dimensions.height);
        return;
    }
    std::weak_ptr<CaptureVideoDataOutput> weakVideo = video;
    device->driver().startStreaming(
        configuration, [weakVideo, connection](gpu::PixelBufferRef buffer, double time) {
            if (auto output = weakVideo.lock())
                output->deliverFrame(std::move(buffer), time, connection);
        });
    streamingDevice_ = device;
    stream_ = wanted;
}

}  // namespace hx::capture
