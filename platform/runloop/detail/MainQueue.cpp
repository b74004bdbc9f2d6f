#include "platform/runloop/detail/MainQueue.h"

#include "platform/runloop/RunLoop.h"

namespace hx::detail {

void MainQueue::enqueue(Task task) {
    if (task.token.isEmpty()) {
        RunLoop::main().post(std::move(task.block));
        return;
    }
    RunLoop::main().post([task = std::move(task)] {
        if (!task.token.isCancelled()) task.block();
    });
}

CancelToken MainQueue::enqueueAfter(double seconds, std::function<void()> block) {
    return RunLoop::main().postAfter(seconds, std::move(block));
}

bool MainQueue::isCurrent() const {
    return RunLoop::isMainThread();
}

}  // namespace hx::detail
