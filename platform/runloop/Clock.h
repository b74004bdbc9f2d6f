#pragma once

// The one clock that every delay, timer and animation reads. By default it follows the
// monotonic system clock; tests switch the whole process to a manual clock that only moves when
// RunLoop::main().advance() moves it, so they advance time instead of sleeping.
//
// Thread safety: all functions may be called from any thread. Switch clocks while no delayed
// work is pending (at the start of a test): due times keep the value they were given on the
// clock that was current when they were scheduled.

#include <cstdint>

namespace hx {

class Clock {
  public:
    // Seconds on the current clock; monotonic while the clock is not switched.
    static double now();
    static std::int64_t nowNanoseconds();

    // Switches to the manual clock, reading `start` seconds until advanced.
    static void useManualTime(double start = 0);
    static void useRealTime();
    static bool isManual();

    static std::int64_t toNanoseconds(double seconds);
    static double toSeconds(std::int64_t nanoseconds);

  private:
    friend class RunLoop;
    // Moves the manual clock forward; RunLoop::advance runs the work that falls due on the way.
    static void setManualNanoseconds(std::int64_t nanoseconds);
    // Wakes everything that waits for a due time, so it re-reads the clock.
    static void notifyChanged();
};

}  // namespace hx
