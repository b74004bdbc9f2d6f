#include "platform/capture/CapturePhotoOutput.h"

#include "platform/capture/CaptureSession.h"
#include "platform/log/Log.h"

namespace hx::capture {

std::shared_ptr<CapturePhotoOutput> CapturePhotoOutput::create() {
    return std::shared_ptr<CapturePhotoOutput>(new CapturePhotoOutput);
}

CaptureDeviceRef CapturePhotoOutput::connectedDevice() const {
    const CaptureConnectionRef connection = connectionWithMediaType(AVMediaTypeVideo);
    return connection && connection->isActive() ? connection->videoDevice() : nullptr;
}

void CapturePhotoOutput::fail(const CapturePhotoSettings& settings,
                              CapturePhotoCaptureDelegate* delegate, CaptureError error) {
    CaptureResolvedPhotoSettings resolved;
    resolved.uniqueID = settings.uniqueID();
    queue_->async([self = shared_from_this(), delegate, resolved, error] {
        auto photo =
            std::make_shared<const CapturePhoto>(nullptr, image::PropertyDictionary{}, 0, resolved);
        delegate->captureOutputDidFinishProcessingPhoto(*self, photo, error);
    });
}

void CapturePhotoOutput::capturePhotoWithSettings(const CapturePhotoSettingsRef& settings,
                                                  CapturePhotoCaptureDelegate* delegate) {
    if (!settings || !delegate) {
        hxLog("capturePhotoWithSettings needs settings and a delegate");
        return;
    }
    if (settings->pixelFormatType() != kCVPixelFormatType_32BGRA) {
        hxLog("capturePhotoWithSettings: pixel format 0x%08x is not offered",
              static_cast<unsigned>(settings->pixelFormatType()));
        fail(*settings, delegate, {AVErrorUnknown, "The photo format is not offered."});
        return;
    }
    const CaptureDeviceRef device = connectedDevice();
    if (!device) {
        fail(*settings, delegate, {AVErrorDeviceNotConnected, "No camera is connected."});
        return;
    }
    const std::shared_ptr<CaptureSession> owner = session();
    if (!owner || !owner->isRunning()) {
        fail(*settings, delegate,
             {AVErrorSessionNotRunning, "The capture session is not running."});
        return;
    }
    StillRequest request;
    request.flashMode = device->hasFlash() ? settings->flashMode() : AVCaptureFlashModeOff;
    request.orientation = connectionWithMediaType(AVMediaTypeVideo)->videoOrientation();
    const int64_t uniqueID = settings->uniqueID();
    device->driver().captureStill(request, [self = shared_from_this(), delegate,
                                            uniqueID](StillResult result) {
        CaptureResolvedPhotoSettings resolved;
        resolved.uniqueID = uniqueID;
        if (result.pixelBuffer)
            resolved.photoDimensions = {static_cast<int32_t>(result.pixelBuffer->width()),
                                        static_cast<int32_t>(result.pixelBuffer->height())};
        resolved.flashEnabled = result.flashFired;
        auto photo = std::make_shared<const CapturePhoto>(
            std::move(result.pixelBuffer), std::move(result.metadata), result.timestamp, resolved);
        self->queue_->async([self, delegate, photo, error = result.error] {
            delegate->captureOutputDidFinishProcessingPhoto(*self, photo, error);
        });
    });
}

CapturePhotoSettingsRef CapturePhotoOutput::photoSettingsForSceneMonitoring() const {
    std::lock_guard lock(mutex_);
    return sceneMonitoring_;
}

void CapturePhotoOutput::setPhotoSettingsForSceneMonitoring(CapturePhotoSettingsRef settings) {
    std::lock_guard lock(mutex_);
    sceneMonitoring_ = std::move(settings);
}

std::vector<CaptureFlashMode> CapturePhotoOutput::supportedFlashModes() const {
    const CaptureDeviceRef device = connectedDevice();
    if (device && device->hasFlash())
        return {AVCaptureFlashModeOff, AVCaptureFlashModeOn, AVCaptureFlashModeAuto};
    return {AVCaptureFlashModeOff};
}

bool CapturePhotoOutput::isFlashScene() const {
    const CaptureDeviceRef device = connectedDevice();
    return device && device->hasFlash() && device->driver().isDimScene();
}

std::vector<uint32_t> CapturePhotoOutput::availablePhotoPixelFormatTypes() const {
    return {kCVPixelFormatType_32BGRA};
}

bool CapturePhotoOutput::isHighResolutionCaptureEnabled() const {
    std::lock_guard lock(mutex_);
    return highResolution_;
}

void CapturePhotoOutput::setHighResolutionCaptureEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    highResolution_ = enabled;
}

}  // namespace hx::capture
