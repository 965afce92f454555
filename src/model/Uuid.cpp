#include "Uuid.h"

namespace snipbrook {

QString uuidString(const QUuid &id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> parseUuid(QAnyStringView text)
{
    // Read straight from whatever holds it (a store's UTF-8 bytes, say), with no copy.
    return text.visit([](auto view) -> std::optional<QUuid> {
        if (view.size() != 36)
            return std::nullopt;
        for (int i = 0; i < 36; ++i) {
            const char16_t c = QChar(view[i]).unicode();
            const bool dashPlace = i == 8 || i == 13 || i == 18 || i == 23;
            const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
            if (dashPlace ? c != u'-' : !hex)
                return std::nullopt;
        }
        return QUuid::fromString(view);
    });
}

} // namespace snipbrook
