#pragma once

namespace snipbrook {

class SqliteDatabase;

// The schema version this build writes; stores at a lower version are upgraded on open.
inline constexpr int itemStoreSchemaVersion = 2;

// Per-connection settings every connection to the item store needs (WAL journal, cascading
// deletes, deleted content overwritten). Throws SqliteError when one cannot be set.
void configureItemStoreConnection(SqliteDatabase &db);

// Creates or upgrades the tables in one transaction. Throws SqliteError, also for a store written
// by a newer build, which this one must not touch.
void upgradeItemStoreSchema(SqliteDatabase &db);

} // namespace snipbrook
