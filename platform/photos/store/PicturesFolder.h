#pragma once
// Where the user looks for photos: the pictures folder, XDG_PICTURES_DIR from the user-dirs
// file (user-dirs.dirs in $XDG_CONFIG_HOME, default ~/.config), ~/Pictures without one.
// HALIDEX_HOME moves it with everything else: $HALIDEX_HOME/config/user-dirs.dirs, and
// $HALIDEX_HOME/Pictures by default. New originals of the default library go to its
// "Halidex Camera" folder, by year and month, unless the user chose another folder: the
// camera's preference "library_folder" (set with halidex-settings, kept in the camera's user
// defaults), an absolute path.
//
// Threads: reads the environment and the files on every call; any thread.

#include <string>

namespace hx::photos {

inline constexpr const char* kCameraFolderName = "Halidex Camera";
// The camera's user-defaults store and the preference in it naming the folder for new photos.
inline constexpr const char* kCameraDefaults = "halidex";
inline constexpr const char* kLibraryFolderKey = "library_folder";

std::string picturesFolder();
// <pictures folder>/Halidex Camera: the standard place.
std::string standardCameraFolder();
// The folder the user chose, when the preference holds an absolute path; empty otherwise (a
// value that is not one is logged and passed over).
std::string chosenCameraFolder();
// Where the default library puts new originals: the chosen folder, else the standard place.
std::string cameraFolder();

}  // namespace hx::photos
