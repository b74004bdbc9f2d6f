#include "platform/runloop/Semaphore.h"

#include <algorithm>
#include <chrono>

namespace hx {

void Semaphore::wait() {
    std::unique_lock lock(mutex_);
    available_.wait(lock, [&] { return count_ > 0; });
    --count_;
}

bool Semaphore::waitFor(double seconds) {
    std::unique_lock lock(mutex_);
    // Clamped so that a huge time-out cannot overflow the deadline arithmetic.
    const double bounded = seconds > 0 ? std::min(seconds, 1e9) : 0;
    const auto timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(bounded));
    if (!available_.wait_for(lock, timeout, [&] { return count_ > 0; })) return false;
    --count_;
    return true;
}

void Semaphore::signal() {
    // Notified under the lock: a waiter commonly destroys the semaphore as soon as wait()
    // returns, which it cannot do before this call has let go of it.
    std::lock_guard lock(mutex_);
    ++count_;
    available_.notify_one();
}

}  // namespace hx
