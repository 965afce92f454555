#include "PrivateFiles.h"

#include "model/Diagnostics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace snipbrook {
namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    return writeFileAtomically(path, [&bytes](QIODevice &file) { return file.write(bytes) == bytes.size(); });
}

std::optional<QString> writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    // QSaveFile would write to a link's target, wherever that is: the link goes instead.
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        if (!QFile::remove(path))
            return QStringLiteral("cannot replace the symbolic link %1").arg(path);
        diag(QStringLiteral("⚠️ Replaced a symbolic link with the file itself: ") + path + QStringLiteral(" (it pointed to ") +
             existing.symLinkTarget() + QLatin1Char(')'));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // The temporary file takes the old file's mode; make it private before any byte is written.
    if (!file.setPermissions(ownerOnly)) {
        file.cancelWriting();
        return QStringLiteral("cannot make %1 private").arg(path);
    }
    if (!write(file)) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error.isEmpty() ? QStringLiteral("writing failed") : error;
    }
    if (!file.commit()) // flushes to disk, then renames over the old file
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> copyFilePrivately(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return source.errorString();
    // Created private from the start; NewOnly refuses an existing target.
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        return QFileInfo::exists(to) ? QStringLiteral("the file %1 already exists").arg(to) : target.errorString();
    const auto discardTarget = [&](const QString &error) {
        target.close();
        removeFileReporting(to, QStringLiteral("the incomplete copy"));
        return error;
    };
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.write(chunk) != chunk.size())
            return discardTarget(target.errorString());
    }
    if (source.error() != QFileDevice::NoError)
        return discardTarget(source.errorString());
    if (!target.flush())
        return discardTarget(target.errorString());
    return std::nullopt;
}

bool removeFileReporting(const QString &path, const QString &what)
{
    // A missing folder on the way (ENOTDIR) means the file cannot be there either.
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return true;
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR)
        return true;
    // error_code's message is thread-safe, unlike strerror.
    const QString reason = QString::fromStdString(std::error_code(error, std::generic_category()).message());
    diag(QStringLiteral("❌ Failed to remove %1: %2 (%3)").arg(what, path, reason));
    return false;
}

} // namespace snipbrook
