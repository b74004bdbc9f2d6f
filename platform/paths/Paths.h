#pragma once
// Where the programs keep their files: the XDG data, config and runtime folders, each with a
// "halidex" folder inside. HALIDEX_HOME moves all of them under one folder (for tests and
// portable use): data/, config/, cache/, runtime/ and tmp/ inside it.
//
// Threads: reads the environment on every call; any thread may call these.

#include <string>

namespace hx::paths {

// $XDG_DATA_HOME/halidex, default ~/.local/share/halidex.
std::string dataDirectory();
// $XDG_CONFIG_HOME/halidex, default ~/.config/halidex.
std::string configDirectory();
// $XDG_CACHE_HOME/halidex, default ~/.cache/halidex: files a program may lose at any time.
std::string cacheDirectory();
// $XDG_RUNTIME_DIR/halidex, default <temporary folder>/halidex-<uid>; private to the user.
std::string runtimeDirectory();
// A per-user temporary folder.
std::string temporaryDirectory();

// Creates the folder and its parents with mode 0700 when missing. False when it cannot.
bool ensureDirectory(const std::string& path, std::string* error = nullptr);

}  // namespace hx::paths
