#include "platform/photos/store/LibraryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/image/FileIO.h"
#include "platform/log/Log.h"
#include "platform/paths/FileAccess.h"
#include "platform/paths/Paths.h"
#include "platform/photos/store/PicturesFolder.h"

namespace hx::photos {
namespace {

std::string lowercase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string LibraryFiles::pathIn(const char* area, const std::string& fileName) const {
    return folder_ + "/" + area + "/" + lowercase(fileName.substr(0, 2)) + "/" + fileName;
}

std::string LibraryFiles::originalPath(const std::string& fileName) const {
    return pathIn(kOriginalsFolder, fileName);
}

namespace {

// Whether `path` lies below `root` without climbing out of it.
bool below(const std::string& root, const std::string& path) {
    if (root.empty() || path.compare(0, root.size() + 1, root + "/") != 0) return false;
    for (const auto& part : std::filesystem::path(path.substr(root.size() + 1))) {
        if (part == ".." || part == ".") return false;
    }
    return true;
}

// Whether an absolute path lies below a folder named like the camera folder, without climbing.
bool insideACameraFolder(const std::string& path) {
    std::filesystem::path p(path);
    bool inside = false;
    for (const auto& part : p.parent_path()) {
        if (part == ".." || part == ".") return false;
        if (part == kCameraFolderName) inside = true;
    }
    return inside;
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

PendingFiles::PendingFiles(const std::string& libraryFolder, const std::string& origin) {
    static std::atomic<unsigned> counter{0};
    std::string folder = libraryFolder + "/" + kFolder;
    paths::ensureDirectory(folder, nullptr);
    path_ = folder + "/" + origin + "-" + std::to_string(counter.fetch_add(1));
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ >= 0) syncFolder(folder);
}

PendingFiles::~PendingFiles() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

bool PendingFiles::append(const std::string& line) {
    if (fd_ < 0) return false;
    std::string text = line + "\n";
    return ::write(fd_, text.data(), text.size()) == ssize_t(text.size()) && ::fsync(fd_) == 0;
}

bool PendingFiles::recordTemporary(const std::string& path) {
    return append("T " + path);
}

bool PendingFiles::recordNamed(const std::string& path, uint64_t device, uint64_t inode) {
    return append("F " + std::to_string(device) + " " + std::to_string(inode) + " " + path);
}

std::string LibraryFiles::originalPath(const std::string& fileName,
                                       const std::string& stored) const {
    if (!stored.empty()) {
        if (stored.front() == '/') {
            // Inside this store's camera folder, or inside a camera folder it was not told of
            // (another program's pictures folder, a folder the user has since moved away from).
            if (inCameraFolders(stored) || insideACameraFolder(stored)) return stored;
        } else if (auto path = pathInside(stored)) {
            return *path;
        }
    }
    return originalPath(fileName);
}

std::string LibraryFiles::storedPath(const std::string& path) const {
    if (inCameraFolders(path)) return path;
    return relativePath(path);
}

bool LibraryFiles::inCameraFolders(const std::string& path) const {
    if (below(camera_, path)) return true;
    for (const std::string& earlier : earlier_)
        if (below(earlier, path)) return true;
    return false;
}

std::vector<std::string> LibraryFiles::cameraFolders() const {
    std::vector<std::string> folders;
    if (!camera_.empty()) folders.push_back(camera_);
    folders.insert(folders.end(), earlier_.begin(), earlier_.end());
    return folders;
}

std::vector<std::string> LibraryFiles::rememberCameraFolder(const std::string& libraryFolder,
                                                            const std::string& cameraFolder) {
    const std::string record = libraryFolder + "/" + kCameraFoldersFile;
    std::string text;
    paths::readWholeFile(record, text);  // none yet: nothing remembered
    std::vector<std::string> earlier;
    bool known = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Only absolute paths: a damaged record cannot make a relative path count.
        if (line.empty() || line.front() != '/') continue;
        if (line == cameraFolder)
            known = true;
        else
            earlier.push_back(line);
    }
    if (!known && !cameraFolder.empty() && cameraFolder.front() == '/' &&
        cameraFolder.find('\n') == std::string::npos) {
        if (!text.empty() && text.back() != '\n') text += '\n';
        text += cameraFolder + "\n";
        std::string error;
        if (!paths::writeFileAtomically(record, text, &error, 0600)) {
            hxLog("photo library: cannot record the camera folder %s in %s: %s",
                  cameraFolder.c_str(), record.c_str(), error.c_str());
        }
    }
    return earlier;
}

std::optional<std::string> LibraryFiles::writeToCameraFolder(
    double date, const std::function<std::string(int)>& nameFor, const std::vector<uint8_t>& bytes,
    PendingFiles& pending, std::string* error) const {
    auto fail = [&](const std::string& what, int code) -> std::optional<std::string> {
        std::string message = what + ": " + std::strerror(code);
        hxLog("photo library: %s", message.c_str());
        if (error) *error = message;
        return std::nullopt;
    };
    std::time_t time = std::time_t(date);
    std::tm local{};
    localtime_r(&time, &local);
    char month[16];
    std::strftime(month, sizeof month, "%Y/%m", &local);
    std::string folder = camera_ + "/" + month;
    std::string message;
    if (!paths::ensureDirectory(folder, &message)) {
        hxLog("photo library: cannot make %s: %s", folder.c_str(), message.c_str());
        if (error) *error = "cannot make " + folder + ": " + message;
        return std::nullopt;
    }
    static std::atomic<unsigned> counter{0};
    std::string temporary = folder + "/." + nameFor(0) + ".tmp-" + std::to_string(::getpid()) +
                            "-" + std::to_string(counter.fetch_add(1));
    if (!pending.recordTemporary(temporary)) return fail("cannot record " + temporary, errno);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return fail("cannot write " + temporary, errno);
    const uint8_t* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int code = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return fail("cannot write " + temporary, code);
        }
        data += n;
        left -= size_t(n);
    }
    struct stat status {};
    if (::fsync(fd) != 0 || ::fstat(fd, &status) != 0) {
        int code = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return fail("cannot write " + temporary, code);
    }
    ::close(fd);
    // A hard link claims the name only when it is free: two writers, or a file of the user's,
    // never lose a file to each other. Each name is recorded with the file's identity before
    // the link, so a writer killed right after it leaves nothing the sweep does not know;
    // a name that turns out to be taken holds another file, which the sweep leaves alone.
    for (int n = 0; n < 10000; ++n) {
        std::string path = folder + "/" + nameFor(n);
        if (!pending.recordNamed(path, status.st_dev, status.st_ino)) {
            int code = errno;
            ::unlink(temporary.c_str());
            return fail("cannot record " + path, code);
        }
        if (::link(temporary.c_str(), path.c_str()) == 0) {
            ::unlink(temporary.c_str());
            syncFolder(folder);
            return path;
        }
        if (errno != EEXIST) {
            int code = errno;
            ::unlink(temporary.c_str());
            return fail("cannot name " + path, code);
        }
    }
    ::unlink(temporary.c_str());
    return fail("no free name in " + folder, EEXIST);
}

