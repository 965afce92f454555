#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace snipbrook {

// A failed SQLite call: the library's message plus what we were doing.
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const QString &message);
    int code() const { return m_code; }
    QString message() const { return QString::fromUtf8(what()); }
    // The file is damaged or is not a database at all (SQLITE_CORRUPT, SQLITE_NOTADB).
    bool isDamage() const;

private:
    int m_code;
};

// One prepared statement. Binding indexes start at 1, column indexes at 0.
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *db, const std::string &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bindNull(int index);
    void bind(int index, qint64 value);
    void bind(int index, double value);
    void bind(int index, const QString &value);
    void bind(int index, const std::optional<QString> &value);

    // True when a row is ready, false when the statement has finished.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    // Ends the current run (releasing its read snapshot) and clears the bindings.
    void reset();

    bool isNull(int column) const;
    bool isNumber(int column) const;
    qint64 int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    // The column's UTF-8 bytes, valid until the next step or reset.
    std::string_view utf8(int column) const;

private:
    [[noreturn]] void fail(int code) const;

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// An open connection with a cache of prepared statements, so that each SQL text is compiled once
// per connection. Every connection has the SQL function contains_text(haystack, needle): 1 when
// the needle occurs in the haystack as plain text (no pattern characters), NULL for NULL input.
class SqliteDatabase {
public:
    // Opens (creating if asked) the file; throws SqliteError naming the file when it cannot.
    SqliteDatabase(const QString &path, bool create);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    const QString &path() const { return m_path; }

    // Runs one or more statements that take no parameters.
    void execute(const char *sql);
    // The single value of a one-row query without parameters (a PRAGMA, say).
    qint64 queryInteger(const char *sql);
    QString queryText(const char *sql);

    // Hands the connection's page cache back to the heap, after a one-off read of many rows.
    void releaseCache();

    // A cached statement for the duration of one use: reset when the Query goes away, so that no
    // read snapshot outlives it. A statement already in use (a nested call with the same SQL)
    // gets a fresh one instead.
    class Query {
    public:
        Query(Query &&other) noexcept;
        Query &operator=(Query &&) = delete;
        ~Query();
        SqliteStatement *operator->() const { return m_statement; }
        SqliteStatement &operator*() const { return *m_statement; }

    private:
        friend class SqliteDatabase;
        Query(SqliteStatement *cached, bool *busy);
        explicit Query(std::unique_ptr<SqliteStatement> own);

        SqliteStatement *m_statement;
        bool *m_busy = nullptr;
        std::unique_ptr<SqliteStatement> m_own;
    };
    Query query(const char *sql);

    // Replaces the library's automatic checkpoints on this connection: the callback gets the number
    // of frames in the write-ahead log after each commit and decides where to checkpoint.
    void onWalCommit(std::function<void(int frames)> callback);
    // Copies the whole write-ahead log into the database file and truncates the log to zero bytes,
    // waiting (within the busy time-out) for other connections to finish their reads and writes.
    // Throws SqliteError when the log could not be emptied.
    void checkpointAndTruncateLog();
    // Closing then leaves the write-ahead log as it is instead of copying it into the database
    // file, so that a damaged store is kept exactly as it was found.
    void keepLogOnClose();

    qint64 lastInsertRowId() const;
    int changes() const;
    // The library's message for the last failure on this connection.
    QString lastErrorMessage() const;

private:
    struct CachedStatement {
        std::unique_ptr<SqliteStatement> statement;
        bool busy = false;
    };

    QString m_path;
    sqlite3 *m_db = nullptr;
    std::unordered_map<std::string, CachedStatement> m_cache;
    std::function<void(int)> m_walCommit;
};

// BEGIN IMMEDIATE … COMMIT, rolled back unless committed. Taking the write lock up front means a
// writer waits for another connection's write (within the busy time-out) instead of failing
// half-way.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase &db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    void commit();

private:
    SqliteDatabase &m_db;
    bool m_open = true;
};

} // namespace snipbrook
