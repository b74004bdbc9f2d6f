#include "platform/capture/pipewire/PipeWireCameraBackend.h"

#include <map>
#include <mutex>

#include "platform/capture/pipewire/PipeWireCameraDriver.h"
#include "platform/capture/pipewire/PipeWireConnection.h"

namespace hx::capture {

// The devices made so far, by node name, so that a camera keeps its device while it stays and
// gets it back when it returns.
struct PipeWireCameraBackend::Devices {
    std::mutex mutex;
    std::map<std::string, CaptureDeviceRef> byName;
};

PipeWireCameraBackend::PipeWireCameraBackend(std::shared_ptr<PipeWireConnection> connection)
    : connection_(std::move(connection)), devices_(std::make_unique<Devices>()) {}

PipeWireCameraBackend::~PipeWireCameraBackend() = default;

std::shared_ptr<PipeWireCameraBackend> PipeWireCameraBackend::connect(std::string* error) {
    auto connection = PipeWireConnection::open(error);
    if (!connection) return nullptr;
    return std::shared_ptr<PipeWireCameraBackend>(new PipeWireCameraBackend(connection));
}

std::vector<PipeWireCamera> PipeWireCameraBackend::cameras() const {
    return connection_->cameras();
}

void PipeWireCameraBackend::synchronise() const {
    connection_->synchronise();
}

std::vector<CaptureDeviceRef> PipeWireCameraBackend::devices() {
    std::vector<CaptureDeviceRef> out;
    std::lock_guard lock(devices_->mutex);
    for (const PipeWireCamera& camera : connection_->cameras()) {
        // A node that has not told its formats yet cannot stream; it is offered once it has.
        if (camera.formats.empty()) continue;
        CaptureDeviceRef& device = devices_->byName[camera.name];
        if (!device)
            device =
                CaptureDevice::create(std::make_unique<PipeWireCameraDriver>(connection_, camera));
        out.push_back(device);
    }
    return out;
}

}  // namespace hx::capture
