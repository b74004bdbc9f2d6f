#pragma once

// Inputs of a capture session: a device input offers one video port made from its camera.
//
// Threads: immutable apart from a port's enabled flag; any thread may use them.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/capture/CaptureDevice.h"

namespace hx::capture {

class CaptureInput;

class CaptureInputPort {
  public:
    CaptureInputPort(CaptureInput* input, std::string mediaType)
        : input_(input), mediaType_(std::move(mediaType)) {}
    const std::string& mediaType() const { return mediaType_; }
    // The input that owns the port.
    CaptureInput* input() const { return input_; }
    bool isEnabled() const { return enabled_.load(); }
    void setEnabled(bool enabled) { enabled_ = enabled; }

  private:
    CaptureInput* input_;
    std::string mediaType_;
    std::atomic<bool> enabled_{true};
};
using CaptureInputPortRef = std::shared_ptr<CaptureInputPort>;

class CaptureInput {
  public:
    virtual ~CaptureInput() = default;
    const std::vector<CaptureInputPortRef>& ports() const { return ports_; }

  protected:
    std::vector<CaptureInputPortRef> ports_;
};
using CaptureInputRef = std::shared_ptr<CaptureInput>;

class CaptureDeviceInput : public CaptureInput {
  public:
    // Null, with the reason in error, without a device or when the user has refused the camera.
    static std::shared_ptr<CaptureDeviceInput> deviceInputWithDevice(const CaptureDeviceRef& device,
                                                                     CaptureError* error = nullptr);

    const CaptureDeviceRef& device() const { return device_; }

  private:
    explicit CaptureDeviceInput(CaptureDeviceRef device);
    CaptureDeviceRef device_;
};
using CaptureDeviceInputRef = std::shared_ptr<CaptureDeviceInput>;

}  // namespace hx::capture
