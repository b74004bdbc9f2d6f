#pragma once
// Starts helper programs of the desktop (xdg-open, dbus-send) in a session of their own, so they
// outlive the camera and never hold its terminal. Their exit status is collected so that no
// zombie stays behind.
//
// Threads: any thread.

#include <functional>
#include <string>
#include <vector>

namespace hx::ui::desktop {

// Starts arguments[0] (searched on PATH when it has no '/') with the given arguments. False, with
// a log line naming the program, when it cannot be started. When `finished` is given it is
// called with the exit status (or -1 when killed by a signal) on a thread of its own.
bool spawnDetached(const std::vector<std::string>& arguments,
                   std::function<void(int status)> finished = nullptr);

}  // namespace hx::ui::desktop
