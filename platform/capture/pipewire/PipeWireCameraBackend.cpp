#include "platform/capture/pipewire/PipeWireCameraBackend.h"

#include <map>
#include <mutex>

#include <unistd.h>

#include "platform/capture/pipewire/CameraPortal.h"
#include "platform/capture/pipewire/PipeWireCameraDriver.h"
#include "platform/capture/pipewire/PipeWireConnection.h"
#include "platform/log/Log.h"
#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/NotificationCenter.h"

namespace hx::capture {

// The devices made so far, by node name, so that a camera keeps its device while it stays and
// gets it back when it returns.
struct PipeWireCameraBackend::Devices {
    std::mutex mutex;
    std::map<std::string, CaptureDeviceRef> byName;
    int arrivalToken = 0;
};

PipeWireCameraBackend::PipeWireCameraBackend(std::shared_ptr<PipeWireConnection> connection)
    : connection_(std::move(connection)), devices_(std::make_shared<Devices>()) {
    if (!connection_) return;
    // A camera never offered before is announced once the daemon has told its formats, so that
    // whoever hears of it finds it among devices(). A camera that returns announces itself
    // through its device.
    PipeWireConnection::Lock lock(*connection_);
    devices_->arrivalToken = connection_->observeArrivals(
        [weakConnection = std::weak_ptr<PipeWireConnection>(connection_),
         weakDevices = std::weak_ptr<Devices>(devices_)](const std::string& name) {
            DispatchQueue::global().async([weakConnection, weakDevices, name] {
                auto connection = weakConnection.lock();
                auto devices = weakDevices.lock();
                if (!connection || !devices) return;
                connection->synchronise();
                {
                    std::lock_guard lock(devices->mutex);
                    if (devices->byName.count(name)) return;
                }
                NotificationCenter::defaultCenter().postNotificationName(
                    AVCaptureDeviceWasConnectedNotification, nullptr);
            });
        });
}

PipeWireCameraBackend::~PipeWireCameraBackend() {
    if (!connection_) return;
    PipeWireConnection::Lock lock(*connection_);
    connection_->stopObservingArrivals(devices_->arrivalToken);
}

std::shared_ptr<PipeWireCameraBackend> PipeWireCameraBackend::connect(std::string* error) {
    int remote = -1;
    if (CameraPortal::inSandbox()) {
        // Inside a sandbox the daemon is reached only through the remote the portal opens.
        CameraPortal::Access access = CameraPortal::requestAccess();
        if (access.status != AVAuthorizationStatusAuthorized || access.pipeWireFd < 0) {
            if (access.pipeWireFd >= 0) ::close(access.pipeWireFd);
            hxLog("PipeWire: %s; no camera is offered", access.error.c_str());
            return std::shared_ptr<PipeWireCameraBackend>(new PipeWireCameraBackend(nullptr));
        }
        if (!access.cameraPresent) hxLog("PipeWire: the desktop portal reports no camera");
        remote = access.pipeWireFd;
    }
    auto connection = PipeWireConnection::open(error, remote);
    if (!connection) return nullptr;
    return std::shared_ptr<PipeWireCameraBackend>(new PipeWireCameraBackend(connection));
}

std::vector<PipeWireCamera> PipeWireCameraBackend::cameras() const {
    return connection_ ? connection_->cameras() : std::vector<PipeWireCamera>{};
}

void PipeWireCameraBackend::synchronise() const {
    if (connection_) connection_->synchronise();
}

std::vector<CaptureDeviceRef> PipeWireCameraBackend::devices() {
    std::vector<CaptureDeviceRef> out;
    if (!connection_) return out;
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
