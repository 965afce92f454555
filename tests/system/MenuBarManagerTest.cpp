#include "system/MenuBarManager.h"

#include "FakeTrayIcon.h"
#include "capture/HistoryFixture.h"

#include <QBuffer>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// The menu over a real history on a fake clipboard, with every hook recording its calls.
class MenuBarManagerTest : public HistoryFixture {
protected:
    FakeTrayIcon tray;
    QStringList calls;
    QList<ClipboardItem> pasted;
    QStringList notifications;
    MenuBarManager::Hooks hooks{
        [this] { calls.append(QStringLiteral("remember")); },
        [this] { calls.append(QStringLiteral("quick access")); },
        [this](const ClipboardItem &item) { pasted.append(item); },
        [this](const QString &title, const QString &body) { notifications.append(title + QStringLiteral(" / ") + body); },
        [this] { calls.append(QStringLiteral("show main")); },
        [this] { calls.append(QStringLiteral("hide main")); },
        [this] { calls.append(QStringLiteral("settings")); },
        [this](const QString &message, const QString &text) { calls.append(message + QLatin1Char('|') + text); },
        [this] { calls.append(QStringLiteral("quit")); },
    };
    std::unique_ptr<MenuBarManager> menuBar;

    void TearDown() override
    {
        menuBar.reset();
        HistoryFixture::TearDown();
    }
    void startMenu()
    {
        start();
        menuBar = std::make_unique<MenuBarManager>(*history, tray, hooks);
    }
    // Lets the menu follow the history (it is rebuilt on the next turn of the event loop).
    void settle() { QCoreApplication::processEvents(); }
    // Adds text items, the last one newest.
    QList<ClipboardItem> addTexts(const QStringList &texts)
    {
        QList<ClipboardItem> items;
        for (const QString &text : texts)
            items.append(makeItem(Type::text, text));
        addAll(items);
        settle();
        return items;
    }
    void trigger(const QString &title)
    {
        entry(title).trigger();
        settle();
    }

