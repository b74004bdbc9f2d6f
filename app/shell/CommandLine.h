#pragma once
// The command line of halidex:
//
//   halidex [--device PROFILE] [--headless] [--script FILE|-] [--action takephoto|takeselfie]
//           [--help]
//
// Options also take their value after "=" (--device=tablet). Bad usage is a message and exit
// status 2.
//
// Threads: any.

#include <optional>
#include <string>
#include <vector>

namespace hx::app {

struct CommandLineOptions {
    // A built-in device profile or a profile file; empty for the default.
    std::string device;
    // Run without a window.
    bool headless = false;
    // The script to run: a file, "-" for standard input, empty for none.
    std::string script;
    // The quick action to perform at start: "takephoto", "takeselfie" or empty.
    std::string action;
    bool help = false;
};

// What parsing decided.
struct CommandLineResult {
    CommandLineOptions options;
    // Set when the program ends at once with this status: 0 after --help, 2 for bad usage.
    std::optional<int> exitStatus;
    // The text to print when it ends at once: the usage for --help (standard output), the
    // message followed by the usage for bad usage (standard error).
    std::string text;
};

// The usage lines.
const char* commandLineUsage();

// Parses the arguments after the program name.
CommandLineResult parseCommandLine(const std::vector<std::string>& arguments);
CommandLineResult parseCommandLine(int argc, const char* const* argv);

// Whether this is one of the quick actions a launch or a script may ask for.
bool isQuickActionName(const std::string& action);

}  // namespace hx::app
