#pragma once

#include <QString>

namespace snipbrook {

// Where Snipbrook keeps its files. Components take these as values, so tests point them at
// temporary folders.
struct AppPaths {
    QString dataDir;      // $XDG_DATA_HOME/Snipbrook: the item store
    QString documentsDir; // the XDG documents folder: vector index, legacy history, backups
    QString configDir;    // $XDG_CONFIG_HOME/Snipbrook: preferences
    QString runtimeDir;   // the single-instance lock and socket; standard() leaves it to the instance

    // The standard locations of this user.
    static AppPaths standard();
};

// Creates the folder (and its parents) if needed and makes it private to the user (0700).
bool ensurePrivateDirectory(const QString &path);

} // namespace snipbrook
