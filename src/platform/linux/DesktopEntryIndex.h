#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace snipbrook {

// An installed application as its desktop entry describes it.
struct DesktopEntry {
    // The file name without ".desktop"; a subfolder of applications/ is joined with "-".
    QString id;
    QString path;
    // The Name in the user's language, else the plain Name.
    QString name;
    // Icon=: a theme icon name or an absolute path.
    QString icon;
    QString startupWMClass;
    // Type=Application and neither Hidden nor NoDisplay.
    bool isShown = false;

    bool operator==(const DesktopEntry &) const = default;
};

// Reads the [Desktop Entry] group of one file; nothing when it cannot be read or has no such
// group. `localeKeys` are the Name[...] suffixes to try, most specific first.
std::optional<DesktopEntry> parseDesktopEntry(const QString &path, const QString &id, const QStringList &localeKeys);

// The shown applications under applications/ of every XDG data directory. An entry in an
// earlier directory hides one with the same id in a later one (even to hide it). Scanned on
// first use; a lookup that misses scans again when a folder has changed since, so applications
// installed later are found without watching the disk. Safe to use from several threads.
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(QStringList dataDirs = standardDataDirs(), const QString &locale = messagesLocale());

    // Reads the entries now unless that was done already.
    void load();

    std::optional<DesktopEntry> byId(const QString &id);
    // By StartupWMClass (class, then instance), else by id equal to the class or the instance
    // ignoring case.
    std::optional<DesktopEntry> byWindowClass(const QString &instance, const QString &windowClass);
    std::optional<DesktopEntry> byPath(const QString &path);
    // Every shown entry, in precedence order (one per id). With `rescan` the folders are read
    // again first, outside the lock, so lookups from other threads do not wait for the disk.
    std::vector<DesktopEntry> shownEntries(bool rescan = false);

    int scanCount() const;

    // $XDG_DATA_HOME, then $XDG_DATA_DIRS, with their defaults.
    static QStringList standardDataDirs();
    // The language for messages: LC_ALL, else LC_MESSAGES, else LANG.
    static QString messagesLocale();
    // "de_DE.UTF-8@euro" gives de_DE@euro, de_DE, de@euro, de.
    static QStringList localeKeys(const QString &locale);

private:
    using Match = std::function<bool(const DesktopEntry &)>;
    // The first entry, in precedence order, of the first tier that matches any.
    std::optional<DesktopEntry> find(const std::vector<Match> &tiers);
    const DesktopEntry *findLocked(const std::vector<Match> &tiers) const;
    struct Scan {
        std::vector<DesktopEntry> entries;
        QHash<QString, QPair<qint64, qint64>> folderStamps;
    };
    static Scan scanFolders(const QStringList &dataDirs, const QStringList &localeKeys);
    void scanLocked();
    bool foldersChangedLocked() const;

    mutable std::mutex m_mutex;
    QStringList m_dataDirs;
    QStringList m_localeKeys;
    std::vector<DesktopEntry> m_entries;
    // Modification time and entry count of the folders seen at the last scan (-1 when missing).
    QHash<QString, QPair<qint64, qint64>> m_folderStamps;
    bool m_scanned = false;
    int m_scanCount = 0;
};

} // namespace snipbrook
