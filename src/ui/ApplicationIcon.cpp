#include "ApplicationIcon.h"

#include <QDir>

namespace snipbrook {

QIcon applicationIcon()
{
    static const QIcon icon = [] {
        QIcon sizes;
        const QDir folder(QStringLiteral(":/icons"));
        for (const QString &size : folder.entryList(QDir::Dirs))
            sizes.addFile(folder.filePath(size + QStringLiteral("/com.snipbrook.app.png")));
        return sizes;
    }();
    return icon;
}

} // namespace snipbrook
