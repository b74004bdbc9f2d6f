#pragma once
// A thin layer over one SQLite connection: prepared statements with typed binding and columns,
// and plain statements run for their effect. Every SQLite error is logged here, once, with the
// statement that caused it; callers only see false or an empty result. A busy or locked
// database is the exception: it is not logged, since the store retries the whole transaction
// and logs only when it gives up (lastErrorIsBusy() tells the two apart).
//
// Threads: a connection and its statements belong to one thread at a time; LibraryStore guards
// them with its mutex.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace hx::photos {

class Statement {
  public:
    enum class Step { Row, Done, Error };

    Statement(sqlite3* db, sqlite3_stmt* stmt, std::string sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as in SQL.
    bool bind(int index, const std::string& value);
    bool bind(int index, int64_t value);
    bool bind(int index, double value);
    bool bind(int index, const std::vector<uint8_t>& blob);

    Step step();
    // Steps until done; false on an error.
    bool run();
    bool reset();

    // Columns count from 0.
    std::string text(int column) const;
    int64_t integer(int column) const;
    double real(int column) const;
    std::vector<uint8_t> blob(int column) const;
    bool isNull(int column) const;

  private:
    bool check(int result, const char* what);

    sqlite3* db_;
    sqlite3_stmt* stmt_;
    std::string sql_;
};

class Database {
  public:
    // Null, with the reason in `error`, when the file cannot be opened or created.
    static std::unique_ptr<Database> open(const std::string& path, std::string* error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Null when the statement does not compile.
    std::unique_ptr<Statement> prepare(const std::string& sql);
    // Runs one or more statements that return nothing of interest.
    bool execute(const std::string& sql);
    // The first column of the first row, when there is one.
    std::optional<std::string> queryText(const std::string& sql);
    std::optional<int64_t> queryInteger(const std::string& sql);

    void setBusyTimeout(int milliseconds);
    // The last error SQLite reported on this connection.
    std::string lastError() const;
    // Whether the last failure came from another connection holding the database (busy or
    // locked), so that running the whole transaction again may succeed.
    bool lastErrorIsBusy() const;
    int64_t lastInsertRowid() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int64_t changes() const;

  private:
    explicit Database(sqlite3* db) : db_(db) {}
    sqlite3* db_;
};

// Begins an immediate transaction (so that writers queue on the busy timeout instead of failing
// on a lock upgrade) and rolls it back unless committed.
class Transaction {
  public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool begun() const { return begun_; }
    bool commit();

  private:
    Database& db_;
    bool begun_ = false;
    bool finished_ = false;
};

}  // namespace hx::photos
