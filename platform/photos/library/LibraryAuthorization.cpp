#include "platform/photos/library/LibraryAuthorization.h"

#include <cstdlib>
#include <mutex>

#include "platform/log/Log.h"
#include "platform/paths/SettingFile.h"

namespace hx::photos {
namespace {

struct PromptState {
    std::mutex mutex;
    LibraryAuthorization::Prompt prompt;
    // Two threads asking at once get one question.
    std::mutex askMutex;
};

PromptState& promptState() {
    static PromptState* const state = new PromptState;
    return *state;
}

std::string filePath(const std::string& folder) {
    return folder + "/" + LibraryAuthorization::kFileName;
}

}  // namespace

const char* LibraryAuthorization::word(AuthorizationStatus status) {
    switch (status) {
        case AuthorizationStatus::NotDetermined:
            return "not-determined";
        case AuthorizationStatus::Restricted:
            return "restricted";
        case AuthorizationStatus::Denied:
            return "denied";
        case AuthorizationStatus::Authorized:
            return "authorized";
        case AuthorizationStatus::Limited:
            return "limited";
    }
    return "not-determined";
}

std::optional<AuthorizationStatus> LibraryAuthorization::parse(const std::string& text) {
    const std::string w = paths::settingWord(text);
    for (auto status : {AuthorizationStatus::NotDetermined, AuthorizationStatus::Restricted,
                        AuthorizationStatus::Denied, AuthorizationStatus::Authorized,
                        AuthorizationStatus::Limited}) {
        if (w == word(status)) return status;
    }
    if (w == "authorised") return AuthorizationStatus::Authorized;
    return std::nullopt;
}

AuthorizationStatus LibraryAuthorization::status(const std::string& folder) {
    if (const char* forced = std::getenv(kEnvironmentVariable); forced && *forced) {
        if (auto status = parse(forced)) return *status;
        hxLog("photo library: %@=%@ is not a status; ignoring it", kEnvironmentVariable, forced);
    }
    std::string error;
    const std::optional<std::string> text = paths::readSettingWord(filePath(folder), &error);
    if (!text) {
        if (!error.empty())
            hxLog("photo library: cannot read the authorisation: %@", error.c_str());
        return AuthorizationStatus::NotDetermined;
    }
    if (auto status = parse(*text)) return *status;
    hxLog("photo library: %@ holds no status; taking it as not determined",
          filePath(folder).c_str());
    return AuthorizationStatus::NotDetermined;
}

bool LibraryAuthorization::set(const std::string& folder, AuthorizationStatus status,
                               std::string* error) {
    if (status == AuthorizationStatus::NotDetermined)
        return paths::removeSetting(filePath(folder), error);
    return paths::writeSettingWord(filePath(folder), word(status), error);
}

AuthorizationStatus LibraryAuthorization::ask(const std::string& folder, AccessLevel level) {
    PromptState& state = promptState();
    std::lock_guard asking(state.askMutex);
    AuthorizationStatus current = status(folder);
    if (current != AuthorizationStatus::NotDetermined) return current;
    Prompt prompt;
    {
        std::lock_guard lock(state.mutex);
        prompt = state.prompt;
    }
    AuthorizationStatus answer = prompt ? prompt(level) : AuthorizationStatus::Authorized;
    if (answer == AuthorizationStatus::NotDetermined) return answer;
    std::string error;
    if (!set(folder, answer, &error)) {
        hxLog("photo library: cannot record the answer %@: %@", word(answer), error.c_str());
    }
    return answer;
}

void LibraryAuthorization::setPrompt(Prompt prompt) {
    PromptState& state = promptState();
    std::lock_guard lock(state.mutex);
    state.prompt = std::move(prompt);
}

}  // namespace hx::photos
