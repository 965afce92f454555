#include "DesktopApplications.h"

#include "DesktopIcons.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace snipbrook {
namespace {

InstalledApplication installedFrom(const DesktopEntry &entry)
{
    return {entry.id, entry.name.isEmpty() ? entry.id : entry.name, entry.path};
}

} // namespace

DesktopApplications::DesktopApplications(QStringList dataDirs, const QString &locale)
    : m_dataDirs(std::move(dataDirs)), m_entries(m_dataDirs, locale)
{
    m_warmUp = std::thread([this] { m_entries.load(); });
}

DesktopApplications::~DesktopApplications() { m_warmUp.join(); }

std::optional<QString> DesktopApplications::applicationLocation(const QString &bundleIdentifier) const
{
    const std::optional<DesktopEntry> entry = m_entries.byId(bundleIdentifier);
    return entry ? std::optional(entry->path) : std::nullopt;
}

QList<InstalledApplication> DesktopApplications::installedApplications(bool rescan) const
{
    QList<InstalledApplication> apps;
    for (const DesktopEntry &entry : m_entries.shownEntries(rescan))
        apps.append(installedFrom(entry));
    return apps;
}

std::optional<InstalledApplication> DesktopApplications::installedApplication(const QString &bundleIdentifier) const
{
    const std::optional<DesktopEntry> entry = m_entries.byId(bundleIdentifier);
    return entry ? std::optional(installedFrom(*entry)) : std::nullopt;
}

QImage DesktopApplications::iconForFile(const QString &path) const
{
    QString icon;
    if (path.endsWith(QLatin1StringView(".desktop"))) {
        std::optional<DesktopEntry> entry = m_entries.byPath(path);
        if (!entry)
            entry = parseDesktopEntry(path, QFileInfo(path).completeBaseName(), {});
        if (entry)
            icon = entry->icon;
    } else if (QFileInfo::exists(path)) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
        icon = type.iconName();
        if (QImage image = renderDesktopIcon(icon, m_dataDirs, iconSize); !image.isNull())
            return image;
        icon = type.genericIconName();
    }
    if (QImage image = renderDesktopIcon(icon, m_dataDirs, iconSize); !image.isNull())
        return image;
    return genericApplicationIcon(iconSize);
}

} // namespace snipbrook
