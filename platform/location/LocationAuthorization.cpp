#include "platform/location/LocationAuthorization.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/paths/Paths.h"
#include "platform/paths/Permission.h"
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

// "granted" is the ordinary answer to the question, which asks for use while the camera is open.
const paths::Permission<AuthorizationStatus>& permission() {
    // Never destroyed: a queue's thread may still ask for it while the process exits.
    static const auto* const instance = new paths::Permission<AuthorizationStatus>(
        "location", "HALIDEX_LOCATION_AUTH", AuthorizationStatus::NotDetermined,
        {{AuthorizationStatus::AuthorizedWhenInUse, "granted"},
         {AuthorizationStatus::AuthorizedWhenInUse, "when-in-use"},
         {AuthorizationStatus::AuthorizedAlways, "always"},
         {AuthorizationStatus::Denied, "denied"},
         {AuthorizationStatus::Restricted, "restricted"},
         {AuthorizationStatus::NotDetermined, "not-determined"}});
    return *instance;
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
    return permission().word(status);
}

std::optional<AuthorizationStatus> LocationAuthorization::parse(const std::string& text) {
    return permission().parse(text);
}

AuthorizationStatus LocationAuthorization::current() {
    return permission().current(settingPath(kAuthorizationFile));
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
    bool asked = false;
    const AuthorizationStatus status = permission().request(settingPath(kAuthorizationFile), [&] {
        asked = true;
        std::lock_guard lock(observers().mutex);
        return observers().promptAnswer.value_or(AuthorizationStatus::AuthorizedWhenInUse);
    });
    if (asked && status != AuthorizationStatus::NotDetermined) notifyObservers();
    return status;
}

bool LocationAuthorization::set(AuthorizationStatus status, std::string* error) {
    const bool written = permission().set(settingPath(kAuthorizationFile), status, error);
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
