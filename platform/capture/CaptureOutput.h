#pragma once

// What a capture session delivers to: frames (CaptureVideoDataOutput) or stills
// (CapturePhotoOutput). An output in a session with a camera has one connection to it.
//
// Threads: connections() and connectionWithMediaType() may be called from any thread.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture/CaptureConnection.h"

namespace hx::capture {

class CaptureSession;

class CaptureOutput {
  public:
    virtual ~CaptureOutput() = default;

    std::vector<CaptureConnectionRef> connections() const;
    // The connection with an input port of that media type; null when there is none.
    CaptureConnectionRef connectionWithMediaType(const std::string& mediaType) const;

  protected:
    friend class CaptureSession;

    // How a new connection of this output turns its frames.
    virtual CaptureVideoOrientation defaultVideoOrientation() const = 0;

    // Session bookkeeping, under the session's lock.
    void setSession(std::weak_ptr<CaptureSession> session);
    std::shared_ptr<CaptureSession> session() const;
    void setConnections(std::vector<CaptureConnectionRef> connections);

  private:
    mutable std::mutex mutex_;
    std::weak_ptr<CaptureSession> session_;
    std::vector<CaptureConnectionRef> connections_;
};
using CaptureOutputRef = std::shared_ptr<CaptureOutput>;

}  // namespace hx::capture
