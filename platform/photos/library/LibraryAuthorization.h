#pragma once
// Whether this user lets programs use the photo library. Linux has no per-application
// permission for it, so the answer is a per-user setting of the library itself:
//
// - HALIDEX_PHOTOS_AUTH=authorized|limited|denied|restricted|not-determined overrides everything
//   (tests, kiosks).
// - Otherwise the file "authorization" in the library folder holds one of those words;
//   `halidex-library auth STATUS` writes it. No file means "not determined": nobody was asked.
// - Asking (PhotoLibrary::requestAuthorization while not determined) goes to the prompt. A
//   window can install one that asks the person; until then, and with none installed, the answer
//   is "authorized", as a person who starts the camera on their own desktop means to use it.
//   The answer is written to the file, so the question is asked once.
//
// What each status allows: authorized reads and writes everything; limited reads only the
// assets created while access was limited (and albums), writes as authorized; denied,
// restricted and not determined read nothing and refuse every change.
//
// Threads: every function may be called from any thread. The prompt is called on the library
// queue of the library that asks.

#include <functional>
#include <optional>
#include <string>

namespace hx::photos {

enum class AuthorizationStatus : int {
    NotDetermined = 0,
    Restricted = 1,
    Denied = 2,
    Authorized = 3,
    Limited = 4,
};

enum class AccessLevel : int { AddOnly = 1, ReadWrite = 2 };

class LibraryAuthorization {
  public:
    static constexpr const char* kEnvironmentVariable = "HALIDEX_PHOTOS_AUTH";
    static constexpr const char* kFileName = "authorization";

    static AuthorizationStatus status(const std::string& libraryFolder);
    // Records the status (NotDetermined forgets the answer). False, with the reason, when the
    // setting cannot be written.
    static bool set(const std::string& libraryFolder, AuthorizationStatus status,
                    std::string* error = nullptr);

    // The status after asking, when nobody was asked yet; the current status otherwise.
    static AuthorizationStatus ask(const std::string& libraryFolder, AccessLevel level);

    // Answers the question; an empty prompt restores the default answer, Authorized.
    using Prompt = std::function<AuthorizationStatus(AccessLevel level)>;
    static void setPrompt(Prompt prompt);

    // The setting's words, for files, messages and the command line.
    static const char* word(AuthorizationStatus status);
    static std::optional<AuthorizationStatus> parse(const std::string& word);
};

}  // namespace hx::photos
