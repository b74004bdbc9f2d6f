#include "platform/paths/Permission.h"

#include "platform/log/Log.h"
#include "platform/paths/SettingFile.h"

namespace hx::paths {

PermissionSetting::PermissionSetting(const char* service, const char* environmentVariable,
                                     int notDetermined, std::vector<Word> words)
    : service_(service),
      environmentVariable_(environmentVariable),
      notDetermined_(notDetermined),
      words_(std::move(words)) {}

const char* PermissionSetting::word(int status) const {
    for (const Word& w : words_)
        if (w.status == status) return w.word;
    return word(notDetermined_);
}

std::optional<int> PermissionSetting::parse(const std::string& text) const {
    const std::string w = settingWord(text);
    // An empty setting is no answer.
    if (w.empty()) return notDetermined_;
    for (const Word& candidate : words_)
        if (w == candidate.word) return candidate.status;
    return std::nullopt;
}

std::string PermissionSetting::wordList() const {
    std::vector<const char*> written;
    for (const Word& w : words_)
        if (word(w.status) == w.word) written.push_back(w.word);
    std::string list;
    for (size_t i = 0; i < written.size(); ++i) {
        if (i > 0) list += i + 1 == written.size() ? " or " : ", ";
        list += written[i];
    }
    return list;
}

int PermissionSetting::current(const std::string& file) const {
    std::string complaint;
    if (auto value = environmentSettingWord(environmentVariable_)) {
        if (auto status = parse(*value)) {
            complainOnce({});
            return *status;
        }
        complaint = std::string(environmentVariable_) + "=" + *value + " is not one of " +
                    wordList() + "; ignoring it";
    }
    std::string error;
    std::optional<int> status;
    if (auto value = readSettingWord(file, &error)) {
        status = parse(*value);
        if (!status && complaint.empty())
            complaint = file + " holds \"" + *value + "\", not one of " + wordList() +
                        "; taking it as " + word(notDetermined_);
    } else if (!error.empty() && complaint.empty()) {
        complaint = "cannot read the answer: " + error;
    }
    complainOnce(complaint);
    return status.value_or(notDetermined_);
}

bool PermissionSetting::set(const std::string& file, int status, std::string* error) const {
    if (status == notDetermined_) return removeSetting(file, error);
    return writeSettingWord(file, word(status), error);
}

void PermissionSetting::complainOnce(const std::string& complaint) const {
    {
        std::lock_guard lock(mutex_);
        if (complaint == lastComplaint_) return;
        lastComplaint_ = complaint;
    }
    if (!complaint.empty()) complain(complaint);
}

void PermissionSetting::complain(const std::string& message) const {
    hxLog("%s permission: %s", service_, message.c_str());
}

}  // namespace hx::paths
