#include "DarkPalette.h"
#include "ui/QuickAccessPanel.h"
#include "ui/QuickAccessViewModel.h"

#include "capture/HistoryFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace snipbrook::test {
namespace {

QString pngBase64(QColor color)
{
    QImage image(64, 48, QImage::Format_ARGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(8, 8, 30, 20, Qt::white);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

class QuickAccessPanelTest : public HistoryFixture {
protected:
    std::unique_ptr<QuickAccessViewModel> viewModel;
    std::unique_ptr<QuickAccessPanel> panel;

    void open(const QList<ClipboardItem> &items, bool translucent = true)
    {
        start();
        if (!items.isEmpty())
            addAll(items);
        viewModel = std::make_unique<QuickAccessViewModel>(*history, clock, QuickAccessTimings{20, 20});
        panel = std::make_unique<QuickAccessPanel>(*viewModel, QuickAccessPanel::Options{translucent});
    }
    void openTexts(int count)
    {
        QList<ClipboardItem> items;
        for (int i = count - 1; i >= 0; --i)
            items.append(makeItem(Type::text, QStringLiteral("item %1").arg(i), 60 * i));
        open(items);
    }
    void TearDown() override
    {
        panel.reset();
        viewModel.reset();
        HistoryFixture::TearDown();
    }
    void show()
    {
        panel->showAt(std::nullopt, QPoint(100, 100));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }
};

TEST_F(QuickAccessPanelTest, ArrowsMoveTheHighlightAndTypingOnTheListSearches)
{
    openTexts(5);
    show();
    QListView *list = panel->listView();
    EXPECT_EQ(list->model()->rowCount(), 5);
    EXPECT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(viewModel->selectedIndex(), 2);

    QTest::keyClick(list, Qt::Key_I);
    QLineEdit *field = panel->searchField();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->text(), "i");
    QTest::keyClicks(field, "tem 3");
    EXPECT_EQ(viewModel->searchText(), "item 3");
    EXPECT_EQ(viewModel->selectedIndex(), 0);
    EXPECT_EQ(list->model()->rowCount(), 1);

    // In the field Delete edits the text; no item goes.
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "tem 3");
    EXPECT_EQ(history->clipboardItems().size(), 5);
}

TEST_F(QuickAccessPanelTest, DeleteOnTheListDeletesAndEscapeCloses)
{
    openTexts(3);
    show();
    QSignalSpy visibility(panel.get(), &QuickAccessPanel::visibilityChanged);
    QTest::keyClick(panel->listView(), Qt::Key_Delete);
    EXPECT_EQ(contents(), QStringList({"item 1", "item 2"}));
    EXPECT_EQ(panel->listView()->model()->rowCount(), 2);

    QTest::keyClick(panel->listView(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    ASSERT_EQ(visibility.count(), 1);
    EXPECT_EQ(visibility.at(0).at(0).toBool(), false);
}

TEST_F(QuickAccessPanelTest, ClickingARowCopiesItAndItsPasteButtonAsksForThePaste)
{
    openTexts(3);
    show();
    QListView *list = panel->listView();
    QSignalSpy pastes(viewModel.get(), &QuickAccessViewModel::pasteRequested);
    const QRect second = list->visualRect(list->model()->index(1, 0));
    // Hovering shows the buttons; the paste button sits left of the delete button at the right.
    QTest::mouseMove(list->viewport(), second.center());
    const QPoint pasteButton(second.right() - 10 - 22 - 4 - 11 - 6, second.center().y());
    QTest::mouseMove(list->viewport(), pasteButton);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, pasteButton);
    ASSERT_EQ(pastes.count(), 1);
    EXPECT_EQ(pastes.at(0).at(0).value<ClipboardItem>().content, "item 1");

    show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(waitFor([&] { return pasteboard.contents().text == QString("item 2"); }));
}

TEST_F(QuickAccessPanelTest, EveryControlHasAnAccessibleName)
{
    openTexts(1);
    viewModel->setSearchText("item"); // the clear button shows
    show();
    for (QWidget *widget : panel->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget) ||
                             qobject_cast<QAbstractItemView *>(widget);
        if (control && widget->isVisibleTo(panel.get())) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }
    EXPECT_EQ(panel->listView()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(), "item 0");
}

TEST_F(QuickAccessPanelTest, ThePanelOpensFullyOnTheScreenAtThePointer)
{
    openTexts(1);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    panel->showAt(std::nullopt, screen.bottomRight() - QPoint(5, 5));
    const QRect content = panel->geometry().adjusted(8, 8, -8, -8);
    EXPECT_TRUE(screen.contains(content));
}

TEST_F(QuickAccessPanelTest, OpeningAgainIsFreshAndQuick)
{
    QList<ClipboardItem> items;
    for (int i = 999; i >= 0; --i)
        items.append(makeItem(Type::text, QStringLiteral("item %1").arg(i), 60 * i));
    open(items);
    show();
    QTest::keyClicks(panel->listView(), "item 9");
    panel->hide();

    QElapsedTimer timer;
    timer.start();
    panel->showAt(std::nullopt, QPoint(100, 100));
    panel->repaint();
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(panel->searchField()->text(), QString());
    EXPECT_EQ(panel->listView()->model()->rowCount(), 8);
    // Generous for a sanitizer build on a shared machine; the benchmark holds the real target.
    EXPECT_LT(elapsed, 1000);
}

// Rendered over a busy backdrop, in the light and the dark palette; with SNIPBROOK_PANEL_SHOTS
// set to a folder the pictures are written there to look at.
TEST_F(QuickAccessPanelTest, PaintsRowsOnARoundedSurfaceInBothPalettes)
{
    QList<ClipboardItem> items{
        makeItem(Type::image, QStringLiteral("bm90IGFuIGltYWdl"), 86400 * 3),
        makeItem(Type::color, QStringLiteral("#FF6B35"), 86400),
        makeItem(Type::email, QStringLiteral("ada@example.org"), 7200),
        makeItem(Type::code, QStringLiteral("for (auto &item : items)\n    render(item);"), 3600),
        makeItem(Type::image, pngBase64(QColor(0x4a, 0x90, 0xd9)), 600),
        makeItem(Type::link, QStringLiteral("https://www.example.org/articles/clipboard-history-on-linux"), 180),
        makeItem(Type::text, QStringLiteral("Meeting notes: ship the quick-access panel on Thursday, then the main window"), 30),
    };
    open(items);
    for (bool translucent : {true, false}) {
        panel = std::make_unique<QuickAccessPanel>(*viewModel, QuickAccessPanel::Options{translucent});
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
            show();
            QTest::keyClick(panel->listView(), Qt::Key_Down);
            QTest::mouseMove(panel->listView()->viewport(),
                             panel->listView()->visualRect(panel->listView()->model()->index(3, 0)).center());
            const QImage shot = panel->grab().toImage();
            EXPECT_EQ(shot.pixelColor(0, 0).alpha(), translucent ? 0 : shot.pixelColor(0, 0).alpha());
            const QColor middle = shot.pixelColor(shot.width() / 2, 30);
            EXPECT_GT(middle.alpha(), 0);
            if (const QByteArray folder = qgetenv("SNIPBROOK_PANEL_SHOTS"); !folder.isEmpty()) {
                QImage backdrop(shot.size() + QSize(80, 80), QImage::Format_ARGB32);
                QPainter painter(&backdrop);
                QLinearGradient gradient(0, 0, backdrop.width(), backdrop.height());
                gradient.setColorAt(0, dark ? QColor(0x20, 0x30, 0x50) : QColor(0xc8, 0xd8, 0xf0));
                gradient.setColorAt(1, dark ? QColor(0x50, 0x20, 0x40) : QColor(0xf0, 0xd0, 0xc0));
                painter.fillRect(backdrop.rect(), gradient);
                painter.setPen(dark ? QColor(0x80, 0x80, 0x90) : QColor(0x40, 0x40, 0x50));
                for (int y = 20; y < backdrop.height(); y += 24)
                    painter.drawText(10, y, QStringLiteral("Some window text behind the panel, to judge the surface."));
                if (!translucent) // the window mask, which a grab leaves out
                    painter.setClipRegion(panel->mask().translated(40, 40));
                painter.drawImage(40, 40, shot);
                painter.end();
                backdrop.save(QStringLiteral("%1/panel-%2-%3.png")
                                  .arg(QString::fromLocal8Bit(folder), dark ? "dark" : "light",
                                       translucent ? "translucent" : "opaque"));
            }
            panel->hide();
        }
    }
    QApplication::setPalette(QApplication::style()->standardPalette());
}

} // namespace
} // namespace snipbrook::test
