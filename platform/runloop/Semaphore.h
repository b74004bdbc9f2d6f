#pragma once

// A counting semaphore for handing results between threads.
//
// Thread safety: every member may be called from any thread. waitFor() measures its time-out in
// real seconds even under the manual clock: it bounds how long a thread blocks, it is not a delay
// on the run loop's clock (nothing would move a manual clock while the caller is blocked).

#include <condition_variable>
#include <mutex>

namespace hx {

class Semaphore {
  public:
    // A negative count needs that many extra signals before a wait returns.
    explicit Semaphore(long count = 0) : count_(count) {}
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // Blocks until the count is positive, then takes one.
    void wait();
    // Like wait(), giving up after `seconds`; returns whether it took one.
    bool waitFor(double seconds);
    void signal();

  private:
    std::mutex mutex_;
    std::condition_variable available_;
    long count_;
};

}  // namespace hx
