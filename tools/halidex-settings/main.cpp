// halidex-settings: the system's settings screen for the camera's preferences. It edits the
// camera's own user defaults, the store the camera reads each time it comes to the foreground.
//
//   halidex-settings                  the settings window (a list when there is no display)
//   halidex-settings list             every preference: key, title, value, allowed values
//   halidex-settings get KEY          the value, as set would take it
//   halidex-settings set KEY VALUE    a value from the preference's choices; for a folder, an
//                                     absolute path, or "" for the standard place
//   halidex-settings reset KEY        back to the default (the stored value removed)
//
// Exit status: 0 done, 1 the bundle or the store cannot be read or written, 2 bad usage, an
// unknown key, a value outside the choices or a folder that cannot be used.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/bundle/Bundle.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/photos/store/PicturesFolder.h"
#include "tools/halidex-settings/SettingsBundle.h"
#include "tools/halidex-settings/SettingsWindow.h"

namespace {

using hx::settings::Preference;
using hx::settings::SettingsBundle;

// The camera program's store.
constexpr const char* kCameraStore = "halidex";
constexpr const char* kBundleResource = "SettingsBundle.ini";

constexpr const char* kUsage =
    "usage: halidex-settings [list | get KEY | set KEY VALUE | reset KEY]\n"
    "  with no command, shows the settings (in a window where there is a display)\n";

int usageError() {
    std::fputs(kUsage, stderr);
    return 2;
}

// The stored value, else the bundle's default; whether it is the default.
std::pair<hx::DefaultsValue, bool> currentValue(hx::UserDefaults& store,
                                                const Preference& preference) {
    if (auto stored = store.objectForKey(preference.key)) return {*stored, false};
    return {preference.defaultValue, true};
}

void list(hx::UserDefaults& store, const SettingsBundle& bundle) {
    for (const Preference& preference : bundle.preferences) {
        auto [value, isDefault] = currentValue(store, preference);
        std::printf("%s: %s\n", preference.key.c_str(), preference.title.c_str());
        std::printf("    value: %s%s\n", preference.describe(value).c_str(),
                    isDefault ? ", the default" : "");
        if (preference.kind != Preference::Kind::Choice) {
            std::printf("    allowed: %s\n", preference.allowedValues().c_str());
        } else {
            std::string choices;
            for (const auto& choice : preference.choices) {
                if (!choices.empty()) choices += ", ";
                choices += std::to_string(choice.value) + " (" + choice.title + ")";
            }
            std::printf("    allowed: %s\n", choices.c_str());
        }
    }
}

const Preference* findOrComplain(const SettingsBundle& bundle, const std::string& key) {
    const Preference* preference = bundle.find(key);
    if (!preference) {
        std::string known;
        for (const Preference& each : bundle.preferences) known += " " + each.key;
        std::fprintf(stderr,
                     "halidex-settings: unknown preference \"%s\"; the preferences are:%s\n",
                     key.c_str(), known.c_str());
    }
    return preference;
}

bool displayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help" || args[0] == "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    auto path = hx::Bundle::main().pathForResource(kBundleResource);
    if (!path) {
        std::fprintf(stderr, "halidex-settings: the settings bundle %s is missing from %s\n",
                     kBundleResource, hx::Bundle::main().resourcePath().c_str());
        return 1;
    }
    std::string error;
    auto bundle = SettingsBundle::load(*path, &error);
    if (!bundle) {
        std::fprintf(stderr, "halidex-settings: %s\n", error.c_str());
        return 1;
    }
    // The folder for new photos stands for the library's standard place while no other is set.
    for (Preference& preference : bundle->preferences) {
        if (preference.kind == Preference::Kind::Folder)
            preference.standardPlace = hx::photos::standardCameraFolder();
    }
    hx::UserDefaults store(kCameraStore);

    if (args.empty()) {
        if (displayPresent()) {
            if (hx::settings::canOpenWindow())
                return hx::settings::runSettingsWindow(argc, argv, *bundle, store);
            std::printf(
                "halidex-settings: the display cannot be reached; the settings follow "
                "as a list.\n");
        }
        list(store, *bundle);
        return 0;
    }
    const std::string& command = args[0];
    if (command == "list" && args.size() == 1) {
        list(store, *bundle);
        return 0;
    }
    if (command == "get" && args.size() == 2) {
        const Preference* preference = findOrComplain(*bundle, args[1]);
        if (!preference) return 2;
        std::printf("%s\n", preference->text(currentValue(store, *preference).first).c_str());
        return 0;
    }
    if (command == "set" && args.size() == 3) {
        const Preference* preference = findOrComplain(*bundle, args[1]);
        if (!preference) return 2;
        auto value = preference->valueFromText(args[2], &error);
        if (!value) {
            std::fprintf(stderr, "halidex-settings: %s\n", error.c_str());
            return 2;
        }
        // The standard place is no stored value, so that it follows the pictures folder.
        if (preference->isStandardPlace(*value))
            store.removeObjectForKey(preference->key);
        else
            store.setObject(*value, preference->key);
        if (!store.synchronize()) {
            std::fprintf(stderr, "halidex-settings: cannot save to %s\n", store.filePath().c_str());
            return 1;
        }
        std::printf("%s = %s\n", preference->key.c_str(), preference->describe(*value).c_str());
        return 0;
    }
    if (command == "reset" && args.size() == 2) {
        const Preference* preference = findOrComplain(*bundle, args[1]);
        if (!preference) return 2;
        store.removeObjectForKey(preference->key);
        if (!store.synchronize()) {
            std::fprintf(stderr, "halidex-settings: cannot save to %s\n", store.filePath().c_str());
            return 1;
        }
        std::printf("%s = %s, the default\n", preference->key.c_str(),
                    preference->describe(preference->defaultValue).c_str());
        return 0;
    }
    return usageError();
}
