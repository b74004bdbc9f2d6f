// halidex-settings: the system's settings screen for the camera's preferences. It edits the
// camera's own user defaults, the store the camera reads each time it comes to the foreground.
// Besides the preferences of the settings bundle it reaches the camera's own keys (KEY_FILMTYPE
// and the others, typed and checked against their allowed values), so that scripts and tests
// can prepare the camera.
//
//   halidex-settings                  the settings window (a list when there is no display)
//   halidex-settings list [--all]     every preference: key, title, value, allowed values;
//                                     with --all the camera's own keys as well
//   halidex-settings get KEY          the value, as set would take it
//   halidex-settings set KEY VALUE    a value from the preference's choices; for a folder, an
//                                     absolute path, or "" for the standard place; for a
//                                     camera key, a value of its type and range
//   halidex-settings reset KEY        back to the default (the stored value removed)
//
// Every write goes through the store's per-key merge, so the camera saving its settings at the
// same time loses nothing, and neither does the tool.
//
// Exit status (tools/ExitStatus.h): 0 done, 1 the bundle or the store cannot be read or
// written, 2 bad usage, an unknown key, a value outside the choices or a folder that cannot be
// used.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/camera/CameraSettingsKeys.h"
#include "platform/bundle/Bundle.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/log/CaptureScope.h"
#include "platform/photos/store/PicturesFolder.h"
#include "tools/ExitStatus.h"
#include "tools/halidex-settings/SettingsBundle.h"
#include "tools/halidex-settings/SettingsWindow.h"

