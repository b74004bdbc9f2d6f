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
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hx::photos {

// The files a writer is about to make in the camera folder, recorded before they appear there,
// so that those of a writer killed before its change committed can be told from the user's own
// files and removed. One record per change, <library>/pending/<origin>-<n>, removed with the
// object.
class PendingFiles {
  public:
    PendingFiles(const std::string& libraryFolder, const std::string& origin);
    ~PendingFiles();
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    static constexpr const char* kFolder = "pending";

    // A temporary file about to be made (no one else's file has its name).
    bool recordTemporary(const std::string& path);
    // A file just given its name, by its device and inode, so that only that very file is
    // ever removed.
    bool recordNamed(const std::string& path, uint64_t device, uint64_t inode);

  private:
    bool append(const std::string& line);

    int fd_ = -1;
    std::string path_;
};

class LibraryFiles {
  public:
    // `cameraFolder`: where new originals go, by year and month with readable names; empty:
    // under originals/ in the library folder. `earlierCameraFolders`: folders that were the
    // camera folder before (the user chose another); their originals stay there.
    explicit LibraryFiles(std::string folder, std::string cameraFolder = {},
                          std::vector<std::string> earlierCameraFolders = {})
        : folder_(std::move(folder)),
          camera_(std::move(cameraFolder)),
          earlier_(std::move(earlierCameraFolders)) {}

    const std::string& cameraFolder() const { return camera_; }
    const std::vector<std::string>& earlierCameraFolders() const { return earlier_; }
    // The camera folder, then the earlier ones.
    std::vector<std::string> cameraFolders() const;

    // The library's record of the camera folders it was opened with, one absolute path a line,
    // in <library folder>/camera-folders: adds `cameraFolder` when it is new, and returns the
    // others. A record that cannot be written is logged; the folder is then remembered next time.
    static constexpr const char* kCameraFoldersFile = "camera-folders";
    static std::vector<std::string> rememberCameraFolder(const std::string& libraryFolder,
                                                         const std::string& cameraFolder);

    static constexpr const char* kOriginalsFolder = "originals";
    static constexpr const char* kRendersFolder = "renders";

    std::string originalPath(const std::string& fileName) const;
    // Where an original lies: `stored` when it is set (relative to the library folder, or
    // absolute inside the camera folder or an earlier one), else where its name puts it. A stored
    // path that would lead elsewhere is not followed.
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
    // How a row records an original at `path`: relative inside the library folder, absolute
    // inside the camera folder or an earlier one; empty elsewhere.
    std::string storedPath(const std::string& path) const;

    // Writes the bytes durably into the camera folder's <year>/<month> of `date` (local time)
    // under the first free name `nameFor(0)`, `nameFor(1)`, ..., never replacing a file. The
    // path, or nothing with a logged message and the reason.
    std::optional<std::string> writeToCameraFolder(double date,
                                                   const std::function<std::string(int)>& nameFor,
                                                   const std::vector<uint8_t>& bytes,
                                                   PendingFiles& pending, std::string* error) const;

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

    // Whether `path` lies below the camera folder or an earlier one.
    bool inCameraFolders(const std::string& path) const;

    std::string folder_;
    std::string camera_;
    std::vector<std::string> earlier_;
};

}  // namespace hx::photos
