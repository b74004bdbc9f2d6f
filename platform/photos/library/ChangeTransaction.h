#pragma once
// The change transaction that a change block fills: change requests made inside the block
// register here, and once the block has returned each adds its part to one ChangeBatch.
// Internal to the library: callers only see performChanges and the change requests.
//
// Threads: a transaction belongs to the thread running its change block (the library's queue).

#include <memory>
#include <string>
#include <vector>

#include "platform/photos/library/PhotosError.h"
#include "platform/photos/store/ChangeBatch.h"

namespace hx::photos {

class ChangeTransaction;
class PhotoLibrary;

// Something that cannot be done, found while the batch is put together.
struct ChangeProblem {
    PhotosErrorCode code = PhotosErrorCode::InvalidResource;
    std::string message;
};

class ChangeRequest {
  public:
    virtual ~ChangeRequest() = default;
    // Adds this request's part to the batch, or a problem.
    virtual void contribute(ChangeBatch& batch, ChangeTransaction& transaction) const = 0;

  protected:
    // Registers with the transaction of the running change block; without one, logs that
    // `what` was made outside a change block and stays detached (it then does nothing).
    explicit ChangeRequest(const char* what);
    // Whether the request may still be changed: its change block is running on this thread.
    // Logs when not.
    bool changeable(const char* what) const;
    ChangeTransaction* transaction() const { return transaction_; }

  private:
    ChangeTransaction* transaction_;
};

class ChangeTransaction {
  public:
    explicit ChangeTransaction(PhotoLibrary& library) : library_(library) {}
    ChangeTransaction(const ChangeTransaction&) = delete;
    ChangeTransaction& operator=(const ChangeTransaction&) = delete;

    // The transaction whose change block runs on this thread; null outside change blocks.
    static ChangeTransaction* current();

    // Makes the transaction current on this thread while it lives.
    class Scope {
      public:
        explicit Scope(ChangeTransaction& transaction);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        ChangeTransaction* previous_;
    };

    PhotoLibrary& library() const { return library_; }
    void add(std::shared_ptr<const ChangeRequest> request) { requests_.push_back(request); }
    void problem(PhotosErrorCode code, std::string message) {
        problems_.push_back({code, std::move(message)});
    }
    // Files to remove once the transaction has committed (rendered content handed over).
    void removeAfterCommit(std::string path) { filesToRemove_.push_back(std::move(path)); }
    // Whether the library folder `folder` is this transaction's library.
    bool isOwnLibrary(const PhotoLibrary& library) const;

    // The whole batch; problems found on the way come back in `problems`.
    ChangeBatch makeBatch(std::vector<ChangeProblem>& problems);
    const std::vector<std::string>& filesToRemove() const { return filesToRemove_; }

  private:
    PhotoLibrary& library_;
    std::vector<std::shared_ptr<const ChangeRequest>> requests_;
    std::vector<ChangeProblem> problems_;
    std::vector<std::string> filesToRemove_;
};

}  // namespace hx::photos
