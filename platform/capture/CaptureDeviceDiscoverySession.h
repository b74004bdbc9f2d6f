#pragma once

// Finds the cameras of some types at a position. The devices come in the order of the types
// asked for, so asking for the triple, dual and dual-wide cameras in that order finds the
// triple camera first where there is one.
//
// Threads: any thread; the list is taken when the session is made.

#include <memory>
#include <string>
#include <vector>

#include "platform/capture/CaptureDevice.h"

namespace hx::capture {

class CaptureDeviceDiscoverySession {
  public:
    // Position unspecified finds cameras at any position; a media type other than video finds
    // none.
    static std::shared_ptr<CaptureDeviceDiscoverySession> discoverySessionWithDeviceTypes(
        const std::vector<std::string>& deviceTypes, const std::string& mediaType,
        CaptureDevicePosition position);

    const std::vector<CaptureDeviceRef>& devices() const { return devices_; }

  private:
    explicit CaptureDeviceDiscoverySession(std::vector<CaptureDeviceRef> devices)
        : devices_(std::move(devices)) {}
    std::vector<CaptureDeviceRef> devices_;
};

}  // namespace hx::capture
