#pragma once
// Opens the application's page of the system settings: starts halidex-settings, detached, with
// no arguments (its window, or its list where there is no window yet).
//
// Threads: any thread may call it.

namespace hx {

// Looks for halidex-settings next to the running program, then on PATH. True once the tool has
// been started; false with a log line when it cannot be found or started.
bool openApplicationSettings();

}  // namespace hx
