#include "platform/ui/host/DesktopPresence.h"

namespace hx::ui {

bool isAway(const WindowPresence& presence) {
    return !presence.visible || presence.minimized ||
           presence.session == DesktopSessionState::Hidden ||
           presence.session == DesktopSessionState::Suspended;
}

std::vector<LifecycleTransition> transitionsFor(const WindowPresence& before,
                                                const WindowPresence& now) {
    bool wasAway = isAway(before), away = isAway(now);
    if (!wasAway && away)
        return {LifecycleTransition::ResignActive, LifecycleTransition::EnterBackground};
    if (wasAway && !away)
        return {LifecycleTransition::EnterForeground, LifecycleTransition::BecomeActive};
    return {};
}

}  // namespace hx::ui
