#include "platform/runloop/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>

#include "platform/runloop/RunLoop.h"
#include "platform/runloop/detail/DelayedDispatch.h"

namespace hx {
namespace {

std::atomic<bool> manual{false};
std::atomic<std::int64_t> manualNanoseconds{0};

// Far enough to mean "never" and small enough that adding a delay to it cannot overflow.
constexpr std::int64_t kLimitNanoseconds = std::int64_t{1} << 61;

}  // namespace

double Clock::now() {
    return toSeconds(nowNanoseconds());
}

std::int64_t Clock::nowNanoseconds() {
    if (manual.load(std::memory_order_acquire))
        return manualNanoseconds.load(std::memory_order_acquire);
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Clock::useManualTime(double start) {
    manualNanoseconds.store(toNanoseconds(start), std::memory_order_release);
    manual.store(true, std::memory_order_release);
    notifyChanged();
}

void Clock::useRealTime() {
    manual.store(false, std::memory_order_release);
    notifyChanged();
}

bool Clock::isManual() {
    return manual.load(std::memory_order_acquire);
}

std::int64_t Clock::toNanoseconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    const double nanoseconds = std::round(seconds * 1e9);
    if (nanoseconds >= static_cast<double>(kLimitNanoseconds)) return kLimitNanoseconds;
    if (nanoseconds <= -static_cast<double>(kLimitNanoseconds)) return -kLimitNanoseconds;
    return static_cast<std::int64_t>(nanoseconds);
}

double Clock::toSeconds(std::int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e9;
}

void Clock::setManualNanoseconds(std::int64_t nanoseconds) {
    manualNanoseconds.store(nanoseconds, std::memory_order_release);
    notifyChanged();
}

void Clock::notifyChanged() {
    RunLoop::clockChanged();
    detail::DelayedDispatch::instance().clockChanged();
}

}  // namespace hx
