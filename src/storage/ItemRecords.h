#pragma once

#include "ClipboardEntities.h"

#include <QList>

namespace snipbrook {

class SqliteDatabase;

// The SQL of the item store, shared by the main connection and the background batch connection.
// Every function throws SqliteError on failure; lists are newest first (by timestamp, then by the
// order of insertion).
namespace itemRecords {

std::optional<ClipboardItemEntity> find(SqliteDatabase &db, const QUuid &id);
// limit 0 (or less) means every record.
QList<ClipboardItemEntity> newest(SqliteDatabase &db, qint64 limit);
// The same, with the content and preview of images larger than largeImageContentBytes left out
// (the entity's contentDigest says so): what the history holds.
QList<ClipboardItemEntity> newestForHistory(SqliteDatabase &db, qint64 limit);
QList<ClipboardItemEntity> favorites(SqliteDatabase &db);
// The ids of every record (records without a readable id are left out), in no particular order.
QList<QUuid> ids(SqliteDatabase &db);
// The records with these ids, newest first; ids not stored are skipped.
QList<ClipboardItemEntity> withIds(SqliteDatabase &db, const QList<QUuid> &ids);
// Records other than images whose folded content or preview contains the folded query, matched
// as plain text (no pattern characters).
QList<ClipboardItemEntity> containing(SqliteDatabase &db, const QString &foldedQuery);

// Inserts the record and its metadata record; false (and nothing written) when a record with the
// same id is already stored.
bool insertUnlessStored(SqliteDatabase &db, const ClipboardItemEntity &entity);
// Writes every field of a stored record (found by recordId), its metadata record included: one
// is created, replaced or removed to match. A record that is gone stays gone.
void update(SqliteDatabase &db, const ClipboardItemEntity &entity);
// Deletes the records captured before the cutoff that are not favourites (records without a
// readable time are kept); the ids of those deleted.
QList<QUuid> removeOlderThan(SqliteDatabase &db, const QDateTime &cutoff);
// Deletes the record; its metadata record goes with it.
void remove(SqliteDatabase &db, qint64 recordId);
// Deletes every record with its metadata record; gives the number of records deleted.
qint64 removeAll(SqliteDatabase &db);

} // namespace itemRecords
} // namespace snipbrook
