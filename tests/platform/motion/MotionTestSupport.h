#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/motion/simulated/SimulatedAccelerometer.h"
#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

#include "tests/support/ScopedEnvironment.h"

namespace hx::testing {

// Each case starts with the simulated sensor upright, no motion variables, an empty main queue
// on this thread and the manual clock at 0; the variables it sets are put back afterwards.
class MotionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"HALIDEX_MOTION", "HALIDEX_IIO_ROOT"}) setEnv(name, nullptr);
        SimulatedMotion::reset();
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPendingWork();
        Clock::useManualTime(0);
    }
    void TearDown() override {
        RunLoop::main().discardPendingWork();
        Clock::useRealTime();
        SimulatedMotion::reset();
        environment_.restore();
    }
    void setEnv(const char* name, const char* value) { environment_.set(name, value); }
    static void advance(double seconds) { RunLoop::main().advance(seconds); }

  private:
    ScopedEnvironment environment_;
};

}  // namespace hx::testing
