#include "ItemStoreFiles.h"

#include "platform/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace snipbrook {
namespace {

constexpr mode_t ownerReadWrite = S_IRUSR | S_IWUSR;

std::optional<QString> systemError(const QString &doing, const QString &path)
{
    return doing + QLatin1Char(' ') + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

const std::array<QLatin1String, 3> storeFileSuffixes{QLatin1String(""), QLatin1String("-wal"), QLatin1String("-shm")};

// "<store>.damaged-<time>", with "-2", "-3"… appended when a file of that name (or its -wal or
// -shm) is there already.
QString unusedDamagedName(const QString &storePath)
{
    const QString base = storePath + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        bool taken = false;
        for (const QLatin1String suffix : storeFileSuffixes)
            taken = taken || QFileInfo::exists(name + suffix);
        if (!taken)
            return name;
    }
}

} // namespace

SetAsideResult setDamagedItemStoreAside(const QString &storePath)
{
    const QString keptAs = unusedDamagedName(storePath);
    std::vector<std::pair<QByteArray, QByteArray>> moved;
    for (const QLatin1String suffix : storeFileSuffixes) {
        const QByteArray from = QFile::encodeName(storePath + suffix);
        const QByteArray to = QFile::encodeName(keptAs + suffix);
        if (std::rename(from.constData(), to.constData()) == 0) {
            moved.emplace_back(from, to);
            continue;
        }
        if (errno == ENOENT && !suffix.isEmpty())
            continue; // -wal and -shm may be missing
        const QString error = QStringLiteral("cannot rename ") + storePath + suffix + QStringLiteral(": ") +
                              QString::fromLocal8Bit(std::strerror(errno));
        // A log or index file left behind would be taken for the new store's.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            std::rename(it->second.constData(), it->first.constData());
        return {std::nullopt, error};
    }
    return {keptAs, {}};
}

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
