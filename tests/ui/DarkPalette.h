#pragma once

#include <QColor>
#include <QPalette>

namespace snipbrook::test {

// A dark desktop palette, for checking what widgets draw on one.
inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2f));
    palette.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf5));
    palette.setColor(QPalette::Base, QColor(0x1f, 0x1f, 0x23));
    palette.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf5));
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x3a));
    palette.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf5));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xf0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa2));
    palette.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x56));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x76));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x70, 0x76));
    return palette;
}

} // namespace snipbrook::test
