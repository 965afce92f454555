#include "ui/SymbolIcons.h"

#include "config/DefaultConfiguration.h"
#include "model/ClipboardItemType.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

// Every symbol the stored data names (item kinds, the default categories) and the tray's own
// must have a theme icon to ask for and a drawn one for desktops without a theme.
TEST(SymbolIconsTest, EverySymbolTheDataNamesHasAThemeNameAndADrawnIcon)
{
    QStringList symbols{QStringLiteral("doc.on.clipboard"), QStringLiteral("photo")};
    for (ClipboardItemType type : allClipboardItemTypes)
        symbols.append(symbolName(type));
    for (const CategoryGroup &group : defaultConfiguration().categoryGroups)
        for (const Category &category : group.categories)
            symbols.append(category.icon);
    for (const QString &symbol : symbols) {
        EXPECT_FALSE(freedesktopIconName(symbol).isEmpty()) << symbol.toStdString();
        EXPECT_FALSE(drawnSymbolIcon(symbol).pixmap(32).isNull()) << symbol.toStdString();
    }
    EXPECT_EQ(freedesktopIconName(QStringLiteral("doc.on.clipboard")), QStringLiteral("edit-paste"));
    EXPECT_FALSE(symbolIcon(QStringLiteral("no.such.symbol")).isNull()); // a placeholder, never nothing
}

// The one-colour form must show the symbol in the colour asked for, even where the theme has no
// monochrome icon: a blank or wrongly coloured pixmap leaves a hole in the panel's rows.
TEST(SymbolIconsTest, TintedSymbolsAreDrawnInTheirColourWithOrWithoutATheme)
{
    const QColor red(220, 20, 30);
    for (const QString &symbol : {QStringLiteral("trash"), QStringLiteral("link"), QStringLiteral("heart.slash"),
                                  QStringLiteral("no.such.symbol")}) {
        const QImage image = symbolPixmap(symbol, red, 24, 2.0).toImage();
        EXPECT_EQ(image.size(), QSize(48, 48)) << symbol.toStdString();
        int inked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() > 200) {
                    ++inked;
                    EXPECT_NEAR(pixel.red(), red.red(), 8) << symbol.toStdString();
                    EXPECT_NEAR(pixel.blue(), red.blue(), 8) << symbol.toStdString();
                }
            }
        EXPECT_GT(inked, 20) << symbol.toStdString();
    }
}

} // namespace

// Icons need a QGuiApplication: this replaces the common test main.
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
