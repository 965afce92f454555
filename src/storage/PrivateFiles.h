#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

#include <optional>

namespace snipbrook {

// Clipboard history can hold secrets: the files written here are readable by the user only.

// Replaces the file's content atomically: a temporary file in the same folder is written,
// flushed to disk and renamed over the old one, so a crash or a full disk leaves the old file
// whole. Creates the folder if needed. Returns the error text on failure.
// A symbolic link at the path is never written through: it is replaced by the file itself, with
// a log line.
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes);
// The same, with the content written by `write` (false when a write failed).
std::optional<QString> writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write);

// Copies the file; fails when the target exists. Returns the error text on failure.
std::optional<QString> copyFilePrivately(const QString &from, const QString &to);

// Removes the file. True when it is gone afterwards, a file that was not there included; otherwise
// logs "❌ Failed to remove <what>: <path> (<reason>)" and returns false. A folder at the path is
// not removed (that fails). Safe on any thread.
bool removeFileReporting(const QString &path, const QString &what);

} // namespace snipbrook
