#include "platform/runloop/Perform.h"

#include "platform/runloop/RunLoop.h"

namespace hx {

CancelToken performAfterDelay(const void* target, double delaySeconds, std::function<void()> call) {
    return RunLoop::main().postAfter(delaySeconds, std::move(call), target);
}

void cancelPreviousPerformRequests(const void* target) {
    RunLoop::main().cancelPerformRequests(target);
}

}  // namespace hx
