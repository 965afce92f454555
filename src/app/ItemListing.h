#pragma once

#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"

#include <QJsonArray>
#include <QList>

namespace snipbrook {

// How items and search results look on the command line: one line each in plain text, or the
// item model's JSON form.

// "0  6F1C…  text      Hello world  (Editor)"; favourites carry a star.
QString itemLine(qsizetype position, const ClipboardItem &item);
QString itemLines(const QList<ClipboardItem> &items);
QString resultLines(const QList<SimilaritySearchResult> &results);

QJsonArray itemsJson(const QList<ClipboardItem> &items);
// Each result as {"id", "item", "similarity", "searchType"}.
QJsonArray resultsJson(const QList<SimilaritySearchResult> &results);
// The array in compact form, with no raw control character a terminal could act on.
QString terminalJson(const QJsonArray &array);

// A short one-line form of the item's content for a terminal.
QString displayText(const ClipboardItem &item);

} // namespace snipbrook
