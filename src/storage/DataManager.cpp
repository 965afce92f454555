#include "DataManager.h"

#include "model/Diagnostics.h"
#include "model/Uuid.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <stdexcept>

namespace snipbrook {
namespace {

class LegacyFileError : public std::runtime_error {
public:
    explicit LegacyFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

QJsonArray readJsonArray(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw LegacyFileError(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw LegacyFileError(QStringLiteral("Cannot read ") + path + QStringLiteral(": ") + file.errorString());
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw LegacyFileError(path + QStringLiteral(" is not valid JSON: ") + parseError.errorString() +
                              QStringLiteral(" at offset ") + QString::number(parseError.offset));
    if (!document.isArray())
        throw LegacyFileError(path + QStringLiteral(" does not hold a JSON array"));
    return document.array();
}

// One line for the elements of a file that were left out, so one bad entry costs only itself.
void logSkipped(qsizetype skipped, const QString &fileName)
{
    if (skipped > 0)
        diag(QStringLiteral("⚠️ Skipped %1 unreadable %2 in %3")
                 .arg(skipped)
                 .arg(skipped == 1 ? QStringLiteral("entry") : QStringLiteral("entries"), fileName));
}

} // namespace

DataManager::DataManager(const QString &documentsPath) : documentsPath(documentsPath) {}

QList<ClipboardItem> DataManager::loadLegacyItems() const
{
    const QString path = QDir(documentsPath).filePath(clipboardDataFileName);
    try {
        const QJsonArray array = readJsonArray(path);
        QList<ClipboardItem> items;
        items.reserve(array.size());
        for (const QJsonValue &value : array) {
            std::optional<ClipboardItem> item;
            if (value.isObject())
                item = ClipboardItem::fromJson(value.toObject());
            if (item)
                items.append(std::move(*item));
        }
        logSkipped(array.size() - items.size(), clipboardDataFileName);
        diag(QStringLiteral("✅ Loaded ") + QString::number(items.size()) + QStringLiteral(" clipboard items from storage"));
        return items;
    } catch (const std::exception &error) { // also a file too big to hold in memory
        diag(QStringLiteral("⚠️ No existing clipboard data found or failed to load: ") + QString::fromUtf8(error.what()));
        return {};
    }
}

QSet<QUuid> DataManager::loadLegacyFavorites() const
{
    const QString path = QDir(documentsPath).filePath(favoritesFileName);
    try {
        const QJsonArray array = readJsonArray(path);
        QSet<QUuid> ids;
        qsizetype listed = 0; // repeated ids count, as they always have
        for (const QJsonValue &value : array) {
            if (const auto id = value.isString() ? parseUuid(value.toString()) : std::nullopt) {
                ids.insert(*id);
                ++listed;
            }
        }
        logSkipped(array.size() - listed, favoritesFileName);
        diag(QStringLiteral("✅ Loaded ") + QString::number(listed) + QStringLiteral(" favorites"));
        return ids;
    } catch (const std::exception &error) {
        diag(QStringLiteral("⚠️ No existing favorites found or failed to load: ") + QString::fromUtf8(error.what()));
        return {};
    }
}

} // namespace snipbrook
