#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

namespace snipbrook {

// A running application as the desktop reports it.
struct RunningApplication {
    std::optional<QString> localizedName;
    std::optional<QString> bundleIdentifier;
    qint32 processIdentifier = 0;
    // An ordinary application with a taskbar presence (not an agent, panel or background tool).
    bool isRegular = false;
    // Owns the active window.
    bool isActive = false;

    bool operator==(const RunningApplication &) const = default;
};

// An application installed for this user (on Linux, a shown desktop entry).
struct InstalledApplication {
    QString bundleIdentifier;
    QString name;
    // What iconForFile takes.
    QString location;

    bool operator==(const InstalledApplication &) const = default;
};

// The desktop's view of applications: which is in front, which run, where they are installed.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The application that receives key events, or nothing.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // All running applications of this user, in the desktop's order.
    virtual QList<RunningApplication> runningApplications() const = 0;
    // Snipbrook's own bundle identifier, when it has one.
    virtual std::optional<QString> ownBundleIdentifier() const = 0;
    // Where the application with this identifier is installed, or nothing.
    virtual std::optional<QString> applicationLocation(const QString &bundleIdentifier) const = 0;
    // Every installed application, one per identifier, in no particular order. Reads the disk
    // when `rescan` is set or nothing was read yet: call it off the main thread.
    virtual QList<InstalledApplication> installedApplications(bool rescan) const = 0;
    // The installed application with this identifier, or nothing.
    virtual std::optional<InstalledApplication> installedApplication(const QString &bundleIdentifier) const = 0;
    // The icon shown for an installed application's location; always an image.
    virtual QImage iconForFile(const QString &path) const = 0;
};

} // namespace snipbrook
