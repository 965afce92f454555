#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace snipbrook {

// Canonical upper-case 8-4-4-4-12 text, as ids appear in files, keys and log lines.
QString uuidString(const QUuid &id);
// Accepts the 8-4-4-4-12 form in any case, nothing else (no braces, no other lengths).
std::optional<QUuid> parseUuid(QAnyStringView text);

} // namespace snipbrook
