#pragma once

#include <QString>

namespace snipbrook {

// Copies the legacy history files of the documents folder into its "json_backup" folder
// ("clipboard_history_backup.json", "favorites_backup.json"), private to the user. A copy fails
// when its target exists. Logs the outcome; a failure stops the backup, never the caller.
void createJsonBackup(const QString &documentsDirectory);

} // namespace snipbrook
