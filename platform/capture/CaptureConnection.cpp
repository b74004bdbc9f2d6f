#include "platform/capture/CaptureConnection.h"

#include "platform/log/Log.h"

namespace hx::capture {

CaptureDeviceRef CaptureConnection::videoDevice() const {
    for (const CaptureInputPortRef& port : ports_) {
        if (port->mediaType() != AVMediaTypeVideo) continue;
        if (auto* input = dynamic_cast<CaptureDeviceInput*>(port->input())) return input->device();
    }
    return nullptr;
}

void CaptureConnection::setEnabled(bool enabled) {
    if (enabled_.exchange(enabled) != enabled) changed();
}

bool CaptureConnection::isActive() const {
    if (!enabled_) return false;
    for (const CaptureInputPortRef& port : ports_)
        if (port->isEnabled()) return true;
    return false;
}

void CaptureConnection::setVideoOrientation(CaptureVideoOrientation orientation) {
    if (orientation < AVCaptureVideoOrientationPortrait ||
        orientation > AVCaptureVideoOrientationLandscapeLeft) {
        hxLog("setVideoOrientation: %d is not a video orientation", static_cast<int>(orientation));
        return;
    }
    if (orientation_.exchange(orientation) != orientation) changed();
}

void CaptureConnection::setChangeHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    changeHandler_ = std::move(handler);
}

void CaptureConnection::changed() {
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = changeHandler_;
    }
    if (handler) handler();
}

}  // namespace hx::capture
