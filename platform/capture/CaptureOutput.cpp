#include "platform/capture/CaptureOutput.h"

namespace hx::capture {

std::vector<CaptureConnectionRef> CaptureOutput::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

CaptureConnectionRef CaptureOutput::connectionWithMediaType(const std::string& mediaType) const {
    for (const CaptureConnectionRef& connection : connections())
        for (const CaptureInputPortRef& port : connection->inputPorts())
            if (port->mediaType() == mediaType) return connection;
    return nullptr;
}

void CaptureOutput::setSession(std::weak_ptr<CaptureSession> session) {
    std::lock_guard lock(mutex_);
    session_ = std::move(session);
}

std::shared_ptr<CaptureSession> CaptureOutput::session() const {
    std::lock_guard lock(mutex_);
    return session_.lock();
}

void CaptureOutput::setConnections(std::vector<CaptureConnectionRef> connections) {
    std::lock_guard lock(mutex_);
    connections_ = std::move(connections);
}

}  // namespace hx::capture
