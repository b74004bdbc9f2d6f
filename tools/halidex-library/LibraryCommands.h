#pragma once
// The commands of halidex-library, each over the photo library API. Each returns the exit
// status (tools/ExitStatus.h): 0 done, 1 the library failed, 2 bad input, 3 the library is
// busy (with a message on stderr).

#include <optional>
#include <string>
#include <vector>

#include "tools/ExitStatus.h"

namespace hx::library_tool {

using tools::kExitBadInput;
using tools::kExitBusy;
using tools::kExitFailure;
using tools::kExitOk;

int importFiles(const std::vector<std::string>& files, const std::optional<std::string>& album);
int listAssets(const std::optional<std::string>& album);
int listAlbums();
// The original file, byte for byte; with `edited`, the current, edited version instead (a JPEG
// named after the original with "_edited.jpg"), refused for a photo without an edit.
int exportOriginal(const std::string& identifier, const std::string& folder, bool edited = false);
int showAsset(const std::string& identifier);
int authorization(const std::optional<std::string>& status);
int revertAsset(const std::string& identifier);
// Exit 0 when the library is whole (or was repaired), 1 when it needs repair or failed.
int checkLibrary(bool repair);
// Moves the originals of an older library into the camera folder of the pictures folder.
int moveOriginals();

}  // namespace hx::library_tool
