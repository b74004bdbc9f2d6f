#include "platform/defaults/UserDefaults.h"

#include <errno.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/defaults/DefaultsFile.h"
#include "platform/log/Log.h"
#include "platform/paths/FileAccess.h"
#include "platform/paths/Paths.h"

namespace hx {

using defaults::DefaultsFileContents;
using defaults::Entries;
using defaults::FileSignature;

namespace {

std::string sanitizedName(std::string name) {
    for (char& c : name)
        if (c == '/') c = '_';
    if (name.empty() || name == "." || name == "..") name = "program";
    return name;
}

}  // namespace

struct UserDefaults::State {
    struct PendingChange {
        std::optional<DefaultsValue> value;  // nothing: the key was removed
        std::uint64_t change = 0;
    };
    using Pending = std::map<std::string, PendingChange>;

    explicit State(std::string storeName) : name(sanitizedName(std::move(storeName))) {}

    const std::string name;

    // Guards everything below it. Lock order: writeMutex before mutex.
    std::mutex mutex;
    std::condition_variable wake;
    bool loaded = false;
    Entries stored;  // the file as last read, with this store's unwritten changes applied
    Entries registered;
    Pending pending;  // changes not yet written, each with the number of the change
    std::uint64_t changeCount = 0;
    std::uint64_t attemptedChangeCount = 0;  // changeCount when the last write began
    bool writerStarted = false;
    bool stopping = false;
    std::thread writer;
    std::optional<FileSignature> reportedDamage;

    // Held for the whole of one write, so this process writes one at a time.
    std::mutex writeMutex;

    std::string path() const { return paths::configDirectory() + "/" + name + ".defaults"; }

    static void apply(const Pending& changes, Entries& entries) {
        for (const auto& [key, change] : changes) {
            if (change.value)
                entries.insert_or_assign(key, *change.value);
            else
                entries.erase(key);
        }
    }

    void reportDamageLocked(const DefaultsFileContents& contents, const std::string& file) {
        if (!contents.damaged || reportedDamage == contents.signature) return;
        reportedDamage = contents.signature;
        if (contents.badLines.empty()) {
            hxLog("User defaults file %s cannot be read (%s); it is kept aside when next written",
                  file.c_str(), contents.problem.c_str());
            return;
        }
        hxLog(
            "User defaults file %s has bad lines, which are skipped (%s); the other settings are "
            "kept and the file is copied to %s.damaged.N before it is next written",
            file.c_str(), contents.problem.c_str(), file.c_str());
    }

    void loadLocked() {
        if (loaded) return;
        std::string file = path();
        DefaultsFileContents contents = defaults::readDefaultsFile(file);
        reportDamageLocked(contents, file);
        stored = std::move(contents.entries);
        apply(pending, stored);
        loaded = true;
    }

    void setLocked(const std::string& key, std::optional<DefaultsValue> value) {
        if (loaded) {
            if (value)
                stored.insert_or_assign(key, *value);
            else
                stored.erase(key);
        }
        pending.insert_or_assign(key, PendingChange{std::move(value), ++changeCount});
        if (!writerStarted && !stopping) {
            writerStarted = true;
            writer = std::thread([this] { writerLoop(); });
        }
        wake.notify_one();
    }

