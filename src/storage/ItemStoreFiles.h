#pragma once

#include <QString>

#include <optional>

namespace snipbrook {

// The store file's name inside the data folder.
inline const QString itemStoreFileName = QStringLiteral("Snipbrook.sqlite");

// Makes the folder private (0700, created if missing), creates the store file as 0600 before
// SQLite does (SQLite gives its -wal and -shm files the main file's mode), and narrows the mode
// of store files left wider by earlier runs. Gives an error description, or nothing on success.
std::optional<QString> prepareItemStoreFiles(const QString &directory, const QString &storePath);

// Where a damaged store was moved, or why it could not be.
struct SetAsideResult {
    std::optional<QString> keptAs;
    QString error;
};

// Renames the store file to "<store>.damaged-YYYYMMDD-HHMMSS" (a name not taken yet) and its -wal
// and -shm files to that name plus "-wal" and "-shm", so that SQLite still pairs them. Renaming
// keeps their content and their private mode. All or nothing: on failure the files that were
// moved are moved back.
SetAsideResult setDamagedItemStoreAside(const QString &storePath);

} // namespace snipbrook
