#pragma once

// A timer on the main run loop. A repeating timer fires at start + n * interval on the clock:
// firings never drift, and when the main thread was busy past several firings it fires once
// and carries on at the next multiple. The run loop keeps a scheduled timer alive until it is
// invalidated (a one-shot timer: until it has fired), so callers need not hold on to it.
//
// Thread safety: the callback always runs on the main thread. scheduled(), invalidate(),
// isValid() and fireDate() may be called from any thread; after invalidate() returns the timer
// never fires again (a firing already running on the main thread finishes).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/runloop/CancelToken.h"

namespace hx {

class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Callback = std::function<void(Timer&)>;

    // A repeating interval below 0.1 ms is raised to it, so that a zero interval cannot lock up
    // the main thread.
    static std::shared_ptr<Timer> scheduled(double interval, bool repeats, Callback callback);

    void invalidate();
    bool isValid() const { return valid_.load(std::memory_order_acquire); }
    double interval() const;
    bool repeats() const { return repeats_; }
    // Clock time of the next firing; infinity once invalid.
    double fireDate() const;

  private:
    struct Passkey {};

  public:
    Timer(Passkey, std::int64_t intervalNanoseconds, bool repeats, Callback callback);

  private:
    void scheduleFiring(std::uint64_t firing);
    void fire(std::uint64_t firing);

    const std::int64_t intervalNanoseconds_;
    const bool repeats_;
    std::int64_t startNanoseconds_ = 0;
    // Touched only on the main thread once scheduled.
    Callback callback_;
    bool inCallback_ = false;

    std::atomic<bool> valid_{true};
    std::atomic<std::int64_t> nextFireNanoseconds_{0};
    std::mutex pendingMutex_;
    CancelToken pending_;
};

}  // namespace hx
