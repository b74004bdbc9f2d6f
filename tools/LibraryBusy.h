#pragma once
// Whether another program holds the photo library's write lock, asked before a tool opens the
// library. The library waits for such a program patiently (every step of a change waits its
// turn again), which for a program that keeps the lock means a command that hangs for minutes;
// a tool would rather say at once that the library is busy and exit with kExitBusy, having
// changed nothing.

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/log/Log.h"
#include "platform/photos/store/Database.h"
#include "platform/photos/store/DatabaseFile.h"
#include "platform/photos/store/LibraryStore.h"
#include "tools/ExitStatus.h"

namespace hx::tools {

// How long a tool waits for the write lock before it calls the library busy.
inline constexpr int kLibraryWaitMilliseconds = 5000;

// A message naming the database when its write lock stayed held for `milliseconds`; empty when
// the lock could be had (it is let go again at once) or when there is no database to ask yet.
// A folder the tool cannot write to is left to the library to refuse with its own message.
inline std::string libraryBusyProblem(int milliseconds = kLibraryWaitMilliseconds) {
    const std::string folder = photos::LibraryStore::defaultFolder();
    const std::string path = folder + "/" + photos::kDatabaseFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ::access(folder.c_str(), W_OK) != 0 ||
        ::access(path.c_str(), W_OK) != 0)
        return {};
    // Only the answer matters here: a damaged database is the library's to report, once.
    struct Quiet {
        log::Sink previous = log::setSink([](std::string_view) {});
        ~Quiet() { previous ? (void)log::setSink(previous) : log::resetSink(); }
    } quiet;
    std::string error;
    auto db = photos::Database::open(path, &error);
    if (!db) return {};
    db->setBusyTimeout(milliseconds);
    if (db->execute("BEGIN IMMEDIATE")) {
        db->execute("ROLLBACK");
        return {};
    }
    if (!db->lastErrorIsBusy()) return {};
    return "the photo library is busy: another program holds the write lock on " + printable(path) +
           " (waited " + std::to_string(milliseconds / 1000) +
           " s); nothing was changed, try again when it is done";
}

}  // namespace hx::tools
