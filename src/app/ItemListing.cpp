#include "ItemListing.h"

#include "model/TerminalText.h"
#include "model/UnicodeText.h"
#include "model/Uuid.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace snipbrook {
namespace {

constexpr qsizetype displayLength = 70;

QString singleLine(const QString &text)
{
    QString line;
    line.reserve(std::min<qsizetype>(text.size(), displayLength * 2));
    bool lastWasSpace = false;
    for (QChar c : text) {
        const bool space = c.isSpace() || isControlCharacter(c);
        if (space && lastWasSpace)
            continue;
        line.append(space ? QChar(u' ') : c);
        lastWasSpace = space;
        if (line.size() > displayLength * 4)
            break;
    }
    line = trimWhitespaceAndNewlines(line);
    const QString shortened = firstGraphemes(line, displayLength);
    return shortened.size() < line.size() ? shortened + QStringLiteral("…") : shortened;
}

} // namespace

QString displayText(const ClipboardItem &item)
{
    if (item.type == ClipboardItemType::image) {
        const qint64 size = item.metadata && item.metadata->size ? *item.metadata->size : 0;
        return QStringLiteral("[image, %1 bytes]").arg(size);
    }
    return singleLine(item.content);
}

QString itemLine(qsizetype position, const ClipboardItem &item)
{
    QString line = QStringLiteral("%1  %2  %3  %4")
                       .arg(position)
                       .arg(uuidString(item.id))
                       .arg(rawValue(item.type), -13)
                       .arg(displayText(item));
    // The name comes from another program's window class: no escape sequences, one line.
    if (item.metadata && item.metadata->sourceApp)
        line += QStringLiteral("  (") + singleLine(*item.metadata->sourceApp) + QLatin1Char(')');
    if (item.isFavorite)
        line += QStringLiteral("  ★");
    return line;
}

QString itemLines(const QList<ClipboardItem> &items)
{
    QStringList lines;
    for (qsizetype i = 0; i < items.size(); ++i)
        lines.append(itemLine(i, items.at(i)));
    return lines.join(QLatin1Char('\n'));
}

QString resultLines(const QList<SimilaritySearchResult> &results)
{
    QStringList lines;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const SimilaritySearchResult &r = results.at(i);
        lines.append(QStringLiteral("%1  %2  ").arg(i).arg(static_cast<double>(r.similarity), 5, 'f', 2) +
                     itemLine(i, r.item).section(QStringLiteral("  "), 1));
    }
    return lines.join(QLatin1Char('\n'));
}

QJsonArray itemsJson(const QList<ClipboardItem> &items)
{
    QJsonArray array;
    for (const ClipboardItem &item : items)
        array.append(item.toJson());
    return array;
}

QString terminalJson(const QJsonArray &array)
{
    // The JSON writer escapes C0 controls but writes DEL and the C1 controls as they are, and a
    // terminal may act on C1 ones (CSI among them). Outside strings JSON is plain ASCII, so every
    // control character left is inside a string, where an escape keeps its value.
    const QString json = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    if (std::none_of(json.begin(), json.end(), isControlCharacter))
        return json;
    QString escaped;
    escaped.reserve(json.size() + 64);
    for (const QChar c : json) {
        if (isControlCharacter(c))
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

QJsonArray resultsJson(const QList<SimilaritySearchResult> &results)
{
    QJsonArray array;
    for (const SimilaritySearchResult &r : results) {
        array.append(QJsonObject{{QLatin1String("id"), uuidString(r.id)},
                                 {QLatin1String("item"), r.item.toJson()},
                                 {QLatin1String("similarity"), static_cast<double>(r.similarity)},
                                 {QLatin1String("searchType"), rawValue(r.searchType)}});
    }
    return array;
}

} // namespace snipbrook
