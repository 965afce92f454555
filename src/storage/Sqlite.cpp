#include "Sqlite.h"

#include <sqlite3.h>

#include <cstring>

namespace snipbrook {
namespace {

// How long a connection waits for another connection's write lock before giving up.
constexpr int busyTimeoutMs = 5000;

// contains_text(haystack, needle): 1 when the needle's bytes occur in the haystack, NULL when
// either is NULL. instr() gives the same answer for UTF-8 text but compares at every byte
// position, and asking for text copies each value to add a terminator; raw bytes and memmem make
// a scan of thousands of rows several times faster.
void containsText(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL || sqlite3_value_type(arguments[1]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    const void *haystack = sqlite3_value_blob(arguments[0]);
    const auto haystackBytes = size_t(sqlite3_value_bytes(arguments[0]));
    const void *needle = sqlite3_value_blob(arguments[1]);
    const auto needleBytes = size_t(sqlite3_value_bytes(arguments[1]));
    const bool found = needleBytes == 0 || (haystack && ::memmem(haystack, haystackBytes, needle, needleBytes));
    sqlite3_result_int(context, found ? 1 : 0);
}

QString libraryMessage(sqlite3 *db, int code)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
}

} // namespace

SqliteError::SqliteError(int code, const QString &message)
    : std::runtime_error(message.toStdString()), m_code(code)
{
}

bool SqliteError::isDamage() const
{
    const int primary = m_code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// ---- SqliteStatement

SqliteStatement::SqliteStatement(sqlite3 *db, const std::string &sql) : m_db(db)
{
    const int rc = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size() + 1),
                                      SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw SqliteError(rc, libraryMessage(db, rc));
    }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_statement); }

void SqliteStatement::fail(int code) const { throw SqliteError(code, libraryMessage(m_db, code)); }

void SqliteStatement::bindNull(int index)
{
    if (const int rc = sqlite3_bind_null(m_statement, index); rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bind(int index, qint64 value)
{
    if (const int rc = sqlite3_bind_int64(m_statement, index, value); rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bind(int index, double value)
{
    if (const int rc = sqlite3_bind_double(m_statement, index, value); rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    if (const int rc = sqlite3_bind_text64(m_statement, index, utf8.constData(),
                                           static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        rc != SQLITE_OK)
        fail(rc);
}

void SqliteStatement::bind(int index, const std::optional<QString> &value)
{
    if (value)
        bind(index, *value);
    else
        bindNull(index);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The statement's own code is only the generic one; the connection has the detail.
    sqlite3_reset(m_statement);
    fail(sqlite3_extended_errcode(m_db));
}

void SqliteStatement::run()
{
    while (step()) {
    }
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

bool SqliteStatement::isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

bool SqliteStatement::isNumber(int column) const
{
    const int type = sqlite3_column_type(m_statement, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

qint64 SqliteStatement::int64(int column) const { return sqlite3_column_int64(m_statement, column); }

double SqliteStatement::real(int column) const { return sqlite3_column_double(m_statement, column); }

QString SqliteStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_statement, column));
}

std::string_view SqliteStatement::utf8(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return data ? std::string_view(data, size_t(sqlite3_column_bytes(m_statement, column))) : std::string_view();
}

std::optional<QString> SqliteStatement::optionalText(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

// ---- SqliteDatabase

SqliteDatabase::SqliteDatabase(const QString &path, bool create) : m_path(path)
{
    // Each connection is used by one thread at a time, so the library's own locking is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = libraryMessage(m_db, rc);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw SqliteError(rc, QStringLiteral("Cannot open ") + path + QStringLiteral(": ") + message);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    sqlite3_create_function_v2(m_db, "contains_text", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                               nullptr, containsText, nullptr, nullptr, nullptr);
}

SqliteDatabase::~SqliteDatabase()
{
    m_cache.clear(); // statements first: a connection with live statements does not close
    sqlite3_close_v2(m_db);
}

void SqliteDatabase::execute(const char *sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : libraryMessage(m_db, rc);
        sqlite3_free(error);
        throw SqliteError(rc, message);
    }
}

void SqliteDatabase::releaseCache() { sqlite3_db_release_memory(m_db); }

qint64 SqliteDatabase::queryInteger(const char *sql)
{
    SqliteStatement statement(m_db, sql);
    return statement.step() ? statement.int64(0) : 0;
}

QString SqliteDatabase::queryText(const char *sql)
{
    SqliteStatement statement(m_db, sql);
    return statement.step() ? statement.text(0) : QString();
}

SqliteDatabase::Query SqliteDatabase::query(const char *sql)
{
    CachedStatement &entry = m_cache[sql];
    if (!entry.statement)
        entry.statement = std::make_unique<SqliteStatement>(m_db, sql);
    if (entry.busy)
        return Query(std::make_unique<SqliteStatement>(m_db, sql));
    return Query(entry.statement.get(), &entry.busy);
}

void SqliteDatabase::onWalCommit(std::function<void(int frames)> callback)
{
    m_walCommit = std::move(callback);
    sqlite3_wal_hook(
        m_db,
        [](void *self, sqlite3 *, const char *, int frames) {
            static_cast<SqliteDatabase *>(self)->m_walCommit(frames);
            return SQLITE_OK;
        },
        this);
}

void SqliteDatabase::checkpointAndTruncateLog()
{
    const int rc = sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw SqliteError(rc, QStringLiteral("Cannot empty the write-ahead log of ") + m_path + QStringLiteral(": ") +
                                  libraryMessage(m_db, rc));
}

void SqliteDatabase::keepLogOnClose() { sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr); }

qint64 SqliteDatabase::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }

int SqliteDatabase::changes() const { return sqlite3_changes(m_db); }

QString SqliteDatabase::lastErrorMessage() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

SqliteDatabase::Query::Query(SqliteStatement *cached, bool *busy) : m_statement(cached), m_busy(busy)
{
    *m_busy = true;
}

SqliteDatabase::Query::Query(std::unique_ptr<SqliteStatement> own) : m_statement(own.get()), m_own(std::move(own)) {}

SqliteDatabase::Query::Query(Query &&other) noexcept
    : m_statement(other.m_statement), m_busy(other.m_busy), m_own(std::move(other.m_own))
{
    other.m_statement = nullptr;
    other.m_busy = nullptr;
}

SqliteDatabase::Query::~Query()
{
    if (!m_statement)
        return;
    m_statement->reset();
    if (m_busy)
        *m_busy = false;
}

// ---- SqliteTransaction

SqliteTransaction::SqliteTransaction(SqliteDatabase &db) : m_db(db)
{
    m_db.query("BEGIN IMMEDIATE")->run();
}

SqliteTransaction::~SqliteTransaction()
{
    if (!m_open)
        return;
    try {
        m_db.query("ROLLBACK")->run();
    } catch (const SqliteError &) {
        // A failed COMMIT or a busy error may already have ended the transaction.
    }
}

void SqliteTransaction::commit()
{
    m_db.query("COMMIT")->run();
    m_open = false;
}

} // namespace snipbrook
