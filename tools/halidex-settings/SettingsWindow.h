#pragma once
// The settings screen as a window: one control per preference of the bundle (a list of
// choices, a switch, or a folder's path with buttons to choose one and to go back to the
// standard place), each change saved to the camera's store at once.
//
// Threads: the GUI thread only.

#include <memory>

#include "platform/defaults/UserDefaults.h"
#include "tools/halidex-settings/SettingsBundle.h"

class QWidget;

namespace hx::settings {

// The window's widget, not yet shown. Controls are named after their preference keys; a
// folder's line also has KEY_choose and KEY_standard buttons and a KEY_problem label.
std::unique_ptr<QWidget> makeSettingsWindow(const SettingsBundle& bundle, UserDefaults& store);

// Opens the window and runs until it is closed; the exit status of the program. False when no
// window can be opened (no display the toolkit can use).
bool canOpenWindow();
int runSettingsWindow(int argc, char** argv, const SettingsBundle& bundle, UserDefaults& store);

}  // namespace hx::settings
