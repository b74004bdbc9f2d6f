#pragma once
// The way back from a camera driver to its device: the device's queue and the device itself, as
// CameraDriver::attach() hands them over. A driver tells its device everything through it, on
// the device's queue; what is told after the device has gone is dropped.
//
// Threads: every member may be called from any thread.

#include <functional>
#include <memory>
#include <mutex>

#include "platform/capture/CameraDriver.h"
#include "platform/runloop/DispatchQueue.h"

namespace hx::capture {

class DeviceLink {
  public:
    void attach(std::shared_ptr<DispatchQueue> queue,
                std::weak_ptr<CameraDriverListener> listener) {
        std::lock_guard lock(mutex_);
        queue_ = std::move(queue);
        listener_ = std::move(listener);
    }

    // Runs `tell` with the device on its queue, `delaySeconds` from now; nothing before attach().
    void tell(std::function<void(CameraDriverListener&)> tell, double delaySeconds = 0) const {
        std::shared_ptr<DispatchQueue> queue;
        std::weak_ptr<CameraDriverListener> listener;
        {
            std::lock_guard lock(mutex_);
            queue = queue_;
            listener = listener_;
        }
        if (!queue) return;
        auto run = [listener, tell = std::move(tell)] {
            if (auto device = listener.lock()) tell(*device);
        };
        if (delaySeconds > 0)
            queue->asyncAfter(delaySeconds, std::move(run));
        else
            queue->async(std::move(run));
    }

    // The camera went away or came back.
    void tellConnection(bool connected) const {
        tell([connected](CameraDriverListener& device) {
            device.driverConnectionChanged(connected);
        });
    }

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<DispatchQueue> queue_;
    std::weak_ptr<CameraDriverListener> listener_;
};

}  // namespace hx::capture
