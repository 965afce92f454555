#include "ItemStoreFiles.h"

#include "platform/AppPaths.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace snipbrook {
namespace {

constexpr mode_t ownerReadWrite = S_IRUSR | S_IWUSR;

std::optional<QString> systemError(const QString &doing, const QString &path)
{
    return doing + QLatin1Char(' ') + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::optional<QString> prepareItemStoreFiles(const QString &directory, const QString &storePath)
{
    if (!ensurePrivateDirectory(directory))
        return QStringLiteral("Cannot create the private folder ") + directory;

    const QByteArray store = QFile::encodeName(storePath);
    const int fd = ::open(store.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerReadWrite);
    if (fd >= 0)
        ::close(fd);
    else if (errno != EEXIST)
        return systemError(QStringLiteral("Cannot create"), storePath);

    for (const QString &path : {storePath, storePath + QStringLiteral("-wal"), storePath + QStringLiteral("-shm")}) {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        if (::stat(name.constData(), &info) != 0)
            continue; // -wal and -shm exist only while the store is open
        if ((info.st_mode & 0777) != ownerReadWrite && ::chmod(name.constData(), ownerReadWrite) != 0)
            return systemError(QStringLiteral("Cannot make private"), path);
    }
    return std::nullopt;
}

} // namespace snipbrook
