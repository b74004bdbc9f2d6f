#pragma once
// URLs as the programs hand them to the system: built from a string or a file path, taken apart
// into scheme, path and last path component, and percent-encoded with the character sets allowed
// in each part of a URL.
//
// Threads: immutable values; any thread.

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

namespace hx {

class NSURL {
  public:
    // The URL of a string such as "mailto:a@b.c?subject=x" or "file:///tmp/a.jpg"; nothing when
    // the string has no scheme, holds a space or a control character, or has a '%' that does
    // not start an escape.
    static std::optional<NSURL> URLWithString(std::string_view string);
    // A file URL of an absolute path (a relative path is taken from the current folder), its
    // characters percent-encoded where a URL path does not allow them.
    static NSURL fileURLWithPath(std::string_view path);

    const std::string& absoluteString() const { return string_; }
    // The URL itself: file URLs are made from absolute paths, so every URL here is absolute.
    NSURL absoluteURL() const { return *this; }
    // "mailto", "file", "https", "app-settings": lower case, without the colon.
    std::string scheme() const;
    bool isFileURL() const { return scheme() == "file"; }
    // The path, percent-decoded: the file's path for a file URL, the address for mailto.
    std::string path() const;
    // The last component of the path, "" for "/" or an empty path.
    std::string lastPathComponent() const;

    friend bool operator==(const NSURL&, const NSURL&) = default;

  private:
    explicit NSURL(std::string string) : string_(std::move(string)) {}
    std::string string_;
};

// A set of bytes that a part of a URL may hold without percent-encoding.
class NSCharacterSet {
  public:
    // Letters, digits and -._~!$&'()*+,;=:@/? (what a fragment may hold; queries allow the same).
    static NSCharacterSet URLFragmentAllowedCharacterSet();
    static NSCharacterSet URLQueryAllowedCharacterSet();
    // Letters, digits and -._~!$&'()*+,;=:@/
    static NSCharacterSet URLPathAllowedCharacterSet();

    bool contains(unsigned char c) const { return bytes_.test(c); }

  private:
    explicit NSCharacterSet(std::string_view extra);
    std::bitset<256> bytes_;
};

// The string with every byte outside `allowed` written as %XX (upper-case hex); UTF-8 text is
// encoded byte by byte.
std::string stringByAddingPercentEncodingWithAllowedCharacters(std::string_view text,
                                                               const NSCharacterSet& allowed);
// The string with every %XX decoded; nothing when a '%' does not start a valid escape.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view text);

}  // namespace hx
