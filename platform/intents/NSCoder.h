#pragma once
// A keyed archive of integers and strings: what an intent or a response writes of itself so that
// another process (the widget host, the application) can make it again with initWithCoder.
// Text form, one "key<TAB>i|s<TAB>value" line per entry, values escaped, so archives can be
// stored and compared as plain strings.
//
// Threads: a coder is used by one thread at a time.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace hx {

class NSCoder {
  public:
    NSCoder() = default;
    // Reads an archive made by archivedString(); nothing when it is damaged.
    static std::optional<NSCoder> fromArchivedString(const std::string& text);

    void encodeInteger(std::int64_t value, const std::string& key);
    void encodeObject(const std::string& value, const std::string& key);
    bool containsValueForKey(const std::string& key) const;
    // 0 for a missing key or one that holds a string.
    std::int64_t decodeIntegerForKey(const std::string& key) const;
    // Nothing for a missing key or one that holds an integer.
    std::optional<std::string> decodeObjectForKey(const std::string& key) const;

    std::string archivedString() const;

  private:
    std::map<std::string, std::variant<std::int64_t, std::string>> values_;
};

}  // namespace hx
