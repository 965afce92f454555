#include "DesktopEntryIndex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>


namespace snipbrook {
namespace {

const QString desktopSuffix = QStringLiteral(".desktop");

QString unescapeValue(const QString &value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            result.append(c);
            continue;
        }
        switch (value[++i].unicode()) {
        case u's': result.append(u' '); break;
        case u'n': result.append(u'\n'); break;
        case u't': result.append(u'\t'); break;
        case u'r': result.append(u'\r'); break;
        case u'\\': result.append(u'\\'); break;
        default: result.append(u'\\').append(value[i]); break;
        }
    }
    return result;
}

// File times are coarse (a clock tick), so the number of entries is part of the stamp: a file
// added or removed right after a scan still changes it.
QPair<qint64, qint64> folderStamp(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return {-1, -1};
    const qint64 entries = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size();
    return {info.lastModified().toMSecsSinceEpoch(), entries};
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(const QString &path, const QString &id, const QStringList &localeKeys)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    // Desktop entries are small; a huge file is not one.
    if (file.size() > 1024 * 1024)
        return std::nullopt;

    bool inMainGroup = false;
    bool sawMainGroup = false;
    QHash<QString, QString> values;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1StringView("[Desktop Entry]");
            // Only the first [Desktop Entry] group counts; later groups are actions.
            if (!inMainGroup && sawMainGroup)
                break;
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!values.contains(key))
            values.insert(key, unescapeValue(line.mid(equals + 1).trimmed()));
    }
    if (!sawMainGroup)
        return std::nullopt;

    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    entry.name = values.value(QStringLiteral("Name"));
    for (const QString &key : localeKeys) {
        const auto it = values.constFind(QStringLiteral("Name[") + key + u']');
        if (it != values.constEnd() && !it->isEmpty()) {
            entry.name = *it;
            break;
        }
    }
    entry.icon = values.value(QStringLiteral("Icon"));
    entry.startupWMClass = values.value(QStringLiteral("StartupWMClass"));
    const auto isTrue = [&](const char *key) { return values.value(QLatin1StringView(key)) == QLatin1StringView("true"); };
    entry.isShown = values.value(QStringLiteral("Type")) == QLatin1StringView("Application") && !isTrue("Hidden")
        && !isTrue("NoDisplay");
    return entry;
}

DesktopEntryIndex::DesktopEntryIndex(QStringList dataDirs, const QString &locale)
    : m_dataDirs(std::move(dataDirs)), m_localeKeys(localeKeys(locale))
{
}

QStringList DesktopEntryIndex::standardDataDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

QString DesktopEntryIndex::messagesLocale()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = QString::fromLocal8Bit(qgetenv(variable));
        if (!value.isEmpty())
            return value;
    }
    return {};
}

QStringList DesktopEntryIndex::localeKeys(const QString &locale)
{
    QString rest = locale;
    QString modifier;
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        modifier = rest.mid(at + 1);
        rest.truncate(at);
    }
    if (const qsizetype dot = rest.indexOf(u'.'); dot >= 0)
        rest.truncate(dot);
    QString language = rest;
    QString country;
    if (const qsizetype underscore = rest.indexOf(u'_'); underscore >= 0) {
        language = rest.left(underscore);
        country = rest.mid(underscore + 1);
    }
    if (language.isEmpty() || language == QLatin1StringView("C") || language == QLatin1StringView("POSIX"))
        return {};
    QStringList keys;
    if (!country.isEmpty() && !modifier.isEmpty())
        keys.append(language + u'_' + country + u'@' + modifier);
    if (!country.isEmpty())
        keys.append(language + u'_' + country);
    if (!modifier.isEmpty())
        keys.append(language + u'@' + modifier);
    keys.append(language);
    return keys;
}

void DesktopEntryIndex::load()
{
    std::lock_guard lock(m_mutex);
    if (!m_scanned)
        scanLocked();
}

std::optional<DesktopEntry> DesktopEntryIndex::byId(const QString &id)
{
    return find({[&](const DesktopEntry &entry) { return entry.id == id; }});
}

std::optional<DesktopEntry> DesktopEntryIndex::byPath(const QString &path)
{
    const QString canonical = QFileInfo(path).absoluteFilePath();
    return find({[&](const DesktopEntry &entry) { return entry.path == canonical; }});
}

