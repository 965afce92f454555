#include "OwnAppId.h"

#include "platform/linux/DesktopApplications.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace snipbrook {

QStringList snipbrookAppIds()
{
    QStringList ids{DesktopApplications::snipbrookBundleIdentifier()};
    if (!QCoreApplication::instance())
        return ids;
    // Qt's rule for xdg_toplevel.set_app_id.
    QString qtAppId = QGuiApplication::desktopFileName();
    if (qtAppId.endsWith(QLatin1StringView(".desktop")))
        qtAppId.chop(8);
    if (qtAppId.isEmpty()) {
        const QStringList domain = QCoreApplication::organizationDomain().split(u'.', Qt::SkipEmptyParts);
        for (const QString &part : domain)
            qtAppId.prepend(part + u'.');
        qtAppId += QFileInfo(QCoreApplication::applicationFilePath()).baseName();
    }
    // Run through XWayland, our windows are named by their X11 class: the application name.
    for (const QString &id : {qtAppId, QCoreApplication::applicationName()})
        if (!id.isEmpty() && !ids.contains(id))
            ids.append(id);
    return ids;
}

} // namespace snipbrook
