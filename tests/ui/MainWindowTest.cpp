#include "DarkPalette.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowViewModel.h"

#include "capture/HistoryFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace snipbrook::test {
namespace {

class MainWindowTest : public HistoryFixture {
protected:
    std::unique_ptr<MainWindowViewModel> viewModel;
    std::unique_ptr<MainWindow> window;
    bool trayPresent = true;
    int hides = 0;
    int settingsOpened = 0;

    void open(int count = 0)
    {
        start();
        QList<ClipboardItem> items;
        for (int i = count - 1; i >= 0; --i)
            items.append(makeItem(Type::text, QStringLiteral("item %1").arg(i), 60 * i));
        if (!items.isEmpty())
            addAll(items);
        viewModel = std::make_unique<MainWindowViewModel>(*history, configuration, MainWindowTimings{20});
        MainWindow::Hooks hooks;
        hooks.isTrayPresent = [this] { return trayPresent; };
        hooks.hideMainWindow = [this] {
            ++hides;
            window->hide();
        };
        hooks.openSettings = [this] { ++settingsOpened; };
        hooks.shortcutText = [] { return QStringLiteral("Ctrl+Shift+Space"); };
        window = std::make_unique<MainWindow>(*viewModel, std::move(hooks));
    }
    void TearDown() override
    {
        window.reset();
        viewModel.reset();
        HistoryFixture::TearDown();
    }
    QWidget *currentPage() const { return window->findChild<QStackedWidget *>()->currentWidget(); }
    QAction *action(const QString &text) const
    {
        for (QAction *each : window->findChildren<QAction *>())
            if (each->text() == text)
                return each;
        return nullptr;
    }
    // Saves a picture of the window where SNIPBROOK_SCREENSHOT_DIR points, for a look by eye.
    void screenshot(const QString &name)
    {
        const QString folder = qEnvironmentVariable("SNIPBROOK_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window->grab().save(QDir(folder).filePath(name));
    }
};

TEST_F(MainWindowTest, EveryControlHasAnAccessibleName)
{
    open(3);
    viewModel->toggleAdvancedOptions();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                             qobject_cast<QAbstractItemView *>(widget);
        if (control && widget->isVisibleTo(window.get()) && widget->accessibleName().isEmpty())
            unnamed.append(QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') + widget->objectName());
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(QStringLiteral(", ")).toStdString();
}

TEST_F(MainWindowTest, OpensAtItsDefaultSizeReadyToTypeASearch)
{
    open();
    EXPECT_EQ(window->size(), QSize(1000, 700));
    EXPECT_EQ(window->minimumSize(), QSize(800, 600));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("kumquat"));
    EXPECT_EQ(viewModel->searchText(), QStringLiteral("kumquat"));
}

TEST_F(MainWindowTest, ClosingHidesToTheTrayOnlyWhileThereIsATray)
{
    open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_FALSE(window->close());
    EXPECT_EQ(hides, 1);
    EXPECT_FALSE(window->isVisible());

    trayPresent = false;
    window->show();
    QSignalSpy visibility(window.get(), &MainWindow::visibilityChanged);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(hides, 1);
    // The tray menu's "Show Main Window" listens to this.
    ASSERT_EQ(visibility.count(), 1);
    EXPECT_FALSE(visibility[0][0].toBool());
}

TEST_F(MainWindowTest, ClickingACategoryShowsItAndTheClearButtonEmptiesTheSearch)
{
    open(3);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto *tree = window->findChild<QTreeWidget *>();
    const QList<QTreeWidgetItem *> rows = tree->findItems(QStringLiteral("Favorites"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(rows.size(), 1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(rows[0]).center());
    EXPECT_EQ(viewModel->selectedCategory(), "Favorites");
    EXPECT_EQ(currentPage()->objectName(), "emptyView");

    auto *field = window->findChild<QLineEdit *>("searchField");
    auto *clear = window->findChild<QAbstractButton *>("clearSearch");
    EXPECT_FALSE(clear->isVisible());
    QTest::keyClicks(field, "item");
    EXPECT_EQ(viewModel->searchText(), "item");
    ASSERT_TRUE(clear->isVisible());
    clear->click();
    ASSERT_TRUE(waitFor([&] { return field->text().isEmpty() && currentPage()->objectName() == "emptyView"; }));
}

TEST_F(MainWindowTest, TheWindowCommandsUseLinuxShortcuts)
{
    open();
    ASSERT_NE(action("Hide Main Window"), nullptr);
    EXPECT_EQ(action("Hide Main Window")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+H")));
    ASSERT_NE(action("Toggle Auto-Start"), nullptr);
    EXPECT_EQ(action("Toggle Auto-Start")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+A")));
    window->show();
    action("Hide Main Window")->trigger();
    EXPECT_EQ(hides, 1);
}

TEST_F(MainWindowTest, TheMainAreaSwitchesBetweenEmptyNoResultsAndTheGrid)
{
    open(0);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(currentPage()->objectName(), "emptyView");
    EXPECT_EQ(window->findChild<QLabel *>("emptyTitle")->text(), "No all items");
    screenshot("main-window-empty.png");

    auto *field = window->findChild<QLineEdit *>("searchField");
    QTest::keyClicks(field, "zebra");
    EXPECT_EQ(currentPage()->objectName(), "noResultsView");
    EXPECT_EQ(window->findChild<QLabel *>("noResultsMessage")->text(), "No items match 'zebra'");

    addAll({makeItem(Type::text, "zebra crossing")});
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return currentPage() == window->gridView(); }));
    EXPECT_TRUE(window->findChild<QWidget *>("statusRow")->isVisible());
}

TEST_F(MainWindowTest, AGridViewTakesThePlaceholdersPlace)
{
    open(2);
    auto *grid = new QLabel(QStringLiteral("grid"));
    grid->setAccessibleName(QStringLiteral("Clipboard Items"));
    window->setGridView(grid);
    EXPECT_EQ(window->gridView(), grid);
    EXPECT_EQ(currentPage(), grid);
}

TEST_F(MainWindowTest, TheSettingsButtonAndTheCategoriesReachTheirActions)
{
    open(3);
    window->findChild<QAbstractButton *>("settingsButton")->click();
    EXPECT_EQ(settingsOpened, 1);
    viewModel->setSelectedCategory("Favorites");
    EXPECT_EQ(window->findChild<QLabel *>("areaTitle")->text(), "Favorites");
    EXPECT_EQ(currentPage()->objectName(), "emptyView");
}

TEST_F(MainWindowTest, RendersInLightAndDarkPalettes)
{
    open(6);
    viewModel->toggleAdvancedOptions();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage light = window->grab().toImage();
    screenshot("main-window-light.png");
    window->setPalette(darkPalette());
    const QImage dark = window->grab().toImage();
    screenshot("main-window-dark.png");
    // The sidebar's background follows the palette.
    EXPECT_LT(qGray(dark.pixel(130, 620)), qGray(light.pixel(130, 620)));
    EXPECT_EQ(qAlpha(light.pixel(130, 620)), 255);
}

// Where a compositor blends windows the surface lets the desktop show through a little; nowhere
// may it vanish (an unpainted translucent window is invisible).
TEST_F(MainWindowTest, TheTranslucentSurfaceIsTheWindowColourAtMaterialStrength)
{
    open(3);
    window->setTranslucentSurface(true);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage image = window->grab().toImage();
    const QRgb sidebar = image.pixel(130, 620);
    EXPECT_NEAR(qAlpha(sidebar), 217, 3); // 85 %
    EXPECT_NEAR(qGray(sidebar) * 255 / std::max(qAlpha(sidebar), 1),
                qGray(window->palette().color(QPalette::Window).rgb()), 4);
}

TEST_F(MainWindowTest, PaletteButtonsShareOneWidthAndShowTheChosenPalette)
{
    open(0);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QList<ColorPalette> palettes = viewModel->palettes();
    QList<QAbstractButton *> buttons;
    for (const ColorPalette &palette : palettes) {
        QAbstractButton *found = nullptr;
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
            if (button->accessibleName() == palette.displayName)
                found = button;
        ASSERT_TRUE(found) << palette.displayName.toStdString();
        buttons.append(found);
    }
    ASSERT_GE(buttons.size(), 2);
    for (QAbstractButton *button : buttons)
        EXPECT_EQ(button->width(), buttons[0]->width()) << button->text().toStdString();

    const int other = palettes[0].id == viewModel->selectedPaletteId() ? 1 : 0;
    buttons[other]->click();
    EXPECT_TRUE(waitFor([&] { return viewModel->selectedPaletteId() == palettes[other].id; }));
    // The sidebar is rebuilt for the new choice: look the button up again.
    EXPECT_TRUE(waitFor([&] {
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
            if (button->accessibleName() == palettes[other].displayName)
                return button->isChecked();
        return false;
    }));
}

} // namespace
} // namespace snipbrook::test
