#pragma once
// Running a piece of database work again when another connection held the database. SQLite
// waits on its busy timeout first; what still comes back busy (a write lock taken while this
// connection read an older snapshot, say) is retried from the start after a short pause.

#include <functional>

namespace hx::photos {

class Database;

enum class Attempt { Done, Busy, Failed };

// What a failed step means: Busy when another connection held the database. Call it before a
// rollback, which would clear the error.
Attempt failedAttempt(const Database& db);
// Done when `succeeded`, else failedAttempt(db).
Attempt attemptResult(const Database& db, bool succeeded);

// Runs `attempt` until it is Done or Failed, or stays Busy too often (logged with `what`).
// Returns whether it was Done. The attempt must leave no transaction open.
bool retryWhileBusy(const char* what, const std::function<Attempt()>& attempt);

}  // namespace hx::photos
