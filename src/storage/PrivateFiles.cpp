#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace snipbrook {
namespace {

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // The temporary file takes the old file's mode; make it private before any byte is written.
    if (!file.setPermissions(ownerOnly)) {
        file.cancelWriting();
        return QStringLiteral("cannot make %1 private").arg(path);
    }
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
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
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.write(chunk) != chunk.size()) {
            const QString error = target.errorString();
            target.remove();
            return error;
        }
    }
    if (source.error() != QFileDevice::NoError || !target.flush()) {
        const QString error = source.error() != QFileDevice::NoError ? source.errorString() : target.errorString();
        target.remove();
        return error;
    }
    return std::nullopt;
}

} // namespace snipbrook
