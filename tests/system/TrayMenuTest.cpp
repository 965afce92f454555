#include "platform/linux/QtTrayIcon.h"

#include "support/WaitFor.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class TrayMenuTest : public ::testing::Test {
protected:
    QStringList iconsAsked;
    QtTrayIcon tray{[this](const QString &symbol) {
        iconsAsked.append(symbol);
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::blue);
        return QIcon(pixmap);
    }};
    QStringList chosen;

    // Sets the menu and waits for the QMenu to follow.
    QMenu &show(const MenuModel &model)
    {
        tray.setMenu(model);
        EXPECT_TRUE(waitFor([&] { return !tray.contextMenu()->actions().isEmpty(); }));
        return *tray.contextMenu();
    }
    MenuEntry choice(const QString &title)
    {
        return MenuEntry::action(title, [this, title] { chosen.append(title); });
    }
};

TEST_F(TrayMenuTest, MenuModelBecomesAQMenuWithTheSameTextsStatesAndActions)
{
    QImage picture(32, 32, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    MenuEntry image = MenuEntry::submenu(QStringLiteral("Image"), {choice(QStringLiteral("Copy"))});
    image.image = picture;
    MenuEntry photo = MenuEntry::submenu(QStringLiteral("Tom & Jerry\nline two\tcolumn"), {choice(QStringLiteral("Paste"))});
    photo.symbol = QStringLiteral("photo");
    MenuEntry disabled = choice(QStringLiteral("No recent items"));
    disabled.enabled = false;
    MenuEntry quit = choice(QStringLiteral("Quit Snipbrook"));
    quit.shortcut = QStringLiteral("Ctrl+Q");

    QMenu &menu = show({MenuEntry::submenu(QStringLiteral("Recent Items"), {image, photo, disabled}), MenuEntry::separator(), quit});

    const QList<QAction *> top = menu.actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_TRUE(top[1]->isSeparator());
    EXPECT_EQ(top[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    ASSERT_TRUE(top[0]->menu());
    const QList<QAction *> recent = top[0]->menu()->actions();
    ASSERT_EQ(recent.size(), 3);
    EXPECT_FALSE(recent[0]->icon().isNull());
    EXPECT_EQ(iconsAsked, QStringList{"photo"}); // the picture needs no lookup
    // '&' is shown as written, not taken as a mnemonic; one line per entry.
    EXPECT_EQ(recent[1]->text(), QStringLiteral("Tom && Jerry line two column"));
    EXPECT_FALSE(recent[2]->isEnabled());

    // Screen readers read each entry's text.
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(top[0]->menu());
    ASSERT_TRUE(accessible);
    ASSERT_EQ(accessible->childCount(), 3);
    EXPECT_EQ(accessible->child(0)->text(QAccessible::Name), QStringLiteral("Image"));
    EXPECT_EQ(accessible->child(1)->text(QAccessible::Name), QStringLiteral("Tom & Jerry line two column"));

    recent[0]->menu()->actions()[0]->trigger();
    top[2]->trigger();
    EXPECT_EQ(chosen, (QStringList{"Copy", "Quit Snipbrook"}));
}

TEST_F(TrayMenuTest, ANewMenuFromAnActionOfTheOldOneFreesTheOldSubmenus)
{
    MenuEntry remove = MenuEntry::action(QStringLiteral("Delete"), {});
    remove.trigger = [this] {
        tray.setMenu({choice(QStringLiteral("after"))}); // as a deleted item's menu entry does
        chosen.append(QStringLiteral("deleted"));
    };
    QMenu &menu = show({MenuEntry::submenu(QStringLiteral("item"), {remove})});
    QMenu *submenu = menu.actions()[0]->menu();
    submenu->actions()[0]->trigger();
    EXPECT_EQ(chosen, QStringList{"deleted"});
    ASSERT_TRUE(waitFor([&] { return menu.actions().value(0) && menu.actions()[0]->text() == QStringLiteral("after"); }));
    EXPECT_TRUE(menu.findChildren<QMenu *>().isEmpty()); // QMenu::clear() alone keeps them
}

TEST_F(TrayMenuTest, RightClickIsReportedWhenTheMenuOpens)
{
    show({choice(QStringLiteral("About Snipbrook"))});
    std::vector<TrayIcon::Click> clicks;
    QObject::connect(&tray, &TrayIcon::activated, [&](TrayIcon::Click click) { clicks.push_back(click); });
    tray.contextMenu()->popup(QPoint(10, 10));
    tray.contextMenu()->hide();
    EXPECT_EQ(clicks, std::vector<TrayIcon::Click>{TrayIcon::Click::right});
}

} // namespace

// Widgets need a QApplication: this replaces the common test main.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
