#pragma once
// Where a library keeps its image files, and how they get there. Originals live under
// originals/<2 hex>/<UUID>.<extension>, rendered versions of edited assets under
// renders/<2 hex>/<UUID>-<8 hex>.<extension>; the two hex digits spread the files over 256
// folders.
//
// A file is written to a temporary name, flushed and renamed into place (the rename flushed too)
// before any database row names it, so that a crash leaves at worst a file without a row, never
// a row without its file.
//
// Threads: any thread; the object never changes after it is made.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

class LibraryFiles {
  public:
    explicit LibraryFiles(std::string folder) : folder_(std::move(folder)) {}

    static constexpr const char* kOriginalsFolder = "originals";
    static constexpr const char* kRendersFolder = "renders";

    std::string originalPath(const std::string& fileName) const;
    // Where an original lies: `relocated` (relative to the library folder) when it is set and
    // stays inside the folder, else where its name puts it.
    std::string originalPath(const std::string& fileName, const std::string& relocated) const;
    std::string renderPath(const std::string& fileName) const;

    // Writes the bytes durably at `path`, making its folder when needed. False, with a logged
    // message and the reason in `error`, when it cannot.
    bool write(const std::string& path, const std::vector<uint8_t>& bytes,
               std::string* error) const;
    // Removes a file the database no longer names; a missing file is fine.
    void remove(const std::string& path) const;

    // A path relative to the library folder made absolute; nothing when it is absolute or
    // climbs out of the folder (a database read from elsewhere cannot point outside it).
    std::optional<std::string> pathInside(const std::string& relative) const;
    // The path of a file inside the library folder relative to it; empty when it is outside.
    std::string relativePath(const std::string& path) const;

    // What the library records of an original's content to find it again when it is moved:
    // a 64-bit FNV-1a hash of the bytes in hex, with the hash's name in front.
    static std::string contentHash(const std::vector<uint8_t>& bytes);
    // The same for a file; empty when it cannot be read.
    static std::string contentHashOfFile(const std::string& path);

    // Whether a file name is one write() gives its file before renaming it into place.
    static bool isTemporaryName(const std::string& fileName);
    // The name of the file at `path` when it lies where originalPath or renderPath puts a file
    // of that name under `area` (kOriginalsFolder or kRendersFolder); empty otherwise.
    std::string nameInArea(const char* area, const std::string& path) const;

  private:
    std::string pathIn(const char* area, const std::string& fileName) const;

    std::string folder_;
};

}  // namespace hx::photos
