#pragma once
// Runs a shell command line as a user would type it, waits for it and collects what it prints.
// Tests that run a program to its end (our tools, or a checker such as exiftool, sqlite3,
// heif-info) go through these functions; a test that signals a program or works beside it while
// it runs starts it itself.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace hx::testsupport {

struct CommandResult {
    int status = -1;     // exit status; -1 when it could not run or died of a signal
    std::string output;  // standard output, and standard error when the line redirects it
};

struct SeparateOutputs {
    int status = -1;  // exit status; -1 when it could not run or died of a signal
    std::string out;  // standard output
    std::string err;  // standard error
};

// Changes to the child's environment, in order: a value sets the variable, nullopt removes it.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// `text` as one shell word, whatever characters it holds.
inline std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

namespace detail {

// Shell text that applies `changes` before the command that follows it.
inline std::string environmentPrefix(const EnvironmentChanges& changes) {
    std::string prefix;
    for (const auto& [name, value] : changes)
        prefix +=
            value ? "export " + name + "=" + shellQuoted(*value) + "; " : "unset " + name + "; ";
    return prefix;
}

inline CommandResult collect(const std::string& shellText) {
    CommandResult result;
    FILE* pipe = popen(shellText.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk;
    while (size_t n = fread(chunk.data(), 1, chunk.size(), pipe))
        result.output.append(chunk.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace detail

// The lines of what a command printed, without their line ends.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs `command` through /bin/sh with `environment` applied to the child alone (this process
// keeps its own); add " 2>&1" to collect standard error too.
inline CommandResult runCommand(const std::string& command,
                                const EnvironmentChanges& environment = {}) {
    return detail::collect(detail::environmentPrefix(environment) + command);
}

// Runs `command` like runCommand, with its standard error kept apart from its standard output
// (through a temporary file, removed afterwards).
inline SeparateOutputs runCommandSeparately(const std::string& command,
                                            const EnvironmentChanges& environment = {}) {
    SeparateOutputs result;
    char errorFile[] = "/tmp/hx-command-stderr-XXXXXX";
    const int descriptor = mkstemp(errorFile);
    if (descriptor < 0) return result;
    ::close(descriptor);
    CommandResult run = detail::collect(detail::environmentPrefix(environment) + "(" + command +
                                        "\n) 2>" + shellQuoted(errorFile));
    std::ostringstream err;
    err << std::ifstream(errorFile).rdbuf();
    ::unlink(errorFile);
    result.status = run.status;
    result.out = std::move(run.output);
    result.err = err.str();
    return result;
}

}  // namespace hx::testsupport
