#include "platform/runloop/Timer.h"

#include <algorithm>
#include <limits>
#include <string>

#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/detail/QueueCore.h"

namespace hx {
namespace {

constexpr std::int64_t kShortestRepeatNanoseconds = 100'000;

const std::string& timerLabel() {
    static const std::string* const label = new std::string("main queue (timer)");
    return *label;
}

}  // namespace

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, Callback callback) {
    std::int64_t nanoseconds = Clock::toNanoseconds(std::max(interval, 0.0));
    if (repeats) nanoseconds = std::max(nanoseconds, kShortestRepeatNanoseconds);
    auto timer = std::make_shared<Timer>(Passkey{}, nanoseconds, repeats, std::move(callback));
    timer->startNanoseconds_ = Clock::nowNanoseconds();
    timer->scheduleFiring(1);
    return timer;
}

Timer::Timer(Passkey, std::int64_t intervalNanoseconds, bool repeats, Callback callback)
    : intervalNanoseconds_(intervalNanoseconds),
      repeats_(repeats),
      callback_(std::move(callback)) {}

double Timer::interval() const {
    return Clock::toSeconds(intervalNanoseconds_);
}

double Timer::fireDate() const {
    if (!isValid()) return std::numeric_limits<double>::infinity();
    return Clock::toSeconds(nextFireNanoseconds_.load(std::memory_order_acquire));
}

void Timer::invalidate() {
    valid_.store(false, std::memory_order_release);
    {
        std::lock_guard lock(pendingMutex_);
        pending_.cancel();
    }
    // Releasing the callback breaks cycles through captures of the timer itself; while the
    // callback runs it is released when it returns instead.
    if (RunLoop::isMainThread() && !inCallback_) callback_ = nullptr;
}

void Timer::scheduleFiring(std::uint64_t firing) {
    const std::int64_t due =
        startNanoseconds_ + static_cast<std::int64_t>(firing) * intervalNanoseconds_;
    nextFireNanoseconds_.store(due, std::memory_order_release);
    CancelToken token = RunLoop::main().postAt(
        due, [self = shared_from_this(), firing] { self->fire(firing); }, nullptr);
    {
        std::lock_guard lock(pendingMutex_);
        pending_ = token;
    }
    // An invalidate() that ran meanwhile cancelled the previous token, not this one.
    if (!isValid()) token.cancel();
}

void Timer::fire(std::uint64_t firing) {
    if (isValid() && callback_) {
        inCallback_ = true;
        detail::runGuarded([this] { callback_(*this); }, timerLabel());
        inCallback_ = false;
    }
    if (repeats_ && isValid()) {
        const std::int64_t now = Clock::nowNanoseconds();
        std::uint64_t next = firing + 1;
        if (startNanoseconds_ + static_cast<std::int64_t>(next) * intervalNanoseconds_ <= now)
            next = static_cast<std::uint64_t>((now - startNanoseconds_) / intervalNanoseconds_) + 1;
        scheduleFiring(next);
    } else {
        valid_.store(false, std::memory_order_release);
    }
    if (!isValid()) callback_ = nullptr;
}

}  // namespace hx
