#include "platform/capture/CaptureAuthorization.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/log/Log.h"
#include "platform/paths/Paths.h"

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

std::string trimmedLower(std::string text) {
    auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

fs::path settingPath() {
    return fs::path(paths::configDirectory()) / kAuthorizationFile;
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
    const std::string w = trimmedLower(text);
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
    std::ifstream in(settingPath());
    if (!in) return AVAuthorizationStatusNotDetermined;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(text).value_or(AVAuthorizationStatusNotDetermined);
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
    const fs::path target = settingPath();
    std::error_code ec;
    if (status == AVAuthorizationStatusNotDetermined) {
        fs::remove(target, ec);
        return true;
    }
    if (!paths::ensureDirectory(target.parent_path().string(), error)) return false;
    const fs::path temporary = target.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << word(status) << '\n';
        out.flush();
        if (!out) {
            if (error) *error = "cannot write " + temporary.string();
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        if (error) *error = "cannot replace " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}

void CaptureAuthorization::setPromptAnswer(std::optional<CaptureAuthorizationStatus> answer) {
    std::lock_guard lock(prompt().mutex);
    prompt().answer = answer;
}

}  // namespace hx::capture
