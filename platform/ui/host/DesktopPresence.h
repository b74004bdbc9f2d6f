#pragma once
// How a desktop window's presence maps to the application's lifecycle. Focus alone is not
// leaving the application: the user clicking another window keeps the camera running. The
// window minimised or hidden, or the desktop session suspending or hiding the program (a locked
// screen), is leaving: resign active, then background. Coming back is foreground, then active.
//
// Threads: any (pure functions).

#include <vector>

namespace hx::ui {

// What the desktop reports about the program as a whole.
enum class DesktopSessionState { Active, Inactive, Hidden, Suspended };

struct WindowPresence {
    bool visible = true;
    bool minimized = false;
    bool focused = true;
    DesktopSessionState session = DesktopSessionState::Active;
};

enum class LifecycleTransition { ResignActive, EnterBackground, EnterForeground, BecomeActive };

// Whether the window counts as gone from the user's desktop.
bool isAway(const WindowPresence& presence);

// The transitions, in order, for a change of presence from `before` to `now`; none when the
// change is only one of focus.
std::vector<LifecycleTransition> transitionsFor(const WindowPresence& before,
                                                const WindowPresence& now);

}  // namespace hx::ui
