#pragma once
// Runs a shell command line as a user would type it and collects what it prints.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace hx::testsupport {

struct CommandResult {
    int status = -1;     // exit status; -1 when it could not run or died of a signal
    std::string output;  // standard output, and standard error when the line redirects it
};

// Runs `command` through /bin/sh; add " 2>&1" to collect standard error too.
inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk;
    while (size_t n = fread(chunk.data(), 1, chunk.size(), pipe))
        result.output.append(chunk.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace hx::testsupport
