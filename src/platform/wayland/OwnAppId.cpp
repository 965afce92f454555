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
    if (!qtAppId.isEmpty() && !ids.contains(qtAppId))
        ids.append(qtAppId);
    return ids;
}

} // namespace snipbrook
