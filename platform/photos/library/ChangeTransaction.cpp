#include "platform/photos/library/ChangeTransaction.h"

#include "platform/log/Log.h"
#include "platform/photos/library/PhotoLibrary.h"

namespace hx::photos {
namespace {

thread_local ChangeTransaction* currentTransaction = nullptr;

}  // namespace

ChangeRequest::ChangeRequest(const char* what) : transaction_(ChangeTransaction::current()) {
    if (!transaction_) {
        hxLog("photo library: %s was made outside a change block; it does nothing", what);
    }
}

bool ChangeRequest::changeable(const char* what) const {
    if (transaction_ && transaction_ == ChangeTransaction::current()) return true;
    hxLog("photo library: %s outside the change block of its request does nothing", what);
    return false;
}

ChangeTransaction* ChangeTransaction::current() {
    return currentTransaction;
}

ChangeTransaction::Scope::Scope(ChangeTransaction& transaction) : previous_(currentTransaction) {
    currentTransaction = &transaction;
}

ChangeTransaction::Scope::~Scope() {
    currentTransaction = previous_;
}

bool ChangeTransaction::isOwnLibrary(const PhotoLibrary& library) const {
    return &library == &library_ || library.folder() == library_.folder();
}

ChangeBatch ChangeTransaction::makeBatch(std::vector<ChangeProblem>& problems) {
    ChangeBatch batch;
    for (const auto& request : requests_) request->contribute(batch, *this);
    problems = problems_;
    return batch;
}

}  // namespace hx::photos
