#pragma once
// Keeps the camera screen controller alive while a photo it was given is being processed on the
// photo output's queue: the controller's last member, so that it is destroyed first and waits,
// with every other member still there, until the photo in hand is done. A photo that arrives
// after that is not processed.
//
// Threads: enter() and leave() on any thread; the destructor on the controller's thread.

#include <condition_variable>
#include <mutex>

namespace hx::app {

class ProcessingGate {
  public:
    ProcessingGate() = default;
    ProcessingGate(const ProcessingGate&) = delete;
    ProcessingGate& operator=(const ProcessingGate&) = delete;
    ~ProcessingGate() {
        std::unique_lock<std::mutex> lock(mutex_);
        closed_ = true;
        idle_.wait(lock, [this] { return active_ == 0; });
    }

    // False once the controller is going away.
    bool enter() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
        ++active_;
        return true;
    }
    void leave() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--active_ == 0) idle_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable idle_;
    int active_ = 0;
    bool closed_ = false;
};

}  // namespace hx::app
