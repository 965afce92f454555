#include "XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace snipbrook {

namespace {

constexpr auto privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
// A real entry is a few hundred bytes; a larger file is read no further than this.
constexpr qint64 maxEntryBytes = 256 * 1024;

QString configHomeFromEnvironment()
{
    const QString fromEnv = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The XDG rule: a relative path is invalid and is ignored.
    if (!fromEnv.isEmpty() && QDir::isAbsolutePath(fromEnv))
        return fromEnv;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Creates the missing folders of `path`, each private to the user; existing ones are left as
// they are (the autostart folder is shared with other programs).
bool makePrivateFolders(const QString &path, QString *error)
{
    const QString clean = QDir::cleanPath(path);
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !makePrivateFolders(parent, error))
        return false;
    if (::mkdir(QFile::encodeName(clean).constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create folder %1: %2").arg(clean, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!QFileInfo(clean).isDir()) {
        *error = QStringLiteral("not a folder: ") + clean;
        return false;
    }
    return true;
}

// The key values of the [Desktop Entry] group that decide whether the entry is switched off.
bool entrySwitchedOff(const QByteArray &text)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "Hidden" && value == "true")
            return true;
        if (key == "X-GNOME-Autostart-enabled" && value == "false")
            return true;
    }
    return false;
}

} // namespace

QString quotedExecArgument(const QString &argument, bool *ok)
{
    *ok = true;
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    QString inner;
    for (const QChar c : argument) {
        if (c.category() == QChar::Other_Control) {
            *ok = false;
            return {};
        }
        if (reserved.contains(c))
            needsQuotes = true;
        // Inside quotes these four take a backslash.
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            inner += u'\\';
        inner += c;
    }
    QString quoted = needsQuotes ? u'"' + inner + u'"' : argument;
    // Then the rules of every string value: a backslash is written twice; a literal percent sign
    // is doubled so it is not read as a field code.
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

XdgAutostart::XdgAutostart(QString program, QStringList arguments, QString configHome)
    : m_program(std::move(program)), m_arguments(std::move(arguments))
{
    if (configHome.isEmpty())
        configHome = configHomeFromEnvironment();
    m_folder = QDir::cleanPath(configHome + QStringLiteral("/autostart"));
    m_entryPath = m_folder + u'/' + QLatin1String(entryName);
}

bool XdgAutostart::isEnabled() const
{
    QFile file(m_entryPath);
    if (!QFileInfo(m_entryPath).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return !entrySwitchedOff(file.read(maxEntryBytes));
}

QString XdgAutostart::entryText(QString *error) const
{
    if (!QDir::isAbsolutePath(m_program)) {
        *error = QStringLiteral("the program path is not absolute: ") + m_program;
        return {};
    }
    QStringList exec;
    for (const QString &part : QStringList{m_program} + m_arguments) {
        bool ok = false;
        exec += quotedExecArgument(part, &ok);
        if (!ok) {
            *error = QStringLiteral("the command holds control characters: ") + m_program;
            return {};
        }
    }
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Snipbrook\n"
                          "Comment=Clipboard history\n"
                          "Exec=%1\n"
                          "Icon=com.snipbrook.app\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec.join(u' '));
}

bool XdgAutostart::setEnabled(bool enabled, QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    if (!enabled) {
        QFile file(m_entryPath);
        if (!file.exists() || file.remove())
            return true;
        *error = QStringLiteral("cannot remove %1: %2").arg(m_entryPath, file.errorString());
        return false;
    }

    const QString text = entryText(error);
    if (text.isEmpty())
        return false;
    if (!makePrivateFolders(m_folder, error))
        return false;
    // The new entry replaces the old one whole or not at all.
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_entryPath, file.errorString());
        return false;
    }
    file.setPermissions(privateFile);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_entryPath, file.errorString());
        return false;
    }
    // An entry kept from before may have had wider permissions.
    QFile::setPermissions(m_entryPath, privateFile);
    return true;
}

} // namespace snipbrook
