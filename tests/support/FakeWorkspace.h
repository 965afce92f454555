#pragma once

#include "platform/Workspace.h"

#include <QHash>

#include <atomic>

namespace snipbrook::test {

// A desktop whose applications the test sets up directly.
class FakeWorkspace : public Workspace {
public:
    std::optional<RunningApplication> front;
    QList<RunningApplication> running;
    std::optional<QString> ownBundle = QStringLiteral("com.snipbrook.app");
    // Installed applications: bundle identifier to location.
    QHash<QString, QString> installed;
    // Their names (the identifier when absent here).
    QHash<QString, QString> installedNames;

    mutable std::atomic<int> locationLookups{0};
    mutable std::atomic<int> installedScans{0};

    std::optional<RunningApplication> frontmostApplication() const override { return front; }
    QList<RunningApplication> runningApplications() const override { return running; }
    std::optional<QString> ownBundleIdentifier() const override { return ownBundle; }
    std::optional<QString> applicationLocation(const QString &bundleIdentifier) const override;
    // Reads `installed` and `installedNames` from the calling thread: set them up before a scan starts.
    QList<InstalledApplication> installedApplications(bool rescan) const override;
    std::optional<InstalledApplication> installedApplication(const QString &bundleIdentifier) const override;
    QImage iconForFile(const QString &path) const override;

    static RunningApplication app(const QString &name, const QString &bundle, qint32 pid,
                                  bool isRegular = true, bool isActive = false)
    {
        return {name, bundle, pid, isRegular, isActive};
    }
};

} // namespace snipbrook::test
