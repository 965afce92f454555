#include "ItemsFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSet>

namespace snipbrook {

ItemsFile readItemsFile(const QString &path, qint64 maxFileBytes, qint64 maxItemBytes)
{
    ItemsFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    if (file.size() > maxFileBytes) {
        const QLocale locale = QLocale::c();
        result.error = QStringLiteral("%1 is too large to import (%2; the limit is %3)")
                           .arg(path, locale.formattedDataSize(file.size()), locale.formattedDataSize(maxFileBytes));
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("%1 is not JSON: %2 at byte %3").arg(path, parseError.errorString()).arg(parseError.offset);
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("%1 does not hold a JSON array of items").arg(path);
        return result;
    }
    const QJsonArray array = document.array();
    QSet<QUuid> seen;
    for (const QJsonValue &value : array) {
        std::optional<ClipboardItem> item = value.isObject() ? ClipboardItem::fromJson(value.toObject()) : std::nullopt;
        if (!item) {
            ++result.unreadable;
        } else if (seen.contains(item->id)) {
            ++result.repeated;
        } else if (qint64(item->content.size()) * 3 > maxItemBytes && item->content.toUtf8().size() > maxItemBytes) {
            ++result.tooLarge;
        } else {
            seen.insert(item->id);
            result.items.append(std::move(*item));
        }
    }
    return result;
}

} // namespace snipbrook
