#include "platform/ui/sharing/desktop/Spawn.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/log/Log.h"

extern char** environ;

namespace hx::ui::desktop {

bool spawnDetached(const std::vector<std::string>& arguments,
                   std::function<void(int status)> finished) {
    if (arguments.empty()) return false;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const std::string& program = arguments.front();
    int error =
        program.find('/') == std::string::npos
            ? posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ)
            : posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        hxLog("Cannot start %s: %s", program.c_str(), std::strerror(error));
        return false;
    }
    std::thread([pid, finished = std::move(finished)] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) return;
        }
        if (finished) finished(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }).detach();
    return true;
}

}  // namespace hx::ui::desktop
