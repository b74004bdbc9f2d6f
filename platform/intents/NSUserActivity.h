#pragma once
// What a person was doing, handed from an intent's response to the program that continues it.

#include <string>

namespace hx {

struct NSUserActivity {
    std::string activityType;
    std::string title;

    friend bool operator==(const NSUserActivity&, const NSUserActivity&) = default;
};

}  // namespace hx