    static QStringList titles(const std::vector<MenuEntry> &entries)
    {
        QStringList result;
        for (const MenuEntry &entry : entries)
            result.append(entry.kind == MenuEntry::Kind::separator ? QStringLiteral("---") : entry.title);
        return result;
    }
    const MenuEntry &entry(const QString &title) const { return find(tray.menu, title); }
    const std::vector<MenuEntry> &recent() const { return entry(QStringLiteral("Recent Items")).children; }
    static const MenuEntry &find(const std::vector<MenuEntry> &entries, const QString &title)
    {
        for (const MenuEntry &candidate : entries)
            if (candidate.title == title)
                return candidate;
        ADD_FAILURE() << "no menu entry " << title.toStdString();
        static const MenuEntry none;
        return none;
    }
    // Chooses Copy, Paste or Delete under the recent item at `row`.
    void choose(int row, const QString &action)
    {
        const MenuEntry &chosen = find(recent().at(row).children, action);
        ASSERT_TRUE(chosen.trigger);
        chosen.trigger();
        settle();
    }
    static QString pngBase64()
    {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage picture(64, 16, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(&buffer, "PNG");
        return QString::fromLatin1(png.toBase64());
    }
};

TEST_F(MenuBarManagerTest, EmptyHistoryShowsTheFullMenuWithADisabledPlaceholder)
{
    startMenu();
    EXPECT_TRUE(tray.shown);
    EXPECT_EQ(titles(tray.menu),
              (QStringList{"Recent Items", "---", "Hide Main Window", "---", "Settings...", "---", "Clear History", "---",
                           "About Snipbrook", "Quit Snipbrook"}));
    EXPECT_EQ(entry(QStringLiteral("Settings...")).shortcut, QStringLiteral("Ctrl+,"));
    EXPECT_EQ(entry(QStringLiteral("Quit Snipbrook")).shortcut, QStringLiteral("Ctrl+Q"));
    ASSERT_EQ(recent().size(), 1u);
    EXPECT_EQ(recent()[0].title, QStringLiteral("No recent items"));
    EXPECT_FALSE(recent()[0].enabled);
    EXPECT_EQ(tray.menuUpdates, 1);
}

TEST_F(MenuBarManagerTest, MenuOffersAtMostTheFiveNewestItemsEachWithCopyPasteDelete)
{
    startMenu();
    addTexts({"one", "two", "three", "four", "five"});
    EXPECT_EQ(titles(recent()), (QStringList{"five", "four", "three", "two", "one"}));
    addTexts({"six"});
    EXPECT_EQ(titles(recent()), (QStringList{"six", "five", "four", "three", "two"}));
    for (const MenuEntry &item : recent()) {
        EXPECT_EQ(item.kind, MenuEntry::Kind::submenu);
        EXPECT_EQ(titles(item.children), (QStringList{"Copy", "Paste", "Delete"}));
    }
}

TEST_F(MenuBarManagerTest, LongTextsAreCutAtFiftyUserPerceivedCharacters)
{
    const QString family = QStringLiteral("👨‍👩‍👧"); // one character, eight code units
    const QString accented = QStringLiteral("e\u0301");  // one character, two code units
    const auto title = [](const QString &content) {
        return MenuBarManager::itemTitle({QUuid::createUuid(), ClipboardItemType::text, content, content, {}, {}, false, {}});
    };
    EXPECT_EQ(title(QString(50, u'a')), QString(50, u'a'));
    EXPECT_EQ(title(QString(51, u'a')), QString(50, u'a') + QStringLiteral("..."));
    EXPECT_EQ(title(QString(48, u'a') + family + accented), QString(48, u'a') + family + accented);
    EXPECT_EQ(title(QString(49, u'a') + family + accented), QString(49, u'a') + family + QStringLiteral("..."));
    EXPECT_EQ(title(accented.repeated(51)), accented.repeated(50) + QStringLiteral("..."));
}

TEST_F(MenuBarManagerTest, ImageItemsShowTheirPictureOrThePhotoSymbolWhenItIsNoPicture)
{
    startMenu();
    ClipboardItem picture = makeItem(Type::image, pngBase64());
    ClipboardItem broken = makeItem(Type::image, QStringLiteral("aGVsbG8=")); // Base64 of "hello"
    ClipboardItem notBase64 = makeItem(Type::image, QStringLiteral("not base64!"));
    notBase64.preview.clear(); // the content is decoded then
    addAll({picture, broken, notBase64});
    ASSERT_TRUE(waitFor([&] { return recent().size() == 3 && !recent()[2].image.isNull(); }));
    EXPECT_EQ(titles(recent()), (QStringList{"Image", "Image", "Image"}));
    EXPECT_EQ(recent()[2].image.size(), QSize(32, 32));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("⚠️ Image item")) == 2; }));
    for (int row : {0, 1}) {
        EXPECT_TRUE(recent()[row].image.isNull());
        EXPECT_EQ(recent()[row].symbol, QStringLiteral("photo"));
    }
    addTexts({"text on top"}); // rebuilt menus reuse what was decoded, and log nothing again
    ASSERT_EQ(recent().size(), 4u);
    EXPECT_FALSE(recent()[3].image.isNull());
    EXPECT_TRUE(waitForDeliveries());
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Image item")), 2);
}

TEST_F(MenuBarManagerTest, ItemActionsCopyPasteAndDeleteTheItemTheyWereBuiltFor)
{
    startMenu();
    const QList<ClipboardItem> items = addTexts({"older", "newer"});

    choose(1, QStringLiteral("Copy"));
    EXPECT_TRUE(history->isInternalCopy()); // so the monitor does not record it again
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("older"));
    EXPECT_EQ(notifications, QStringList{"Copied / Item copied to clipboard"});

    choose(0, QStringLiteral("Paste"));
    ASSERT_EQ(pasted.size(), 1);
    EXPECT_EQ(pasted[0].content, QStringLiteral("newer"));

    choose(0, QStringLiteral("Delete"));
    EXPECT_EQ(contents(), QStringList{"older"});
    EXPECT_EQ(titles(recent()), QStringList{"older"});
    EXPECT_EQ(notifications.last(), QStringLiteral("Deleted / Item removed from history"));
}

