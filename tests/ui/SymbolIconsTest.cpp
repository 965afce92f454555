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

} // namespace

// Icons need a QGuiApplication: this replaces the common test main.
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
