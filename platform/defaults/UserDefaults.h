#pragma once
// The user-defaults store of a program: string keys with integer, float, boolean or string
// values, kept in <config folder>/<name>.defaults (format in DefaultsFile.h).
//
// Reads come from a copy of the file loaded on first use, then registered defaults. Registered
// defaults live in memory only and are never written unless a value is set.
//
// Writes change the copy at once and reach the file shortly after on the store's own writer
// thread, several changes together; synchronize() writes what is left and returns once it is on
// disk. Writing merges per key: the file is read again under a lock and only the keys this
// store changed are applied, so another process (the settings tool, say) writing other keys
// meanwhile loses nothing. Each write is atomic. The standard store is flushed at exit; any
// other store when it is destroyed.
//
// A damaged file is logged once (per damaged version of the file) and reads as empty; the
// first write over it keeps the damaged file as "<file>.damaged".
//
// Threads: every member may be called from any thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/defaults/DefaultsValue.h"

namespace hx {

class UserDefaults {
  public:
    // The program's own store, named after the program ("halidex" for the camera).
    static UserDefaults& standard();
    // Writes the standard store's pending changes, then forgets its copy of the file and its
    // registered defaults, so the next read sees the file afresh (values another program wrote
    // meanwhile included). Callers register their defaults again afterwards.
    static void resetStandardUserDefaults();
    // The standard store's name: the running program's name.
    static std::string standardName();

    // The store of the given name (another program's store, or one for a test). A '/' in the
    // name becomes '_'.
    explicit UserDefaults(std::string name);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::string& name() const;
    // Where the store lives now (follows HALIDEX_HOME and XDG_CONFIG_HOME).
    std::string filePath() const;

    // Adds to the registered defaults; keys registered again take the new value.
    void registerDefaults(const std::map<std::string, DefaultsValue>& defaults);

    // The stored value, else the registered one, else nothing.
    std::optional<DefaultsValue> objectForKey(const std::string& key);
    bool objectExists(const std::string& key) { return objectForKey(key).has_value(); }
    // Missing values read as 0, 0, false and "".
    std::int64_t integerForKey(const std::string& key);
    float floatForKey(const std::string& key);
    bool boolForKey(const std::string& key);
    std::string stringForKey(const std::string& key);
    // Stored and registered values together, stored ones winning.
    std::map<std::string, DefaultsValue> dictionaryRepresentation();

    void setObject(const DefaultsValue& value, const std::string& key);
    void setInteger(std::int64_t value, const std::string& key) { setObject(value, key); }
    void setFloat(float value, const std::string& key) { setObject(value, key); }
    void setBool(bool value, const std::string& key) { setObject(value, key); }
    void setString(const std::string& value, const std::string& key) { setObject(value, key); }
    // Removes the stored value; the registered default, if any, shows again.
    void removeObjectForKey(const std::string& key);

    // Writes every change made so far and returns once it is on disk; true when nothing was left
    // to write or the write succeeded. A write also brings in the keys others wrote meanwhile.
    bool synchronize();

    // resetStandardUserDefaults() for this store.
    void reset();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace hx
