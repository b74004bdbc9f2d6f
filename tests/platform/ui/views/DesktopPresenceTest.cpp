// The desktop window's presence mapped to the application's lifecycle: only leaving the desktop
// (minimised, hidden, a suspended or hidden session) and coming back change it, never focus.

#include <gtest/gtest.h>

#include "platform/ui/host/DesktopPresence.h"

namespace hx::ui {
namespace {

using T = LifecycleTransition;
using S = DesktopSessionState;

WindowPresence shown(bool focused = true, S session = S::Active) {
    return {true, false, focused, session};
}
WindowPresence minimized() {
    return {true, true, false, S::Inactive};
}
WindowPresence hidden() {
    return {false, false, false, S::Inactive};
}

const std::vector<T> kLeave = {T::ResignActive, T::EnterBackground};
const std::vector<T> kReturn = {T::EnterForeground, T::BecomeActive};

TEST(DesktopPresenceTest, FocusAloneChangesNothing) {
    EXPECT_TRUE(transitionsFor(shown(true), shown(false)).empty());
    EXPECT_TRUE(transitionsFor(shown(false), shown(true)).empty());
    // The desktop reporting the program inactive is also only focus.
    EXPECT_TRUE(transitionsFor(shown(true, S::Active), shown(false, S::Inactive)).empty());
    EXPECT_TRUE(transitionsFor(shown(false, S::Inactive), shown(true, S::Active)).empty());
}

TEST(DesktopPresenceTest, LeavingTheDesktopResignsThenGoesToTheBackground) {
    struct Case {
        const char* what;
        WindowPresence now;
    };
    for (const Case& c : {Case{"minimised", minimized()}, Case{"hidden", hidden()},
                          Case{"session hidden", shown(false, S::Hidden)},
                          Case{"session suspended", shown(false, S::Suspended)}}) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(isAway(c.now));
        EXPECT_EQ(transitionsFor(shown(true), c.now), kLeave);
        EXPECT_EQ(transitionsFor(shown(false), c.now), kLeave);
        EXPECT_EQ(transitionsFor(c.now, shown(true)), kReturn);
        // Restored without focus (another window keeps it) still comes back.
        EXPECT_EQ(transitionsFor(c.now, shown(false, S::Inactive)), kReturn);
    }
}

TEST(DesktopPresenceTest, ChangesWhileAwayDoNothing) {
    EXPECT_TRUE(transitionsFor(minimized(), hidden()).empty());
    EXPECT_TRUE(transitionsFor(hidden(), minimized()).empty());
    EXPECT_TRUE(transitionsFor(minimized(), shown(false, S::Suspended)).empty());
    // Restored from the minimised state while the session is still locked: still away.
    EXPECT_TRUE(transitionsFor(minimized(), shown(true, S::Suspended)).empty());
    EXPECT_FALSE(isAway(shown(false, S::Inactive)));
}

}  // namespace
}  // namespace hx::ui
