#include "platform/location/LocationAuthorization.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/paths/SettingFile.h"
#include "platform/runloop/RunLoop.h"

namespace hx {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAuthorizationFile = "location-authorization";
constexpr const char* kServicesFile = "location-services";

struct Observers {
    std::mutex mutex;
    std::map<LocationAuthorization::ObserverId, std::function<void()>> byId;
    LocationAuthorization::ObserverId nextId = 1;
    std::optional<AuthorizationStatus> promptAnswer;
};

Observers& observers() {
    static Observers* const instance = new Observers;
    return *instance;
}

std::string settingPath(const char* name) {
    return (fs::path(paths::configDirectory()) / name).string();
}

// Settings are read on every status query; a bad one is worth one message, not one per query.
// An empty complaint means the settings read well again.
void complainOnce(const std::string& complaint) {
    static std::mutex mutex;
    static std::string last;
    {
        std::lock_guard lock(mutex);
        if (complaint == last) return;
        last = complaint;
    }
    if (!complaint.empty()) hxLog("%@", complaint.c_str());
}

void notifyObservers() {
    RunLoop::main().post([] {
        std::vector<std::function<void()>> toCall;
        {
            std::lock_guard lock(observers().mutex);
            for (const auto& [id, changed] : observers().byId) toCall.push_back(changed);
        }
        for (const auto& changed : toCall) changed();
    });
}

}  // namespace

const char* LocationAuthorization::word(AuthorizationStatus status) {
    switch (status) {
        case AuthorizationStatus::NotDetermined:
            return "not-determined";
        case AuthorizationStatus::Restricted:
            return "restricted";
        case AuthorizationStatus::Denied:
            return "denied";
        case AuthorizationStatus::AuthorizedAlways:
            return "always";
        case AuthorizationStatus::AuthorizedWhenInUse:
            return "granted";
    }
    return "not-determined";
}

std::optional<AuthorizationStatus> LocationAuthorization::parse(const std::string& text) {
    const std::string w = paths::settingWord(text);
    if (w == "granted" || w == "when-in-use") return AuthorizationStatus::AuthorizedWhenInUse;
    if (w == "always") return AuthorizationStatus::AuthorizedAlways;
    if (w == "denied") return AuthorizationStatus::Denied;
    if (w == "restricted") return AuthorizationStatus::Restricted;
    if (w == "not-determined" || w.empty()) return AuthorizationStatus::NotDetermined;
    return std::nullopt;
}

AuthorizationStatus LocationAuthorization::current() {
    std::string complaint;
    std::optional<AuthorizationStatus> status;
    if (auto value = paths::environmentSettingWord("HALIDEX_LOCATION_AUTH")) {
        status = parse(*value);
        if (!status)
            complaint = "HALIDEX_LOCATION_AUTH=" + *value +
                        " is not one of granted, always, denied, restricted";
    }
    if (!status) {
        if (auto value = paths::readSettingWord(settingPath(kAuthorizationFile))) {
            status = parse(*value);
            if (!status && complaint.empty())
                complaint = "Location authorization setting \"" + *value +
                            "\" not understood; asking again";
        }
    }
    complainOnce(complaint);
    return status.value_or(AuthorizationStatus::NotDetermined);
}

bool LocationAuthorization::servicesEnabled() {
    auto off = [](const std::string& w) {
        return w == "off" || w == "0" || w == "false" || w == "disabled" || w == "no";
    };
    if (auto value = paths::environmentSettingWord("HALIDEX_LOCATION_SERVICES"))
        return !off(*value);
    if (auto value = paths::readSettingWord(settingPath(kServicesFile))) return !off(*value);
    return true;
}

AuthorizationStatus LocationAuthorization::requestWhenInUse() {
    const AuthorizationStatus now = current();
    if (now != AuthorizationStatus::NotDetermined) return now;
    AuthorizationStatus answer = AuthorizationStatus::AuthorizedWhenInUse;
    {
        std::lock_guard lock(observers().mutex);
        if (observers().promptAnswer) answer = *observers().promptAnswer;
    }
    if (answer == AuthorizationStatus::NotDetermined) return now;  // the question went unanswered
    std::string error;
    if (!set(answer, &error)) hxLog("Cannot record the location answer: %@", error.c_str());
    return current();
}

bool LocationAuthorization::set(AuthorizationStatus status, std::string* error) {
    const bool written =
        status == AuthorizationStatus::NotDetermined
            ? paths::removeSetting(settingPath(kAuthorizationFile), error)
            : paths::writeSettingWord(settingPath(kAuthorizationFile), word(status), error);
    notifyObservers();
    return written;
}

bool LocationAuthorization::setServicesEnabled(bool enabled, std::string* error) {
    const bool written =
        paths::writeSettingWord(settingPath(kServicesFile), enabled ? "on" : "off", error);
    notifyObservers();
    return written;
}

void LocationAuthorization::setPromptAnswer(std::optional<AuthorizationStatus> answer) {
    std::lock_guard lock(observers().mutex);
    observers().promptAnswer = answer;
}

LocationAuthorization::ObserverId LocationAuthorization::addObserver(
    std::function<void()> changed) {
    std::lock_guard lock(observers().mutex);
    const ObserverId id = observers().nextId++;
    observers().byId.emplace(id, std::move(changed));
    return id;
}

void LocationAuthorization::removeObserver(ObserverId id) {
    std::lock_guard lock(observers().mutex);
    observers().byId.erase(id);
}

}  // namespace hx