namespace {

using hx::app::CameraKey;
using hx::settings::Preference;
using hx::settings::SettingsBundle;

// The camera program's store.
constexpr const char* kCameraStore = "halidex";
constexpr const char* kBundleResource = "SettingsBundle.ini";

constexpr const char* kUsage =
    "usage: halidex-settings [list [--all] | get KEY | set KEY VALUE | reset KEY]\n"
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

// The stored value, else the camera's registered default; whether it is the default.
std::pair<hx::DefaultsValue, bool> currentValue(hx::UserDefaults& store, const CameraKey& key) {
    if (auto stored = store.objectForKey(key.key)) return {*stored, false};
    return {hx::app::cameraRegisteredDefaults().at(key.key), true};
}

void listCameraKeys(hx::UserDefaults& store) {
    for (const CameraKey& key : hx::app::cameraKeys()) {
        auto [value, isDefault] = currentValue(store, key);
        std::string text = hx::app::formatCameraValue(key, value);
        // A value written by other means may lie outside what the key allows.
        bool allowed = hx::app::parseCameraValue(key, text, nullptr).has_value();
        if (key.kind == CameraKey::Kind::String) text = "\"" + text + "\"";
        std::printf("%s: %s\n", key.key, key.title);
        std::printf("    value: %s%s%s\n", text.c_str(), allowed ? "" : " (not allowed)",
                    isDefault ? ", the default" : "");
        std::printf("    allowed: %s\n", key.domain);
    }
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

// A preference of the bundle or one of the camera's own keys; both empty for an unknown key,
// with the known keys listed on stderr.
struct Found {
    const Preference* preference = nullptr;
    const CameraKey* cameraKey = nullptr;
};

Found findOrComplain(const SettingsBundle& bundle, const std::string& key) {
    Found found{bundle.find(key), hx::app::findCameraKey(key)};
    if (!found.preference && !found.cameraKey) {
        std::string known;
        for (const Preference& each : bundle.preferences) known += " " + each.key;
        for (const CameraKey& each : hx::app::cameraKeys()) known += std::string(" ") + each.key;
        std::fprintf(stderr,
                     "halidex-settings: unknown preference \"%s\"; the preferences are:%s\n",
                     key.c_str(), known.c_str());
    }
    return found;
}

// Saves the store; false, with one line saying why (a read-only folder, a full disk), when it
// cannot. The store writes a new file and renames it into place, so the old one stays whole.
bool saved(hx::UserDefaults& store) {
    std::string cause;
    {
        hx::log::CaptureScope capture;
        if (store.synchronize()) return true;
        const auto messages = capture.messages();
        if (!messages.empty()) cause = messages.back();
    }
    // The store's message names the file itself; only what follows the last ": " is the cause.
    const size_t colon = cause.rfind(": ");
    cause = colon == std::string::npos ? "unknown error" : cause.substr(colon + 2);
    std::fprintf(stderr, "halidex-settings: cannot save to %s: %s; nothing was changed\n",
                 hx::tools::printable(store.filePath()).c_str(),
                 hx::tools::printable(cause).c_str());
    return false;
}

// Why the store's file cannot be read, when it exists and cannot: the store would read it as
// empty, so that every value shown would be a default and a save would set the file aside.
std::string unreadableStore(const hx::UserDefaults& store) {
    const std::string path = store.filePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return {};
    if (std::filesystem::is_directory(path, ec))
        return "cannot read " + hx::tools::printable(path) + ": it is a folder";
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        std::fclose(file);
        return {};
    }
    return "cannot read " + hx::tools::printable(path) + ": " + std::strerror(errno);
}

int setCameraKey(hx::UserDefaults& store, const CameraKey& key, const std::string& text) {
    std::string error;
    auto value = hx::app::parseCameraValue(key, text, &error);
    if (!value) {
        std::fprintf(stderr, "halidex-settings: %s; nothing was changed\n", error.c_str());
        return 2;
    }
    store.setObject(*value, key.key);
    std::string changes = std::string(key.key) + " = " + hx::app::formatCameraValue(key, *value);
    // TIFF and HEIC output exclude each other, as the camera's own toggles keep them.
    const std::string name = key.key;
    if ((name == hx::app::KEY_TIFF || name == hx::app::KEY_HEIC) && value->boolValue()) {
        const char* other = name == hx::app::KEY_TIFF ? hx::app::KEY_HEIC : hx::app::KEY_TIFF;
        if (store.boolForKey(other)) {
            store.setBool(false, other);
            changes += std::string("\n") + other + " = no (TIFF and HEIC exclude each other)";
        }
    }
    if (!saved(store)) return 1;
    std::printf("%s\n", changes.c_str());
    return 0;
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
    if (std::string problem = unreadableStore(store); !problem.empty()) {
        std::fprintf(stderr, "halidex-settings: %s; nothing was changed\n", problem.c_str());
        return hx::tools::kExitFailure;
    }

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
    if (command == "list" && (args.size() == 1 || (args.size() == 2 && args[1] == "--all"))) {
        list(store, *bundle);
        if (args.size() == 2) listCameraKeys(store);
        return 0;
    }
    if (command == "get" && args.size() == 2) {
        auto [preference, cameraKey] = findOrComplain(*bundle, args[1]);
        if (cameraKey) {
            std::printf("%s\n", hx::app::formatCameraValue(*cameraKey,
                                                           currentValue(store, *cameraKey).first)
                                    .c_str());
            return 0;
        }
        if (!preference) return 2;
        std::printf("%s\n", preference->text(currentValue(store, *preference).first).c_str());
        return 0;
    }
    if (command == "set" && args.size() == 3) {
        auto [preference, cameraKey] = findOrComplain(*bundle, args[1]);
        if (cameraKey) return setCameraKey(store, *cameraKey, args[2]);
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
        if (!saved(store)) return 1;
        std::printf("%s = %s\n", preference->key.c_str(), preference->describe(*value).c_str());
        return 0;
    }
    if (command == "reset" && args.size() == 2) {
        auto [preference, cameraKey] = findOrComplain(*bundle, args[1]);
        if (cameraKey) {
            store.removeObjectForKey(cameraKey->key);
            if (!saved(store)) return 1;
            std::printf("%s = %s, the default\n", cameraKey->key,
                        hx::app::formatCameraValue(
                            *cameraKey, hx::app::cameraRegisteredDefaults().at(cameraKey->key))
                            .c_str());
            return 0;
        }
        if (!preference) return 2;
        store.removeObjectForKey(preference->key);
        if (!saved(store)) return 1;
        std::printf("%s = %s, the default\n", preference->key.c_str(),
                    preference->describe(preference->defaultValue).c_str());
        return 0;
    }
    return usageError();
}
