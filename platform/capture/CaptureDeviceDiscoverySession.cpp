#include "platform/capture/CaptureDeviceDiscoverySession.h"

#include "platform/capture/CameraBackend.h"

namespace hx::capture {

std::shared_ptr<CaptureDeviceDiscoverySession>
CaptureDeviceDiscoverySession::discoverySessionWithDeviceTypes(
    const std::vector<std::string>& deviceTypes, const std::string& mediaType,
    CaptureDevicePosition position) {
    std::vector<CaptureDeviceRef> found;
    if (mediaType == AVMediaTypeVideo) {
        const std::vector<CaptureDeviceRef> all = CameraBackend::current()->devices();
        for (const std::string& type : deviceTypes)
            for (const CaptureDeviceRef& device : all)
                if (device->deviceType() == type &&
                    (position == AVCaptureDevicePositionUnspecified ||
                     device->position() == position))
                    found.push_back(device);
    }
    return std::shared_ptr<CaptureDeviceDiscoverySession>(
        new CaptureDeviceDiscoverySession(std::move(found)));
}

}  // namespace hx::capture
