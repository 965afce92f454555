#include "JsonBackup.h"

#include "PrivateFiles.h"

#include "model/Diagnostics.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <utility>

namespace snipbrook {

void createJsonBackup(const QString &documentsDirectory)
{
    const QDir documents(documentsDirectory);
    const QString folder = documents.filePath(QStringLiteral("json_backup"));
    const auto fail = [](const QString &error) { diag(QStringLiteral("⚠️ Failed to create JSON backup: ") + error); };
    if (!ensurePrivateDirectory(folder))
        return fail(QStringLiteral("cannot create the folder ") + folder);

    const std::array<std::pair<const char *, const char *>, 2> copies{{
        {"clipboard_history.json", "clipboard_history_backup.json"},
        {"favorites.json", "favorites_backup.json"},
    }};
    for (const auto &[name, backupName] : copies) {
        const QString source = documents.filePath(QLatin1String(name));
        if (!QFileInfo::exists(source))
            continue;
        if (const auto error = copyFilePrivately(source, QDir(folder).filePath(QLatin1String(backupName))))
            return fail(*error);
    }
    diag(QStringLiteral("✅ JSON backup created at: ") + folder);
}

} // namespace snipbrook