    // Writes the pending changes into the file, merged with what others wrote.
    bool write() {
        std::lock_guard writeLock(writeMutex);
        Pending changes;
        {
            std::lock_guard lock(mutex);
            changes = pending;
            attemptedChangeCount = changeCount;
        }
        if (changes.empty()) return true;

        std::string file = path();
        auto fail = [&](const std::string& why) {
            hxLog("Cannot save user defaults to %s: %s", file.c_str(), why.c_str());
            return false;
        };
        std::string error;
        if (!paths::ensureDirectory(paths::configDirectory(), &error)) return fail(error);
        defaults::DefaultsFileLock fileLock(file);
        if (!fileLock.locked()) return fail(fileLock.error());

        DefaultsFileContents contents = defaults::readDefaultsFile(file);
        {
            std::lock_guard lock(mutex);
            reportDamageLocked(contents, file);
        }
        if (contents.damaged && defaults::keepDamagedCopy(file, &error).empty() && !error.empty())
            return fail(error);
        Entries merged = std::move(contents.entries);
        apply(changes, merged);
        if (!paths::writeFileAtomically(file, defaults::serializeDefaults(merged, name), &error,
                                        0600))
            return fail(error);

        std::lock_guard lock(mutex);
        for (const auto& [key, change] : changes) {
            auto it = pending.find(key);
            if (it != pending.end() && it->second.change == change.change) pending.erase(it);
        }
        stored = std::move(merged);
        apply(pending, stored);
        loaded = true;
        return true;
    }

    // Writes soon after each change; a failed write waits for the next change instead of
    // retrying in a loop.
    void writerLoop() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || changeCount != attemptedChangeCount; });
            if (stopping) return;
            lock.unlock();
            write();
            lock.lock();
        }
    }

    void stopWriter() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        if (writer.joinable()) writer.join();
    }

    void forget() {
        write();
        std::lock_guard lock(mutex);
        loaded = false;
        stored.clear();
        registered.clear();
        apply(pending, stored);
    }
};

UserDefaults& UserDefaults::standard() {
    // Never destroyed: other objects may still write while statics are torn down; the exit
    // handler below writes what is left.
    static UserDefaults* const instance = [] {
        auto* defaults = new UserDefaults(standardName());
        std::atexit([] {
            UserDefaults& store = standard();
            store.state_->stopWriter();
            store.state_->write();
        });
        return defaults;
    }();
    return *instance;
}

void UserDefaults::resetStandardUserDefaults() {
    standard().reset();
}

std::string UserDefaults::standardName() {
    return sanitizedName(program_invocation_short_name ? program_invocation_short_name : "");
}

UserDefaults::UserDefaults(std::string name) : state_(std::make_unique<State>(std::move(name))) {}

UserDefaults::~UserDefaults() {
    state_->stopWriter();
    state_->write();
}

const std::string& UserDefaults::name() const {
    return state_->name;
}

std::string UserDefaults::filePath() const {
    return state_->path();
}

void UserDefaults::registerDefaults(const std::map<std::string, DefaultsValue>& defaults) {
    std::lock_guard lock(state_->mutex);
    for (const auto& [key, value] : defaults) state_->registered.insert_or_assign(key, value);
}

std::optional<DefaultsValue> UserDefaults::objectForKey(const std::string& key) {
    std::lock_guard lock(state_->mutex);
    state_->loadLocked();
    if (auto it = state_->stored.find(key); it != state_->stored.end()) return it->second;
    if (auto it = state_->registered.find(key); it != state_->registered.end()) return it->second;
    return std::nullopt;
}

std::int64_t UserDefaults::integerForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->integerValue() : 0;
}

float UserDefaults::floatForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->floatValue() : 0.0f;
}

bool UserDefaults::boolForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->boolValue() : false;
}

std::string UserDefaults::stringForKey(const std::string& key) {
    auto value = objectForKey(key);
    return value ? value->stringValue() : std::string();
}

std::map<std::string, DefaultsValue> UserDefaults::dictionaryRepresentation() {
    std::lock_guard lock(state_->mutex);
    state_->loadLocked();
    std::map<std::string, DefaultsValue> all = state_->stored;
    all.insert(state_->registered.begin(), state_->registered.end());
    return all;
}

void UserDefaults::setObject(const DefaultsValue& value, const std::string& key) {
    std::lock_guard lock(state_->mutex);
    state_->setLocked(key, value);
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(state_->mutex);
    state_->setLocked(key, std::nullopt);
}

bool UserDefaults::synchronize() {
    return state_->write();
}

void UserDefaults::reset() {
    state_->forget();
}

}  // namespace hx