std::string LibraryFiles::renderPath(const std::string& fileName) const {
    return pathIn(kRendersFolder, fileName);
}

bool LibraryFiles::write(const std::string& path, const std::vector<uint8_t>& bytes,
                         std::string* error) const {
    std::string folder = std::filesystem::path(path).parent_path().string();
    std::string message;
    if (!paths::ensureDirectory(folder, &message) ||
        !image::writeFileAtomically(path, bytes.data(), bytes.size(), &message)) {
        hxLog("photo library: cannot write %s: %s", path.c_str(), message.c_str());
        if (error) *error = "cannot write " + path + ": " + message;
        return false;
    }
    return true;
}

void LibraryFiles::remove(const std::string& path) const {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) hxLog("photo library: cannot remove %s: %s", path.c_str(), error.message().c_str());
}

std::optional<std::string> LibraryFiles::pathInside(const std::string& relative) const {
    std::filesystem::path path(relative);
    if (relative.empty() || path.is_absolute()) return std::nullopt;
    for (const auto& part : path) {
        if (part == ".." || part == ".") return std::nullopt;
    }
    return folder_ + "/" + relative;
}

std::string LibraryFiles::relativePath(const std::string& path) const {
    std::string prefix = folder_ + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) return {};
    std::string relative = path.substr(prefix.size());
    return pathInside(relative) ? relative : std::string();
}

namespace {

constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

void hashInto(uint64_t& hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
}

std::string hashText(uint64_t hash) {
    char text[32];
    std::snprintf(text, sizeof text, "fnv1a64:%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

std::string LibraryFiles::contentHash(const std::vector<uint8_t>& bytes) {
    uint64_t hash = kFnvOffset;
    hashInto(hash, bytes.data(), bytes.size());
    return hashText(hash);
}

std::string LibraryFiles::contentHashOfFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    uint64_t hash = kFnvOffset;
    std::vector<uint8_t> chunk(1 << 16);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0)
        hashInto(hash, chunk.data(), n);
    bool failed = std::ferror(file);
    std::fclose(file);
    return failed ? std::string() : hashText(hash);
}

bool LibraryFiles::isTemporaryName(const std::string& fileName) {
    return !fileName.empty() && fileName[0] == '.' && fileName.find(".tmp-") != std::string::npos;
}

std::string LibraryFiles::nameInArea(const char* area, const std::string& path) const {
    std::string name = std::filesystem::path(path).filename().string();
    if (name.empty() || pathIn(area, name) != path) return {};
    return name;
}

}  // namespace hx::photos
