#include "platform/photos/store/Database.h"

#include <sqlite3.h>

#include "platform/log/Log.h"

namespace hx::photos {

Statement::Statement(sqlite3* db, sqlite3_stmt* stmt, std::string sql)
    : db_(db), stmt_(stmt), sql_(std::move(sql)) {}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

namespace {

bool isBusy(int result) {
    int primary = result & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

}  // namespace

bool Statement::check(int result, const char* what) {
    if (result == SQLITE_OK) return true;
    hxLog("photo library: %s failed for \"%s\": %s", what, sql_.c_str(), sqlite3_errmsg(db_));
    return false;
}

bool Statement::bind(int index, const std::string& value) {
    return check(sqlite3_bind_text(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT),
                 "binding");
}

bool Statement::bind(int index, int64_t value) {
    return check(sqlite3_bind_int64(stmt_, index, value), "binding");
}

bool Statement::bind(int index, double value) {
    return check(sqlite3_bind_double(stmt_, index, value), "binding");
}

bool Statement::bind(int index, const std::vector<uint8_t>& blob) {
    // A zero-length blob with a null pointer would bind NULL; the column wants an empty blob.
    static const uint8_t empty = 0;
    return check(sqlite3_bind_blob(stmt_, index, blob.empty() ? &empty : blob.data(),
                                   int(blob.size()), SQLITE_TRANSIENT),
                 "binding");
}

Statement::Step Statement::step() {
    int result = sqlite3_step(stmt_);
    if (result == SQLITE_ROW) return Step::Row;
    if (result == SQLITE_DONE) return Step::Done;
    if (!isBusy(result))
        hxLog("photo library: \"%s\" failed: %s", sql_.c_str(), sqlite3_errmsg(db_));
    // Clears the error state so the statement can be reset without reporting it again.
    sqlite3_reset(stmt_);
    return Step::Error;
}

bool Statement::run() {
    for (;;) {
        Step s = step();
        if (s == Step::Done) return true;
        if (s == Step::Error) return false;
    }
}

bool Statement::reset() {
    sqlite3_reset(stmt_);
    return check(sqlite3_clear_bindings(stmt_), "clearing bindings");
}

std::string Statement::text(int column) const {
    const unsigned char* value = sqlite3_column_text(stmt_, column);
    if (!value) return {};
    return std::string(reinterpret_cast<const char*>(value),
                       size_t(sqlite3_column_bytes(stmt_, column)));
}

int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::vector<uint8_t> Statement::blob(int column) const {
    const auto* value = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    if (!value) return {};
    return std::vector<uint8_t>(value, value + sqlite3_column_bytes(stmt_, column));
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::unique_ptr<Database> Database::open(const std::string& path, std::string* error) {
    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (result != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(result);
        hxLog("photo library: cannot open %s: %s", path.c_str(), message.c_str());
        if (error) *error = "cannot open " + path + ": " + message;
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    return std::unique_ptr<Database>(new Database(db));
}

Database::~Database() {
    sqlite3_close(db_);
}

std::unique_ptr<Statement> Database::prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    int result = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
    if (result != SQLITE_OK) {
        if (!isBusy(result))
            hxLog("photo library: cannot prepare \"%s\": %s", sql.c_str(), sqlite3_errmsg(db_));
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return std::make_unique<Statement>(db_, stmt, sql);
}

bool Database::execute(const std::string& sql) {
    char* message = nullptr;
    int result = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (result == SQLITE_OK) return true;
    if (!isBusy(result))
        hxLog("photo library: \"%s\" failed: %s", sql.c_str(), message ? message : "unknown error");
    sqlite3_free(message);
    return false;
}

std::optional<std::string> Database::queryText(const std::string& sql) {
    auto statement = prepare(sql);
    if (!statement || statement->step() != Statement::Step::Row) return std::nullopt;
    return statement->text(0);
}

std::optional<int64_t> Database::queryInteger(const std::string& sql) {
    auto statement = prepare(sql);
    if (!statement || statement->step() != Statement::Step::Row) return std::nullopt;
    return statement->integer(0);
}

void Database::setBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(db_, milliseconds);
}

std::string Database::lastError() const {
    return sqlite3_errmsg(db_);
}

bool Database::lastErrorIsBusy() const {
    return isBusy(sqlite3_extended_errcode(db_));
}

int64_t Database::lastInsertRowid() const {
    return sqlite3_last_insert_rowid(db_);
}

int64_t Database::changes() const {
    return sqlite3_changes64(db_);
}

Transaction::Transaction(Database& db) : db_(db) {
    begun_ = db_.execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (begun_ && !finished_) db_.execute("ROLLBACK");
}

bool Transaction::commit() {
    if (!begun_ || finished_) return false;
    if (!db_.execute("COMMIT")) return false;  // the destructor rolls back
    finished_ = true;
    return true;
}

}  // namespace hx::photos
