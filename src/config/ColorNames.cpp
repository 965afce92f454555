#include "ColorNames.h"

#include <array>

namespace snipbrook {

namespace {

struct NamedColor {
    QLatin1StringView name;
    QRgb rgb;
};

// In matching order; the first entry is also the fallback. The shades are chosen to read well as
// tints on both light and dark surfaces.
constexpr std::array<NamedColor, 13> namedColors{{
    {QLatin1StringView("orange"), 0xFFF5871F},
    {QLatin1StringView("red"), 0xFFE0443E},
    {QLatin1StringView("blue"), 0xFF2F7BF5},
    {QLatin1StringView("cyan"), 0xFF2AB7D4},
    {QLatin1StringView("green"), 0xFF3DAE5A},
    {QLatin1StringView("mint"), 0xFF3CC7B0},
    {QLatin1StringView("purple"), 0xFF9B59D0},
    {QLatin1StringView("pink"), 0xFFE9588F},
    {QLatin1StringView("gray"), 0xFF8A8D91},
    {QLatin1StringView("black"), 0xFF000000},
    {QLatin1StringView("yellow"), 0xFFF2C230},
    {QLatin1StringView("indigo"), 0xFF5B5BD6},
    {QLatin1StringView("teal"), 0xFF2F9E9E},
}};

const NamedColor &lookup(const QString &name)
{
    const QString lower = name.toLower();
    for (const NamedColor &entry : namedColors) {
        if (lower == entry.name)
            return entry;
    }
    return namedColors.front();
}

} // namespace

QString resolvedColorName(const QString &name) { return lookup(name).name; }

QColor colorForName(const QString &name) { return QColor::fromRgb(lookup(name).rgb); }

} // namespace snipbrook
