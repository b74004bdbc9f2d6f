#pragma once

// Delayed calls on the main queue grouped by the object that asked for them, so that object can
// cancel all of its outstanding requests at once (a view rescheduling its own refresh, say).
//
// Thread safety: both functions may be called from any thread; the calls run on the main
// thread. A null target can be neither grouped nor cancelled by target.

#include <functional>

#include "platform/runloop/CancelToken.h"

namespace hx {

CancelToken performAfterDelay(const void* target, double delaySeconds, std::function<void()> call);

// Cancels every request of this target that has not started.
void cancelPreviousPerformRequests(const void* target);

}  // namespace hx
