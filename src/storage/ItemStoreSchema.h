#pragma once

#include "Sqlite.h"

#include <optional>

namespace snipbrook {

// The schema version this build writes; stores at a lower version are upgraded on open.
inline constexpr int itemStoreSchemaVersion = 3;

// Per-connection settings every connection to the item store needs (WAL journal, cascading
// deletes, deleted content overwritten). Throws SqliteError when one cannot be set.
void configureItemStoreConnection(SqliteDatabase &db);

// The file holds tables of the item store's names that this program did not make (other columns,
// or tables in a file that claims no schema version). They are someone else's: left untouched.
class ForeignItemStoreError : public SqliteError {
public:
    using SqliteError::SqliteError;
};

// Runs SQLite's quick integrity check: the problem it found first, or nothing when the file is
// sound. Writes nothing. Throws SqliteError, with isDamage() for a file it cannot even read.
std::optional<QString> findItemStoreDamage(SqliteDatabase &db);

// Throws ForeignItemStoreError when the file holds someone else's tables. Writes nothing.
void rejectForeignItemStore(SqliteDatabase &db);

// Creates or upgrades the tables in one transaction. Throws SqliteError, also for a store written
// by a newer build, which this one must not touch.
void upgradeItemStoreSchema(SqliteDatabase &db);

} // namespace snipbrook
