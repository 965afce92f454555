#include "ItemStoreSchema.h"

#include "Sqlite.h"

#include <QStringList>

#include <sqlite3.h>

#include <array>
#include <initializer_list>

namespace snipbrook {
namespace {

// Step i brings a store from version i to version i + 1. New steps are appended; existing ones
// never change, since stores in the field were built by them.
constexpr std::array<const char *, itemStoreSchemaVersion> upgradeSteps{
    // 0 → 1: the records, their metadata, and folded copies of content and preview that keyword
    // search compares with a folded query (images have none: keyword search skips them).
    R"sql(
    CREATE TABLE ClipboardItemEntity (
        recordId INTEGER PRIMARY KEY,
        id TEXT,
        type TEXT,
        content TEXT,
        preview TEXT,
        timestamp REAL,
        isFavorite INTEGER NOT NULL DEFAULT 0,
        foldedContent TEXT,
        foldedPreview TEXT
    );
    CREATE UNIQUE INDEX ClipboardItemEntity_id ON ClipboardItemEntity(id);
    CREATE INDEX ClipboardItemEntity_newest ON ClipboardItemEntity(timestamp, recordId);
    CREATE INDEX ClipboardItemEntity_favorites ON ClipboardItemEntity(timestamp, recordId) WHERE isFavorite = 1;
    CREATE TABLE ClipboardMetadataEntity (
        recordId INTEGER PRIMARY KEY,
        clipboardItem INTEGER NOT NULL UNIQUE REFERENCES ClipboardItemEntity(recordId) ON DELETE CASCADE,
        size INTEGER NOT NULL DEFAULT 0,
        fileCount INTEGER NOT NULL DEFAULT 0,
        colorValue TEXT,
        url TEXT,
        language TEXT,
        sourceApp TEXT,
        sourceAppBundle TEXT,
        sourceProcessID INTEGER NOT NULL DEFAULT 0,
        embeddingVersion TEXT
    );
    )sql",
    // 1 → 2: a text is stored once. A preview equal to its content (every image, most texts) is
    // NULL and reads back as the content; a folded copy equal to what it folds is NULL and
    // search reads the original instead.
    R"sql(
    UPDATE ClipboardItemEntity SET preview = NULL WHERE preview = content;
    UPDATE ClipboardItemEntity SET foldedPreview = NULL WHERE preview IS NULL OR foldedPreview = preview;
    UPDATE ClipboardItemEntity SET foldedContent = NULL WHERE foldedContent = content;
    )sql",
    // 2 → 3: facts about the store itself that must last as long as its items, such as the legacy
    // history having been imported (the settings file alone lost that when it was deleted).
    R"sql(
    CREATE TABLE StoreFlags (name TEXT PRIMARY KEY);
    )sql",
};

// The columns that reads and writes rely on, the same in every version since the table's first.
struct TableColumns {
    const char *table;
    qint64 since; // the version whose step creates the table
    std::initializer_list<const char *> columns;
};
const std::array<TableColumns, 3> requiredColumns{{
    {"ClipboardItemEntity",
     1,
     {"recordId", "id", "type", "content", "preview", "timestamp", "isFavorite", "foldedContent", "foldedPreview"}},
    {"ClipboardMetadataEntity",
     1,
     {"recordId", "clipboardItem", "size", "fileCount", "colorValue", "url", "language", "sourceApp",
      "sourceAppBundle", "sourceProcessID", "embeddingVersion"}},
    {"StoreFlags", 3, {"name"}},
}};

QStringList columnsOf(SqliteDatabase &db, const char *table)
{
    auto statement = db.query("SELECT name FROM pragma_table_info(?1)");
    statement->bind(1, QString::fromLatin1(table));
    QStringList names;
    while (statement->step())
        names.append(statement->text(0));
    return names;
}

} // namespace

std::optional<QString> findItemStoreDamage(SqliteDatabase &db)
{
    // quick_check(1): stop at the first problem. It skips the slow index-content comparison of a
    // full integrity_check but reads every page.
    const QString result = db.queryText("PRAGMA quick_check(1)");
    // The pages it read would otherwise stay in this connection's cache for the whole run.
    db.execute("PRAGMA shrink_memory");
    if (result == QLatin1String("ok"))
        return std::nullopt;
    return result.simplified(); // its report spans lines; a log line must not
}

// A table of our names in a file at a version before the step that creates it was made by someone
// else (our steps create tables together with the version); from that version on it must have
// our columns.
void rejectForeignItemStore(SqliteDatabase &db)
{
    const qint64 version = db.queryInteger("PRAGMA user_version");
    if (version < 0 || version > itemStoreSchemaVersion)
        return; // a newer build's store, which upgradeItemStoreSchema refuses as such
    for (const auto &[table, since, columns] : requiredColumns) {
        const QStringList present = columnsOf(db, table);
        QStringList missing;
        for (const char *column : columns)
            if (!present.contains(QLatin1String(column)))
                missing.append(QLatin1String(column));
        const bool foreign = version < since ? !present.isEmpty() : !missing.isEmpty();
        if (!foreign)
            continue;
        QString problem = db.path() + QStringLiteral(" holds a table ") + QLatin1String(table) +
                          QStringLiteral(" that Snipbrook did not make");
        if (version >= since)
            problem += QStringLiteral(" (it lacks ") + missing.join(QStringLiteral(", ")) + QLatin1Char(')');
        throw ForeignItemStoreError(SQLITE_ERROR, problem);
    }
}

void configureItemStoreConnection(SqliteDatabase &db)
{
    // WAL lets the background batch write while the main connection reads; NORMAL syncing in WAL
    // mode survives a crash of the program and costs no fsync per commit.
    const QString mode = db.queryText("PRAGMA journal_mode = WAL");
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        throw SqliteError(SQLITE_ERROR, QStringLiteral("Cannot switch ") + db.path() +
                                            QStringLiteral(" to the WAL journal (mode is ") + mode +
                                            QStringLiteral(")"));
    db.execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON;");
    // The history can hold secrets: deleted records are overwritten with zeros instead of staying
    // readable in the free space of the file's pages.
    if (db.queryInteger("PRAGMA secure_delete = ON") != 1)
        throw SqliteError(SQLITE_ERROR, QStringLiteral("Cannot make ") + db.path() +
                                            QStringLiteral(" overwrite deleted content (secure_delete)"));
}

void upgradeItemStoreSchema(SqliteDatabase &db)
{
    SqliteTransaction transaction(db);
    const qint64 version = db.queryInteger("PRAGMA user_version");
    if (version < 0 || version > itemStoreSchemaVersion)
        throw SqliteError(SQLITE_CANTOPEN, db.path() + QStringLiteral(" has schema version ") + QString::number(version) +
                                               QStringLiteral(", which this version of Snipbrook does not know (it knows up to ") +
                                               QString::number(itemStoreSchemaVersion) + QStringLiteral(")"));
    if (version == itemStoreSchemaVersion)
        return;
    for (qint64 step = version; step < itemStoreSchemaVersion; ++step)
        db.execute(upgradeSteps[static_cast<size_t>(step)]);
    db.execute(QByteArray("PRAGMA user_version = " + QByteArray::number(itemStoreSchemaVersion)).constData());
    transaction.commit();
}

} // namespace snipbrook
