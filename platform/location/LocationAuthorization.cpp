#include "platform/location/LocationAuthorization.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
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

std::string trimmedLower(std::string text) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return trimmedLower(value);
}

std::optional<std::string> settingFile(const char* name) {
    std::ifstream in(fs::path(paths::configDirectory()) / name);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return trimmedLower(text);
}

bool writeSettingFile(const char* name, const std::string& word, std::string* error) {
    const std::string folder = paths::configDirectory();
    if (!paths::ensureDirectory(folder, error)) return false;
    const fs::path target = fs::path(folder) / name;
    const fs::path temporary = fs::path(folder) / (std::string(name) + ".new");
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << word << '\n';
        out.flush();
        if (!out) {
            if (error) *error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        if (error) *error = "cannot replace " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
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
    const std::string w = trimmedLower(text);
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
    if (auto value = environment("HALIDEX_LOCATION_AUTH")) {
        status = parse(*value);
        if (!status)
            complaint = "HALIDEX_LOCATION_AUTH=" + *value +
                        " is not one of granted, always, denied, restricted";
    }
    if (!status) {
        if (auto value = settingFile(kAuthorizationFile)) {
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
    if (auto value = environment("HALIDEX_LOCATION_SERVICES")) return !off(*value);
    if (auto value = settingFile(kServicesFile)) return !off(*value);
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
    bool written = true;
    if (status == AuthorizationStatus::NotDetermined) {
        std::error_code ec;
        fs::remove(fs::path(paths::configDirectory()) / kAuthorizationFile, ec);
        if (ec && error) *error = ec.message();
        written = !ec;
    } else {
        written = writeSettingFile(kAuthorizationFile, word(status), error);
    }
    notifyObservers();
    return written;
}

bool LocationAuthorization::setServicesEnabled(bool enabled, std::string* error) {
    const bool written = writeSettingFile(kServicesFile, enabled ? "on" : "off", error);
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
