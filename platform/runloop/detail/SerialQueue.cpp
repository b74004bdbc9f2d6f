#include "platform/runloop/detail/SerialQueue.h"

#include <system_error>
#include <thread>

#include "platform/log/Log.h"

namespace hx::detail {

void SerialQueue::enqueue(Task task) {
    std::unique_lock lock(mutex_);
    if (isShuttingDown()) return;
    queue_.push_back(Queued{std::move(task), RunLoop::PendingWork{}});
    if (threadRunning_) {
        lock.unlock();
        available_.notify_one();
        return;
    }
    // A closed queue can still receive delayed blocks; a fresh thread drains them.
    try {
        std::thread([self = std::static_pointer_cast<SerialQueue>(shared_from_this())] {
            self->work();
        }).detach();
        threadRunning_ = true;
    } catch (const std::system_error& error) {
        hxLog("Cannot start the thread of queue %s: %s", label().c_str(), error.what());
        queue_.pop_back();
    }
}

void SerialQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    available_.notify_one();
}

void SerialQueue::work() {
    setCurrentQueue(this);
    std::unique_lock lock(mutex_);
    while (true) {
        available_.wait(lock, [&] { return closed_ || !queue_.empty(); });
        // At exit the remaining blocks are abandoned rather than run against a dying process.
        if (queue_.empty() || isShuttingDown()) {
            threadRunning_ = false;
            return;
        }
        {
            Queued next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            runTask(next.task, label());
        }
        lock.lock();
    }
}

}  // namespace hx::detail
