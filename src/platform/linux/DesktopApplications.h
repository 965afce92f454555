#pragma once

#include "DesktopEntryIndex.h"
#include "platform/Workspace.h"

#include <thread>

namespace snipbrook {

// The installed applications of a Linux desktop as every workspace reports them, whatever the
// display server: the shown desktop entries, their locations and icons. The entries are read
// in the background at once, so the first copy does not wait for the disk. Thread-safe.
class DesktopApplications {
public:
    static constexpr int iconSize = 64;
    // Snipbrook's own desktop-entry id, which names it as an application on every desktop.
    static QString snipbrookBundleIdentifier() { return QStringLiteral("com.snipbrook.app"); }

    DesktopApplications(QStringList dataDirs, const QString &locale);
    ~DesktopApplications();
    DesktopApplications(const DesktopApplications &) = delete;
    DesktopApplications &operator=(const DesktopApplications &) = delete;

    DesktopEntryIndex &entries() const { return m_entries; }

    std::optional<QString> applicationLocation(const QString &bundleIdentifier) const;
    QList<InstalledApplication> installedApplications(bool rescan) const;
    std::optional<InstalledApplication> installedApplication(const QString &bundleIdentifier) const;
    QImage iconForFile(const QString &path) const;

private:
    const QStringList m_dataDirs;
    mutable DesktopEntryIndex m_entries;
    std::thread m_warmUp;
};

} // namespace snipbrook
