#pragma once
// One-word settings kept in small text files (permission answers, on/off switches), so a person
// can read and change them with an editor or a tool, and an environment variable can override
// them for a run.
//
// Threads: no shared state; any thread may call these.

#include <optional>
#include <string>

namespace hx::paths {

// The word as settings compare it: surrounding space removed, lower case, '_' read as '-'.
std::string settingWord(std::string text);

// The word in the file at `path`; nullopt when there is no file. A file that exists but cannot
// be read (or is far too long for one word) also gives nullopt, with the reason in `error`.
std::optional<std::string> readSettingWord(const std::string& path, std::string* error = nullptr);

// The word in the environment variable `name`; nullopt when it is unset or empty.
std::optional<std::string> environmentSettingWord(const char* name);

// Writes `word` and a newline atomically (see FileAccess.h), so a reader, a second writer or a
// crash leaves the old word or the new one; makes the folder when missing.
bool writeSettingWord(const std::string& path, const std::string& word,
                      std::string* error = nullptr);

// Removes the setting; true when it is gone, including when there was none.
bool removeSetting(const std::string& path, std::string* error = nullptr);

}  // namespace hx::paths
