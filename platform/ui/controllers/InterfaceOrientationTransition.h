#pragma once
// Rotation of the interface: when the window scene's interface orientation changes, every
// window's root view controller and the controllers it presents are told of the new traits
// (when they differ) and the new size through a transition coordinator; then the windows and
// the controllers' views take the screen's new bounds inside one animation, with the
// coordinator's alongside blocks, and its completion blocks run when it ends.
//
// Threads: main thread only.

#include "platform/ui/window/UIWindowScene.h"

namespace hx::ui {

inline constexpr double kRotationDuration = 0.3;

// Starts following the main scene's orientation; later calls do nothing. Installing a root
// view controller calls it.
void followInterfaceOrientation();

// The transition itself, as the scene's observer runs it (the scene already reads `to`).
void transitionInterfaceOrientation(UIInterfaceOrientation from, UIInterfaceOrientation to);

}  // namespace hx::ui
