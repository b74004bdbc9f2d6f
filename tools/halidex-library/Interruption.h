#pragma once
// Ctrl-C (SIGINT) and SIGTERM while the tool changes the library: held back until the change
// under way has committed or rolled back, then honoured at the next step between changes.

namespace hx::library_tool {

// Holds SIGINT and SIGTERM back in every thread started afterwards (call before the library
// starts its threads).
void deferInterruptions();
// The signal held back, 0 when none came.
int pendingInterruption();
// Says what was done and returns the status a shell gives a program the signal stopped.
int interrupted(int signal, const char* what);

}  // namespace hx::library_tool
