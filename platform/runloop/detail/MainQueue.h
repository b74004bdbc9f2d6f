#pragma once

// The main queue's core: blocks go to the main run loop and run on the main thread.
//
// Thread safety: every member may be called from any thread.

#include "platform/runloop/detail/QueueCore.h"

namespace hx::detail {

class MainQueue final : public QueueCore {
  public:
    MainQueue() : QueueCore("main queue") {}

    void enqueue(Task task) override;
    CancelToken enqueueAfter(double seconds, std::function<void()> block) override;
    bool isCurrent() const override;
};

}  // namespace hx::detail
