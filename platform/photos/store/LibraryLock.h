#pragma once
// The library folder's lock file, library.lock, shared by every process that opens the folder.
// Three byte ranges of it, locked per open file (open file description locks), so that two
// stores in one process exclude each other as two processes do:
//
//  - the opening range: held exclusively while a store opens (creating, configuring or
//    upgrading the database) and while the library is checked or repaired, so that two first
//    opens never meet half way.
//  - the maintenance range: held shared by every writer from its first file until its
//    transaction has committed or failed; held exclusively while files no row names are swept.
//    Whoever holds it exclusively therefore knows that no writer has a file in flight.
//  - the connection range: held shared by every open store, so that the one closing last
//    knows it is the last (and checkpoints the database's write-ahead log).
//
// Waiting for a lock polls at a short interval up to a time limit, so that a stuck process
// turns into a message rather than a hang.
//
// Threads: one LibraryLock belongs to one store; its callers serialise access to it.

#include <memory>
#include <string>

namespace hx::photos {

class LibraryLock {
  public:
    // Opens (creating) <folder>/library.lock. Null, with the reason, when it cannot.
    static std::unique_ptr<LibraryLock> open(const std::string& folder, std::string* error);
    ~LibraryLock();
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

    static constexpr const char* kFileName = "library.lock";

    // Each waits up to `seconds` (0: not at all) and says whether it got the range.
    bool lockOpening(double seconds);
    void unlockOpening();
    bool lockMaintenance(double seconds);  // exclusive
    bool lockWriting(double seconds);      // the maintenance range, shared
    void unlockMaintenance();

    // Marks this store as connected (shared on the connection range).
    bool connect();
    // Whether no other store is connected; takes the connection range exclusively when so.
    bool isLastConnection();

  private:
    explicit LibraryLock(int fd) : fd_(fd) {}
    bool lockRange(short type, long start, double seconds);

    int fd_;
};

}  // namespace hx::photos
