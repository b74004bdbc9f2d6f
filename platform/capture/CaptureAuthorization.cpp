#include "platform/capture/CaptureAuthorization.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/paths/SettingFile.h"

namespace hx::capture {

namespace {

namespace fs = std::filesystem;

constexpr const char* kAuthorizationFile = "camera-authorization";

struct Prompt {
    std::mutex mutex;
    std::optional<CaptureAuthorizationStatus> answer;
};

Prompt& prompt() {
    static Prompt* const instance = new Prompt;
    return *instance;
}

std::string settingPath() {
    return (fs::path(paths::configDirectory()) / kAuthorizationFile).string();
}

}  // namespace

const char* CaptureAuthorization::word(CaptureAuthorizationStatus status) {
    switch (status) {
        case AVAuthorizationStatusAuthorized:
            return "authorized";
        case AVAuthorizationStatusDenied:
            return "denied";
        case AVAuthorizationStatusRestricted:
            return "restricted";
        case AVAuthorizationStatusNotDetermined:
        default:
            return "not-determined";
    }
}

std::optional<CaptureAuthorizationStatus> CaptureAuthorization::parse(const std::string& text) {
    const std::string w = paths::settingWord(text);
    if (w == "authorized" || w == "authorised" || w == "granted")
        return AVAuthorizationStatusAuthorized;
    if (w == "denied") return AVAuthorizationStatusDenied;
    if (w == "restricted") return AVAuthorizationStatusRestricted;
    if (w == "not-determined" || w == "notdetermined") return AVAuthorizationStatusNotDetermined;
    return std::nullopt;
}

CaptureAuthorizationStatus CaptureAuthorization::current(const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return AVAuthorizationStatusAuthorized;
    if (const char* forced = std::getenv("HALIDEX_CAMERA_AUTH"); forced && *forced) {
        if (auto status = parse(forced)) return *status;
        hxLog(
            "HALIDEX_CAMERA_AUTH=%@ is not one of authorized, denied, restricted, "
            "not-determined; ignoring it",
            forced);
    }
    const std::optional<std::string> text = paths::readSettingWord(settingPath());
    if (!text) return AVAuthorizationStatusNotDetermined;
    return parse(*text).value_or(AVAuthorizationStatusNotDetermined);
}

CaptureAuthorizationStatus CaptureAuthorization::request(const std::string& mediaType) {
    const CaptureAuthorizationStatus status = current(mediaType);
    if (status != AVAuthorizationStatusNotDetermined) return status;
    CaptureAuthorizationStatus answer = AVAuthorizationStatusAuthorized;
    {
        std::lock_guard lock(prompt().mutex);
        if (prompt().answer) answer = *prompt().answer;
    }
    std::string error;
    if (!set(answer, &error)) hxLog("Cannot record the camera permission: %@", error.c_str());
    return answer;
}

bool CaptureAuthorization::set(CaptureAuthorizationStatus status, std::string* error) {
    if (status == AVAuthorizationStatusNotDetermined)
        return paths::removeSetting(settingPath(), error);
    return paths::writeSettingWord(settingPath(), word(status), error);
}

void CaptureAuthorization::setPromptAnswer(std::optional<CaptureAuthorizationStatus> answer) {
    std::lock_guard lock(prompt().mutex);
    prompt().answer = answer;
}

}  // namespace hx::capture
