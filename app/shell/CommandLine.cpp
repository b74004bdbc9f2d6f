#include "app/shell/CommandLine.h"

namespace hx::app {

namespace {

CommandLineResult usageError(const std::string& message) {
    CommandLineResult result;
    result.exitStatus = 2;
    result.text = "halidex: " + message + "\n" + commandLineUsage();
    return result;
}

}  // namespace

const char* commandLineUsage() {
    return "usage: halidex [--device PROFILE] [--headless] [--script FILE|-]\n"
           "               [--action takephoto|takeselfie] [--help]\n";
}

bool isQuickActionName(const std::string& action) {
    return action == "takephoto" || action == "takeselfie";
}

CommandLineResult parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineResult result;
    CommandLineOptions& options = result.options;
    bool sawDevice = false, sawScript = false, sawAction = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        std::optional<std::string> attached;
        if (argument.rfind("--", 0) == 0) {
            if (size_t equals = argument.find('='); equals != std::string::npos) {
                attached = argument.substr(equals + 1);
                argument.resize(equals);
            }
        }
        // The option's value: after "=" or the next argument.
        auto value = [&](std::string& target) {
            if (attached) {
                target = *attached;
            } else {
                if (i + 1 >= arguments.size()) return false;
                target = arguments[++i];
            }
            return !target.empty();
        };
        auto takesNoValue = [&] { return !attached.has_value(); };

        if (argument == "--help" || argument == "-h") {
            if (!takesNoValue()) return usageError("--help takes no value");
            options.help = true;
        } else if (argument == "--headless") {
            if (!takesNoValue()) return usageError("--headless takes no value");
            options.headless = true;
        } else if (argument == "--device") {
            if (sawDevice) return usageError("--device given twice");
            if (!value(options.device)) return usageError("--device needs a profile");
            sawDevice = true;
        } else if (argument == "--script") {
            if (sawScript) return usageError("--script given twice");
            if (!value(options.script)) return usageError("--script needs a file or -");
            sawScript = true;
        } else if (argument == "--action") {
            if (sawAction) return usageError("--action given twice");
            if (!value(options.action) || !isQuickActionName(options.action))
                return usageError("--action takes takephoto or takeselfie");
            sawAction = true;
        } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
            return usageError("unknown option " + argument);
        } else {
            return usageError("unexpected argument " + argument);
        }
    }
    if (options.help) {
        result.exitStatus = 0;
        result.text = commandLineUsage();
    }
    return result;
}

CommandLineResult parseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
    return parseCommandLine(arguments);
}

}  // namespace hx::app