std::optional<DesktopEntry> DesktopEntryIndex::byWindowClass(const QString &instance, const QString &windowClass)
{
    if (instance.isEmpty() && windowClass.isEmpty())
        return std::nullopt;
    const std::vector<Match> tiers{
        [&](const DesktopEntry &e) { return !windowClass.isEmpty() && e.startupWMClass == windowClass; },
        [&](const DesktopEntry &e) { return !instance.isEmpty() && e.startupWMClass == instance; },
        [&](const DesktopEntry &e) { return !windowClass.isEmpty() && e.id.compare(windowClass, Qt::CaseInsensitive) == 0; },
        [&](const DesktopEntry &e) { return !instance.isEmpty() && e.id.compare(instance, Qt::CaseInsensitive) == 0; },
    };
    return find(tiers);
}

int DesktopEntryIndex::scanCount() const
{
    std::lock_guard lock(m_mutex);
    return m_scanCount;
}

std::optional<DesktopEntry> DesktopEntryIndex::find(const std::vector<Match> &tiers)
{
    std::lock_guard lock(m_mutex);
    if (!m_scanned)
        scanLocked();
    const DesktopEntry *found = findLocked(tiers);
    // A found entry whose file is gone, or a miss after the folders changed: look again.
    if ((!found || !QFileInfo::exists(found->path)) && foldersChangedLocked()) {
        scanLocked();
        found = findLocked(tiers);
    }
    return found ? std::optional(*found) : std::nullopt;
}

const DesktopEntry *DesktopEntryIndex::findLocked(const std::vector<Match> &tiers) const
{
    for (const Match &match : tiers) {
        for (const DesktopEntry &entry : m_entries) {
            if (entry.isShown && match(entry))
                return &entry;
        }
    }
    return nullptr;
}

std::vector<DesktopEntry> DesktopEntryIndex::shownEntries(bool rescan)
{
    if (rescan) {
        Scan scan = scanFolders(m_dataDirs, m_localeKeys);
        std::lock_guard lock(m_mutex);
        m_scanned = true;
        ++m_scanCount;
        m_entries = std::move(scan.entries);
        m_folderStamps = std::move(scan.folderStamps);
    }
    std::lock_guard lock(m_mutex);
    if (!m_scanned)
        scanLocked();
    std::vector<DesktopEntry> shown;
    shown.reserve(m_entries.size());
    for (const DesktopEntry &entry : m_entries) {
        if (entry.isShown)
            shown.push_back(entry);
    }
    return shown;
}

void DesktopEntryIndex::scanLocked()
{
    Scan scan = scanFolders(m_dataDirs, m_localeKeys);
    m_scanned = true;
    ++m_scanCount;
    m_entries = std::move(scan.entries);
    m_folderStamps = std::move(scan.folderStamps);
}

DesktopEntryIndex::Scan DesktopEntryIndex::scanFolders(const QStringList &dataDirs, const QStringList &localeKeys)
{
    Scan scan;
    QSet<QString> seen;
    for (const QString &dataDir : dataDirs) {
        const QString root = QDir(dataDir).absoluteFilePath(QStringLiteral("applications"));
        scan.folderStamps.insert(root, folderStamp(root));
        if (!QFileInfo(root).isDir())
            continue;
        QStringList files;
        QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (it.fileInfo().isDir())
                scan.folderStamps.insert(path, folderStamp(path));
            else if (path.endsWith(desktopSuffix))
                files.append(path);
        }
        files.sort();
        for (const QString &path : files) {
            QString id = path.mid(root.size() + 1);
            id.chop(desktopSuffix.size());
            id.replace(u'/', u'-');
            if (seen.contains(id))
                continue;
            seen.insert(id);
            if (std::optional<DesktopEntry> entry = parseDesktopEntry(path, id, localeKeys))
                scan.entries.push_back(std::move(*entry));
        }
    }
    return scan;
}

bool DesktopEntryIndex::foldersChangedLocked() const
{
    for (auto it = m_folderStamps.constBegin(); it != m_folderStamps.constEnd(); ++it) {
        if (folderStamp(it.key()) != it.value())
            return true;
    }
    return false;
}

} // namespace snipbrook
