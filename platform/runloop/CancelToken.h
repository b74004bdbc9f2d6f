#pragma once

// A handle on one piece of delayed work. Cancelling it before the work starts means the work
// never runs; cancelling later does nothing. Copies share the same state.
//
// Thread safety: cancel() and isCancelled() may be called from any thread.

#include <atomic>
#include <memory>

namespace hx {

class CancelToken {
  public:
    // An empty token: cancels nothing and never reads as cancelled.
    CancelToken() = default;

    static CancelToken create();

    void cancel() const;
    bool isCancelled() const;
    bool isEmpty() const { return !state_; }

  private:
    std::shared_ptr<std::atomic<bool>> state_;
};

}  // namespace hx
