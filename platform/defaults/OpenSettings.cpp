#include "platform/defaults/OpenSettings.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/log/Log.h"

extern char** environ;

namespace hx {

namespace {

constexpr const char* kSettingsTool = "halidex-settings";

// The tool beside the running program (an installed bin/ or a build tree's tools folder), or
// the bare name for a search of PATH.
std::string settingsToolPath() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        for (fs::path candidate :
             {exe.parent_path() / kSettingsTool,
              exe.parent_path().parent_path() / "tools" / kSettingsTool / kSettingsTool}) {
            if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        }
    }
    return kSettingsTool;
}

}  // namespace

bool openApplicationSettings() {
    std::string tool = settingsToolPath();
    char* arguments[] = {const_cast<char*>(kSettingsTool), nullptr};
    pid_t pid = 0;
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the tool outlives the camera and ignores the camera's terminal
    // signals.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    int error = tool.find('/') == std::string::npos
                    ? posix_spawnp(&pid, tool.c_str(), nullptr, &attributes, arguments, environ)
                    : posix_spawn(&pid, tool.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        hxLog("Cannot open the settings: %s cannot be started (%s)", tool.c_str(),
              std::strerror(error));
        return false;
    }
    // Collect its exit status whenever it ends so that no zombie stays behind.
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace hx
