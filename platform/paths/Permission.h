#pragma once
// A permission answer kept as a one-word setting (camera, location, photo library). Linux has
// no per-application permissions for these, so each is a per-user setting:
//
// - the environment variable (HALIDEX_<SERVICE>_AUTH) overrides everything for a run;
// - otherwise the setting file holds the word of the answer; no file means nobody was asked;
// - asking, while nobody has answered, takes the service's answer and writes it to the file.
//
// Each service gives its own table of statuses and words: the first word of a status is the one
// written, the others are accepted when read. Words are compared as settings compare them
// (trimmed, lower case, '_' as '-'). A word that is not in the table is reported once (until it
// changes) and the status reads as not determined.
//
// Threads: every member may be called from any thread.

#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hx::paths {

// The part of a permission that does not depend on the status type: statuses as numbers.
class PermissionSetting {
  public:
    struct Word {
        int status;
        const char* word;
    };

    PermissionSetting(const char* service, const char* environmentVariable, int notDetermined,
                      std::vector<Word> words);

    const char* service() const { return service_; }
    const char* environmentVariable() const { return environmentVariable_; }
    const char* word(int status) const;
    std::optional<int> parse(const std::string& text) const;
    // The written words, "authorized, denied or restricted".
    std::string wordList() const;

    // The answer of the environment, else of the file at `file`, else not determined.
    int current(const std::string& file) const;
    // Writes the answer (not determined removes the file).
    bool set(const std::string& file, int status, std::string* error) const;
    // The current answer; when not determined, `ask()`'s answer, written to the file (an answer
    // of not determined means the question went unanswered and nothing is written). Two threads
    // asking at once get one question.
    template <typename Ask>
    int request(const std::string& file, Ask&& ask) const {
        std::lock_guard asking(askMutex_);
        const int now = current(file);
        if (now != notDetermined_) return now;
        const int answer = ask();
        if (answer == notDetermined_) return now;
        std::string error;
        if (!set(file, answer, &error))
            complain("cannot record the answer " + std::string(word(answer)) + ": " + error);
        return answer;
    }

  private:
    // Logs a complaint unless it is the last one logged; an empty one clears it.
    void complainOnce(const std::string& complaint) const;
    void complain(const std::string& message) const;

    const char* service_;
    const char* environmentVariable_;
    int notDetermined_;
    std::vector<Word> words_;
    mutable std::mutex mutex_;
    mutable std::string lastComplaint_;
    mutable std::mutex askMutex_;
};

// The typed face of a service's permission, over its own status enum.
template <typename Status>
class Permission {
  public:
    struct Word {
        Status status;
        const char* word;
    };

    Permission(const char* service, const char* environmentVariable, Status notDetermined,
               std::initializer_list<Word> words)
        : setting_(service, environmentVariable, static_cast<int>(notDetermined), convert(words)) {}

    const char* environmentVariable() const { return setting_.environmentVariable(); }
    const char* word(Status status) const { return setting_.word(static_cast<int>(status)); }
    std::optional<Status> parse(const std::string& text) const {
        if (auto status = setting_.parse(text)) return static_cast<Status>(*status);
        return std::nullopt;
    }
    std::string wordList() const { return setting_.wordList(); }
    Status current(const std::string& file) const {
        return static_cast<Status>(setting_.current(file));
    }
    bool set(const std::string& file, Status status, std::string* error = nullptr) const {
        return setting_.set(file, static_cast<int>(status), error);
    }
    template <typename Ask>
    Status request(const std::string& file, Ask&& ask) const {
        return static_cast<Status>(setting_.request(file, [&] { return static_cast<int>(ask()); }));
    }

  private:
    static std::vector<PermissionSetting::Word> convert(std::initializer_list<Word> words) {
        std::vector<PermissionSetting::Word> converted;
        for (const Word& w : words) converted.push_back({static_cast<int>(w.status), w.word});
        return converted;
    }

    PermissionSetting setting_;
};

}  // namespace hx::paths
