#pragma once
// The base of every intent's response. Subclasses add a code enumeration of their own and
// write it in encodeWithCoder.
//
// Threads: a value; one thread at a time.

#include <optional>

#include "platform/intents/NSCoder.h"
#include "platform/intents/NSUserActivity.h"

namespace hx {

class INIntentResponse {
  public:
    INIntentResponse() = default;
    explicit INIntentResponse(const NSCoder& coder);  // initWithCoder:
    virtual ~INIntentResponse() = default;

    const std::optional<NSUserActivity>& userActivity() const { return userActivity_; }
    void setUserActivity(std::optional<NSUserActivity> activity) {
        userActivity_ = std::move(activity);
    }

    virtual void encodeWithCoder(NSCoder& coder) const;

  private:
    std::optional<NSUserActivity> userActivity_;
};

}  // namespace hx
