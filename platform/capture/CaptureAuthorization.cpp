#include "platform/capture/CaptureAuthorization.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include <unistd.h>

#include "platform/capture/pipewire/CameraPortal.h"
#include "platform/log/Log.h"
#include "platform/paths/Paths.h"
#include "platform/paths/Permission.h"

namespace hx::capture {

namespace {

namespace fs = std::filesystem;

constexpr const char* kAuthorizationFile = "camera-authorization";

const paths::Permission<CaptureAuthorizationStatus>& permission() {
    // Never destroyed: a queue's thread may still ask for it while the process exits.
    static const auto* const instance = new paths::Permission<CaptureAuthorizationStatus>(
        "camera", "HALIDEX_CAMERA_AUTH", AVAuthorizationStatusNotDetermined,
        {{AVAuthorizationStatusAuthorized, "authorized"},
         {AVAuthorizationStatusAuthorized, "authorised"},
         {AVAuthorizationStatusAuthorized, "granted"},
         {AVAuthorizationStatusDenied, "denied"},
         {AVAuthorizationStatusRestricted, "restricted"},
         {AVAuthorizationStatusNotDetermined, "not-determined"},
         {AVAuthorizationStatusNotDetermined, "notdetermined"}});
    return *instance;
}

struct Prompt {
    std::mutex mutex;
    std::optional<CaptureAuthorizationStatus> answer;
};

Prompt& prompt() {
    static Prompt* const instance = new Prompt;
    return *instance;
}

// Inside a sandbox the desktop portal answers, unless the environment overrides everything.
bool portalAnswers() {
    const char* forced = std::getenv("HALIDEX_CAMERA_AUTH");
    return !(forced && *forced) && CameraPortal::inSandbox();
}

std::string settingPath() {
    return (fs::path(paths::configDirectory()) / kAuthorizationFile).string();
}

}  // namespace

const char* CaptureAuthorization::word(CaptureAuthorizationStatus status) {
    return permission().word(status);
}

std::optional<CaptureAuthorizationStatus> CaptureAuthorization::parse(const std::string& text) {
    return permission().parse(text);
}

CaptureAuthorizationStatus CaptureAuthorization::current(const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return AVAuthorizationStatusAuthorized;
    if (portalAnswers())
        return CameraPortal::lastAnswer().value_or(AVAuthorizationStatusNotDetermined);
    return permission().current(settingPath());
}

CaptureAuthorizationStatus CaptureAuthorization::request(const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return AVAuthorizationStatusAuthorized;
    if (portalAnswers()) {
        if (auto known = CameraPortal::lastAnswer()) return *known;
        // The camera backend asks again for its own remote; the portal remembers the grant.
        CameraPortal::Access access = CameraPortal::requestAccess();
        if (access.pipeWireFd >= 0) ::close(access.pipeWireFd);
        if (!access.error.empty()) hxLog("camera access: %s", access.error.c_str());
        return access.status;
    }
    return permission().request(settingPath(), [] {
        std::lock_guard lock(prompt().mutex);
        return prompt().answer.value_or(AVAuthorizationStatusAuthorized);
    });
}

bool CaptureAuthorization::set(CaptureAuthorizationStatus status, std::string* error) {
    return permission().set(settingPath(), status, error);
}

void CaptureAuthorization::setPromptAnswer(std::optional<CaptureAuthorizationStatus> answer) {
    std::lock_guard lock(prompt().mutex);
    prompt().answer = answer;
}

}  // namespace hx::capture