TEST_F(MenuBarManagerTest, CommandsReachTheirHooks)
{
    startMenu();
    addTexts({"secret"});

    trigger(QStringLiteral("Clear History")); // no confirmation
    EXPECT_TRUE(contents().isEmpty());
    EXPECT_EQ(notifications, QStringList{"History Cleared / All clipboard history has been cleared"});
    EXPECT_EQ(recent()[0].title, QStringLiteral("No recent items"));

    trigger(QStringLiteral("Hide Main Window"));
    EXPECT_FALSE(menuBar->isMainWindowVisible());
    trigger(QStringLiteral("Show Main Window"));
    EXPECT_TRUE(menuBar->isMainWindowVisible());
    trigger(QStringLiteral("Settings..."));
    trigger(QStringLiteral("About Snipbrook"));
    EXPECT_EQ(calls, (QStringList{"hide main", "show main", "settings", "Snipbrook|" + MenuBarManager::aboutText()}));

    trigger(QStringLiteral("Quit Snipbrook"));
    EXPECT_FALSE(calls.contains(QStringLiteral("quit"))); // the menu closes first
    EXPECT_TRUE(waitFor([&] { return calls.contains(QStringLiteral("quit")); }));
}

TEST_F(MenuBarManagerTest, WindowsThatDoNotExistYetLogOneLineEach)
{
    hooks.showMainWindow = {};
    hooks.openSettings = {};
    hooks.pasteItem = {};
    startMenu();
    addTexts({"text"});
    trigger(QStringLiteral("Settings..."));
    trigger(QStringLiteral("Hide Main Window")); // bound
    trigger(QStringLiteral("Show Main Window")); // not bound
    EXPECT_EQ(log.count(QStringLiteral("ℹ️ The settings window is not available yet")), 1);
    EXPECT_EQ(log.count(QStringLiteral("ℹ️ The main window is not available yet")), 1);
    choose(0, QStringLiteral("Paste")); // without the paste sequence the item is still copied
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("text"));
}

TEST_F(MenuBarManagerTest, LeftClickOpensThePanelAndEveryClickRemembersTheWindowInFront)
{
    startMenu();
    tray.click(TrayIcon::Click::left);
    EXPECT_EQ(calls, (QStringList{"remember", "quick access"}));
    tray.click(TrayIcon::Click::right);
    EXPECT_EQ(calls, (QStringList{"remember", "quick access", "remember"}));
}

TEST_F(MenuBarManagerTest, MenuIsRebuiltOnlyWhenTheNewestItemsChange)
{
    startMenu();
    const QList<ClipboardItem> items = addTexts({"1", "2", "3", "4", "5", "6", "7"});
    const int updates = tray.menuUpdates;
    history->deleteItem(items[0].id); // below the five shown
    history->toggleFavorite(items[6].id);
    settle();
    EXPECT_EQ(tray.menuUpdates, updates);
    history->deleteItem(items[6].id);
    history->deleteItem(items[5].id); // changes in one turn make one new menu
    settle();
    EXPECT_EQ(tray.menuUpdates, updates + 1);
    EXPECT_EQ(titles(recent()), (QStringList{"5", "4", "3", "2"}));
}

TEST_F(MenuBarManagerTest, MissingTrayIsLoggedOnceAndATrayThatComesLaterIsNoticed)
{
    tray.available = false;
    startMenu();
    EXPECT_TRUE(tray.shown); // a tray starting later picks the icon up
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No system tray found")), 1);
    EXPECT_FALSE(menuBar->isTrayPresent());
    tray.click(TrayIcon::Click::left); // whatever opens the panel still works
    EXPECT_TRUE(calls.contains(QStringLiteral("quick access")));
    tray.setAvailable(true);
    EXPECT_TRUE(menuBar->isTrayPresent());
    EXPECT_EQ(log.count(QStringLiteral("✅ System tray found")), 1);
    tray.setAvailable(false);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ System tray gone")), 1);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No system tray found")), 1);
}

} // namespace
