#include "platform/photos/store/DatabaseFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/LibrarySchema.h"

namespace hx::photos {

std::optional<std::string> databaseFileDamage(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::string("it cannot be opened: ") + std::strerror(errno);
    char header[16] = {};
    ssize_t n = ::read(fd, header, sizeof header);
    int readError = errno;
    ::close(fd);
    if (n < 0) return std::string("it cannot be read: ") + std::strerror(readError);
    if (n == 0) return std::string("the file is empty");
    if (n < ssize_t(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0) {
        return std::string("it is not a database");
    }
    return std::nullopt;
}

bool createDatabase(const std::string& folder, std::string* error) {
    std::string path = folder + "/" + kDatabaseFileName;
    std::string building = path + ".creating";
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::filesystem::remove(building + suffix, ignored);  // left by a killed creator
    }
    {
        auto db = Database::open(building, error);
        if (!db) return false;
        if (!upgradeLibrarySchema(*db, {}, error)) {
            if (error) hxLog("photo library: %s", error->c_str());
            return false;
        }
    }
    if (::rename(building.c_str(), path.c_str()) != 0) {
        if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace hx::photos
