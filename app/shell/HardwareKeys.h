#pragma once
// The one path of the hardware keys, shared by the window and the script runner so that both
// behave the same: a press goes first to the capture event interactions (volume down as the
// secondary button, volume up and the capture key as the primary one); when none takes it, the
// key changes the system volume as a phone's key does (volume down a step down, volume up and
// the capture key a step up), which announces the change. A release only ends the interactions'
// press.
//
// Threads: main thread.

#include "app/shell/ScriptTarget.h"

namespace hx::app {

// Returns whether a capture event interaction took the key.
bool pressHardwareKey(HardwareKey key, bool pressed);

}  // namespace hx::app
