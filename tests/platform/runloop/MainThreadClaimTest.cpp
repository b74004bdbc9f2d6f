// The main run loop belongs to the process's initial thread even when a thread of its own asks
// for it first, as a photo library's folder watcher does when it queues a scan. A program of its
// own, so that nothing has touched the loop before the test starts.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/runloop/DispatchQueue.h"
#include "platform/runloop/RunLoop.h"

namespace hx {
namespace {

TEST(MainThreadClaim, AThreadThatAsksFirstDoesNotTakeTheLoop) {
    auto background = DispatchQueue::makeSerial("early work");
    std::atomic<bool> queued{false};
    bool ranOnMain = false;
    std::thread early([&] {
        EXPECT_FALSE(RunLoop::isMainThread());
        // Queuing counts work in flight on the main loop, which asks for it.
        background->async([&] {
            DispatchQueue::main().async([&] { ranOnMain = RunLoop::isMainThread(); });
            queued = true;
        });
        EXPECT_FALSE(RunLoop::isMainThread());
    });
    early.join();

    EXPECT_TRUE(RunLoop::isMainThread());
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return queued && ranOnMain; }, 60));
}

}  // namespace
}  // namespace hx
