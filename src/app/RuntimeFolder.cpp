#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace snipbrook {
namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

QString refusal(const QString &path, const QString &why)
{
    return path + QStringLiteral(" ") + why + QStringLiteral("; Snipbrook will not use it. Remove it, or set "
                                                             "XDG_RUNTIME_DIR to a folder of your own.");
}

// The session's runtime folder is made private to the user by the system; a relative value is
// no folder at all (the base-directory rules say to ignore it).
std::optional<QString> sessionFolder()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) ? std::optional(folder) : std::nullopt;
}

} // namespace

QString RuntimeFolder::location()
{
    return sessionFolder().value_or(QStringLiteral("/tmp/snipbrook-%1").arg(::geteuid()));
}

RuntimeFolder RuntimeFolder::claim()
{
    const QString path = location();
    if (sessionFolder()) {
        if (!QFileInfo::exists(path) && QDir().mkpath(path))
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return {path, {}};
    }
    return {path, claimPrivateFolder(path).value_or(QString())};
}

std::optional<QString> claimPrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) == 0) {
        // The umask may have taken more than we asked for.
        ::chmod(name.constData(), 0700);
    } else if (errno != EEXIST) {
        return path + QStringLiteral(" cannot be created: ") + systemError();
    }
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return path + QStringLiteral(" cannot be read: ") + systemError();
    if (S_ISLNK(info.st_mode))
        return refusal(path, QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(info.st_mode))
        return refusal(path, QStringLiteral("is not a folder"));
    if (info.st_uid != ::geteuid())
        return refusal(path, QStringLiteral("belongs to another user (uid %1)").arg(info.st_uid));
    if ((info.st_mode & 07777) != 0700)
        return refusal(path, QStringLiteral("has mode %1, not 0700").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0')));
    return std::nullopt;
}

} // namespace snipbrook
