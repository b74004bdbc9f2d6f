#include "platform/photos/library/LibraryAuthorization.h"

#include <mutex>

#include "platform/paths/Permission.h"

namespace hx::photos {
namespace {

const paths::Permission<AuthorizationStatus>& permission() {
    // Never destroyed: a queue's thread may still ask for it while the process exits.
    static const auto* const instance = new paths::Permission<AuthorizationStatus>(
        "photo library", LibraryAuthorization::kEnvironmentVariable,
        AuthorizationStatus::NotDetermined,
        {{AuthorizationStatus::Authorized, "authorized"},
         {AuthorizationStatus::Authorized, "authorised"},
         {AuthorizationStatus::Authorized, "granted"},
         {AuthorizationStatus::Limited, "limited"},
         {AuthorizationStatus::Denied, "denied"},
         {AuthorizationStatus::Restricted, "restricted"},
         {AuthorizationStatus::NotDetermined, "not-determined"}});
    return *instance;
}

struct PromptState {
    std::mutex mutex;
    LibraryAuthorization::Prompt prompt;
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
    return permission().word(status);
}

std::optional<AuthorizationStatus> LibraryAuthorization::parse(const std::string& text) {
    return permission().parse(text);
}

AuthorizationStatus LibraryAuthorization::status(const std::string& folder) {
    return permission().current(filePath(folder));
}

bool LibraryAuthorization::set(const std::string& folder, AuthorizationStatus status,
                               std::string* error) {
    return permission().set(filePath(folder), status, error);
}

AuthorizationStatus LibraryAuthorization::ask(const std::string& folder, AccessLevel level) {
    return permission().request(filePath(folder), [level] {
        Prompt prompt;
        {
            std::lock_guard lock(promptState().mutex);
            prompt = promptState().prompt;
        }
        return prompt ? prompt(level) : AuthorizationStatus::Authorized;
    });
}

void LibraryAuthorization::setPrompt(Prompt prompt) {
    PromptState& state = promptState();
    std::lock_guard lock(state.mutex);
    state.prompt = std::move(prompt);
}

}  // namespace hx::photos
