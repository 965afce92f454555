#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace snipbrook {

AppPaths AppPaths::standard()
{
    const auto location = [](QStandardPaths::StandardLocation type) {
        return QStandardPaths::writableLocation(type);
    };
    AppPaths paths;
    paths.dataDir = location(QStandardPaths::GenericDataLocation) + QStringLiteral("/Snipbrook");
    paths.documentsDir = location(QStandardPaths::DocumentsLocation);
    paths.configDir = location(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Snipbrook");
    // Not Qt's runtime location: without XDG_RUNTIME_DIR it falls back to a folder anyone may
    // create first. The instance sets the folder it claimed (app/RuntimeFolder.h).
    return paths;
}

bool ensurePrivateDirectory(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace snipbrook
