#pragma once

#include <gtest/gtest.h>

#include "platform/runloop/Clock.h"
#include "platform/runloop/RunLoop.h"

namespace hx::testing {

// Each case starts on a manual clock at 0 with an empty main queue, on this thread as the main
// thread, and leaves nothing behind for the next case.
class ManualClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loop().bindToCurrentThread();
        loop().discardPendingWork();
        Clock::useManualTime(0);
    }
    void TearDown() override {
        loop().discardPendingWork();
        Clock::useRealTime();
    }
    static RunLoop& loop() { return RunLoop::main(); }
};

}  // namespace hx::testing
