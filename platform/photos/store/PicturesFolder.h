#pragma once
// Where the user looks for photos: the pictures folder, XDG_PICTURES_DIR from the user-dirs
// file (user-dirs.dirs in $XDG_CONFIG_HOME, default ~/.config), ~/Pictures without one.
// HALIDEX_HOME moves it with everything else: $HALIDEX_HOME/config/user-dirs.dirs, and
// $HALIDEX_HOME/Pictures by default. New originals of the default library go to its
// "Halidex Camera" folder, by year and month.
//
// Threads: reads the environment and the file on every call; any thread.

#include <string>

namespace hx::photos {

inline constexpr const char* kCameraFolderName = "Halidex Camera";

std::string picturesFolder();
// <pictures folder>/Halidex Camera.
std::string cameraFolder();

}  // namespace hx::photos
