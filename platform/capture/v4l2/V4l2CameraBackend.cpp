#include "platform/capture/v4l2/V4l2CameraBackend.h"

#include <algorithm>

#include "platform/capture/v4l2/V4l2CameraDriver.h"

namespace hx::capture {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

V4l2CameraBackend::V4l2CameraBackend(std::shared_ptr<V4l2Io> io) : io_(std::move(io)) {}

V4l2CameraBackend::~V4l2CameraBackend() = default;

std::shared_ptr<V4l2CameraBackend> V4l2CameraBackend::open(std::shared_ptr<V4l2Io> io) {
    std::shared_ptr<V4l2CameraBackend> backend(new V4l2CameraBackend(std::move(io)));
    std::lock_guard lock(backend->mutex_);
    backend->refreshLocked();
    return backend;
}

void V4l2CameraBackend::refreshLocked() {
    const std::vector<std::string> nodes = io_->nodes();
    bool anyGone = false;
    for (Entry& entry : entries_) {
        if (entry.present && entry.driver->isGone()) entry.present = false;
        if (!entry.present) anyGone = true;
    }
    if (scanned_ && nodes == nodes_ && !anyGone) return;
    scanned_ = true;
    nodes_ = nodes;
    std::erase_if(notCameras_, [&](const std::string& node) { return !contains(nodes, node); });

    // Cameras whose node is no longer listed have gone away.
    for (Entry& entry : entries_)
        if (entry.present && !contains(nodes, entry.camera.path)) {
            entry.present = false;
            entry.driver->markGone();
        }
    for (const std::string& node : nodes) {
        const bool known = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.present && e.camera.path == node;
        });
        if (known || contains(notCameras_, node)) continue;
        int errorNumber = 0;
        std::optional<V4l2Camera> camera = probeV4l2Camera(*io_, node, nullptr, &errorNumber);
        if (!camera) {
            // A camera busy elsewhere is looked at again next time; anything else is no camera.
            if (errorNumber != EBUSY) notCameras_.push_back(node);
            continue;
        }
        auto same = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.camera.uniqueID() == camera->uniqueID() && !e.present;
        });
        if (same != entries_.end()) {
            same->camera = *camera;
            same->present = true;
            same->driver->reconnected(*camera);
            continue;
        }
        auto driver = std::make_unique<V4l2CameraDriver>(io_, *camera);
        Entry entry;
        entry.camera = *camera;
        entry.driver = driver.get();
        entry.device = CaptureDevice::create(std::move(driver));
        entries_.push_back(std::move(entry));
    }
}

std::vector<CaptureDeviceRef> V4l2CameraBackend::devices() {
    std::lock_guard lock(mutex_);
    refreshLocked();
    std::vector<CaptureDeviceRef> out;
    for (const Entry& entry : entries_)
        if (entry.present) out.push_back(entry.device);
    return out;
}

std::vector<V4l2Camera> V4l2CameraBackend::cameras() {
    std::lock_guard lock(mutex_);
    refreshLocked();
    std::vector<V4l2Camera> out;
    for (const Entry& entry : entries_)
        if (entry.present) out.push_back(entry.camera);
    return out;
}

}  // namespace hx::capture
