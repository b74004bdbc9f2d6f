#include "platform/capture/CaptureInput.h"

#include "platform/capture/CaptureAuthorization.h"

namespace hx::capture {

CaptureDeviceInput::CaptureDeviceInput(CaptureDeviceRef device) : device_(std::move(device)) {
    ports_.push_back(std::make_shared<CaptureInputPort>(this, AVMediaTypeVideo));
}

std::shared_ptr<CaptureDeviceInput> CaptureDeviceInput::deviceInputWithDevice(
    const CaptureDeviceRef& device, CaptureError* error) {
    if (!device) {
        if (error) *error = {AVErrorDeviceNotConnected, "There is no camera."};
        return nullptr;
    }
    const CaptureAuthorizationStatus status = CaptureAuthorization::current(AVMediaTypeVideo);
    if (status == AVAuthorizationStatusDenied || status == AVAuthorizationStatusRestricted) {
        if (error)
            *error = {AVErrorApplicationIsNotAuthorizedToUseDevice,
                      "The camera may not be used: permission was refused."};
        return nullptr;
    }
    return std::shared_ptr<CaptureDeviceInput>(new CaptureDeviceInput(device));
}

}  // namespace hx::capture
