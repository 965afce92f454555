#include "DarkPalette.h"
#include "ui/CardDelegate.h"
#include "ui/CardGridModel.h"
#include "ui/CardGridView.h"
#include "ui/ThumbnailCache.h"

#include "capture/HistoryFixture.h"
#include "config/ColorNames.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace snipbrook::test {
namespace {

// Cards lighter than the window, as dark themes draw fields.
QPalette darkCardPalette()
{
    QPalette palette = darkPalette();
    palette.setColor(QPalette::Base, QColor(0x3a, 0x3a, 0x40));
    return palette;
}

QString pngBase64(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(size.width() / 4, size.height() / 4, size.width() / 2, size.height() / 3, Qt::white);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

// Pixels close to the colour within the rectangle.
int pixelsNear(const QImage &image, const QRect &rect, QColor color)
{
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) < 40 && std::abs(pixel.green() - color.green()) < 40
                && std::abs(pixel.blue() - color.blue()) < 40)
                ++count;
        }
    }
    return count;
}

class CardGridViewTest : public HistoryFixture {
protected:
    std::unique_ptr<CardGridView> view;

    void open(const QList<ClipboardItem> &items, QSize size = {1000, 700})
    {
        start();
        if (!items.isEmpty())
            addAll(items);
        CardGridView::Options options;
        options.now = [this] { return clock.now(); };
        view = std::make_unique<CardGridView>(*history, options);
        view->resize(size);
        view->setColumnCount(3);
        view->setItems(history->clipboardItems());
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    void TearDown() override
    {
        view.reset();
        HistoryFixture::TearDown();
    }
    QRect cardRect(int row) { return view->visualRect(view->model()->index(row, 0)); }
    QImage grabCard(int row) { return view->viewport()->grab(cardRect(row)).toImage(); }
    ClipboardItem codeItem(const QString &content, const QString &language, qint64 secondsAgo)
    {
        ClipboardItem item = makeItem(Type::code, content, secondsAgo);
        item.metadata = ClipboardMetadata{};
        item.metadata->language = language;
        return item;
    }
};

TEST_F(CardGridViewTest, TheLanguageLineIsDrawnOnlyForAKnownLanguage)
{
    open({codeItem("x = 1\nprint(x)", "unknown", 60), codeItem("x = 1\nprint(x)", "python", 30)});
    const QColor orange = colorForName(QStringLiteral("orange"));
    // The language line sits at the top of the code panel; the badge row below it is left out.
    const QRect panelTop = CardDelegate::previewRect(CardDelegate::cardRect(QRect(QPoint(0, 0), cardRect(0).size()))).adjusted(0, 0, 0, -90);
    const int python = pixelsNear(grabCard(0), panelTop, orange);
    const int unknown = pixelsNear(grabCard(1), panelTop, orange);
    EXPECT_GT(python, 10);
    EXPECT_EQ(unknown, 0);
}

TEST_F(CardGridViewTest, ColumnsFollowTheCountGivenAndCardsFillTheWidth)
{
    QList<ClipboardItem> items;
    for (int i = 0; i < 9; ++i)
        items.append(makeItem(Type::text, QStringLiteral("card %1").arg(i), 100 - i));
    open(items);
    EXPECT_EQ(cardRect(0).top(), cardRect(2).top());
    EXPECT_GT(cardRect(3).top(), cardRect(2).top());
    EXPECT_LE(cardRect(2).right(), view->viewport()->width());

    view->setColumnCount(4);
    ASSERT_TRUE(waitFor([&] { return cardRect(3).top() == cardRect(0).top(); }));
    EXPECT_GT(cardRect(4).top(), cardRect(0).top());
    EXPECT_LE(cardRect(3).right(), view->viewport()->width());
    EXPECT_GE(cardRect(3).right(), view->viewport()->width() - 24); // filled, but for the scroll bar's room
    view->setColumnCount(2);
    ASSERT_TRUE(waitFor([&] { return cardRect(2).top() > cardRect(0).top(); }));
    EXPECT_GT(cardRect(1).width(), view->viewport()->width() / 3);
}

TEST_F(CardGridViewTest, AClickCopiesTheCardAndShowsCopied)
{
    open({makeItem(Type::text, "older", 60), makeItem(Type::text, "newest", 0)});
    QSignalSpy copies(view.get(), &CardGridView::itemCopied);
    const QImage before = grabCard(1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cardRect(1).center());
    ASSERT_EQ(copies.count(), 1);
    EXPECT_EQ(copies[0][0].value<ClipboardItem>().content, "older");
    EXPECT_TRUE(waitFor([&] { return pasteboard.contents().text == QString("older"); }));
    // The badge fades in on the clicked card, and goes after a while.
    const QColor accent = colorForName(QStringLiteral("blue"));
    ASSERT_TRUE(waitFor([&] { return pixelsNear(grabCard(1), grabCard(1).rect(), accent) > pixelsNear(before, before.rect(), accent) + 50; }));
    EXPECT_TRUE(waitFor([&] { return pixelsNear(grabCard(1), grabCard(1).rect(), accent) <= pixelsNear(before, before.rect(), accent) + 5; }));

    // Return on the current card copies it too.
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(view.get(), Qt::Key_Return);
    ASSERT_EQ(copies.count(), 2);
    EXPECT_EQ(copies[1][0].value<ClipboardItem>().content, "newest");
}

TEST_F(CardGridViewTest, TheContextMenuFavouritesDeletesAndAsksForThePaste)
{
    open({makeItem(Type::text, "keep", 60), makeItem(Type::text, "drop", 0)});
    auto trigger = [&](int row, const QString &text) {
        std::unique_ptr<QMenu> menu(view->createContextMenu(view->model()->index(row, 0)));
        const QList<QAction *> actions = menu->actions();
        QStringList texts;
        for (QAction *action : actions)
            texts.append(action->text());
        auto found = std::find_if(actions.begin(), actions.end(), [&](QAction *action) { return action->text() == text; });
        ASSERT_NE(found, actions.end()) << texts.join(", ").toStdString();
        (*found)->trigger();
    };
    QSignalSpy pastes(view.get(), &CardGridView::pasteRequested);
    trigger(1, "Paste");
    ASSERT_EQ(pastes.count(), 1);
    EXPECT_EQ(pastes[0][0].value<ClipboardItem>().content, "keep");

    trigger(1, "Add to Favorites");
    EXPECT_TRUE(history->clipboardItems()[1].isFavorite);
    view->setItems(history->clipboardItems());
    trigger(1, "Remove from Favorites");
    EXPECT_FALSE(history->clipboardItems()[1].isFavorite);

    trigger(0, "Delete");
    EXPECT_EQ(contents(), QStringList({"keep"}));
    view->setItems(history->clipboardItems());
    trigger(0, "Copy");
    EXPECT_TRUE(waitFor([&] { return pasteboard.contents().text == QString("keep"); }));
}

TEST_F(CardGridViewTest, ScreenReadersReadEachCardsText)
{
    open({makeItem(Type::image, "bm90IGFuIGltYWdl", 60), makeItem(Type::text, "line one\nline two", 0)});
    QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->text(QAccessible::Name), "Clipboard items");
    QStringList names;
    for (int i = 0; i < grid->childCount(); ++i) {
        if (QAccessibleInterface *child = grid->child(i))
            names.append(child->text(QAccessible::Name));
    }
    EXPECT_TRUE(names.contains("line one line two")) << names.join(" | ").toStdString();
    EXPECT_TRUE(names.contains("Image")) << names.join(" | ").toStdString();
}

TEST_F(CardGridViewTest, BrokenImagesAndHugeTextShowTheirFallbacks)
{
    const QString huge = QString(5 * 1024 * 1024, QLatin1Char('w'));
    open({makeItem(Type::image, "bm90IGFuIGltYWdl", 60), makeItem(Type::text, huge, 30), makeItem(Type::color, "not a colour", 0)});
    // The broken image is tried once and keeps its placeholder.
    ASSERT_TRUE(waitFor([&] { return view->thumbnails().isDecoded(history->clipboardItems()[2].id); }));
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Image item")), 1);
    QImage card = grabCard(2);
    EXPECT_FALSE(card.isNull());
    // The colour that does not parse fills red at 0.7.
    const QRect preview = CardDelegate::previewRect(CardDelegate::cardRect(QRect(QPoint(0, 0), cardRect(0).size())));
    const QImage colour = grabCard(0);
    EXPECT_GT(pixelsNear(colour, preview.adjusted(10, 10, -10, -60), QColor(255, 80, 80)), 100);
}

// Counts what the view asks of the cards' painter.
class CountingDelegate : public CardDelegate {
public:
    using CardDelegate::CardDelegate;
    mutable int paints = 0;
    mutable int sizeHints = 0;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        ++paints;
        CardDelegate::paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        ++sizeHints;
        return CardDelegate::sizeHint(option, index);
    }
};

TEST_F(CardGridViewTest, TenThousandCardsCostWhatOneScreenfulCosts)
{
    open({});
    QList<ClipboardItem> items;
    for (int i = 0; i < 10000; ++i)
        items.append(makeItem(i % 7 == 0 ? Type::code : Type::text, QStringLiteral("card %1\nsecond line").arg(i), i));
    auto *counting = new CountingDelegate(view->thumbnails(), {}, view.get());
    counting->setCardWidth(view->cardDelegate().cardWidth());
    view->setItemDelegate(counting);
    view->setItems(items);
    QElapsedTimer timer;
    timer.start();
    view->grab();
    const qint64 firstMs = timer.elapsed();
    EXPECT_LE(counting->paints, 3 * 5);
    EXPECT_LE(counting->sizeHints, 10);

    // Page by page to the end: each step paints one screenful again, never the whole list.
    QScrollBar *bar = view->verticalScrollBar();
    qint64 slowestMs = 0;
    int steps = 0;
    while (bar->value() < bar->maximum() && steps < 2000) {
        counting->paints = 0;
        bar->setValue(bar->value() + bar->pageStep());
        timer.restart();
        view->viewport()->repaint();
        slowestMs = std::max(slowestMs, timer.elapsed());
        EXPECT_LE(counting->paints, 3 * 6) << "step " << steps;
        ++steps;
    }
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(view->visualRect(view->model()->index(9999, 0)).intersects(view->viewport()->rect()));
    EXPECT_LE(counting->sizeHints, 10);
    std::printf("10,000 cards: first paint %lld ms, %d page steps, slowest %lld ms (debug, sanitizers)\n",
                static_cast<long long>(firstMs), steps, static_cast<long long>(slowestMs));
}

// Renders a grid of every kind in both palettes (to look at: SNIPBROOK_CARD_SHOTS=folder).
TEST_F(CardGridViewTest, PaintsEveryKindInBothPalettes)
{
    ClipboardItem files = makeItem(Type::multipleFiles, "3 files", 4000);
    files.preview = QStringLiteral("\U0001F4C1");
    files.metadata = ClipboardMetadata{};
    files.metadata->fileCount = 3;
    ClipboardItem file = makeItem(Type::file, "quarterly-report-2024.pdf", 5000);
    file.preview = QStringLiteral("\U0001F4C4");
    file.metadata = ClipboardMetadata{};
    file.metadata->fileCount = 1;
    file.metadata->sourceApp = QStringLiteral("Files");
    file.metadata->sourceAppBundle = QStringLiteral("org.gnome.Nautilus");
    ClipboardItem link = makeItem(Type::link, "https://www.example.org/articles/clipboard-history-on-linux", 180);
    link.preview = QStringLiteral("\U0001F517");
    link.metadata = ClipboardMetadata{};
    link.metadata->sourceApp = QStringLiteral("Firefox");
    ClipboardItem code = codeItem("for (auto &item : items)\n    render(item);\nreturn cards;", "cpp", 3600);
    code.metadata->sourceApp = QStringLiteral("Kate");
    ClipboardItem image = makeItem(Type::image, pngBase64({640, 400}, QColor(0x4a, 0x90, 0xd9)), 600);
    image.isFavorite = true;
    QList<ClipboardItem> items{
        makeItem(Type::image, "bm90IGFuIGltYWdl", 86400 * 3),
        makeItem(Type::emoji, QStringLiteral("\U0001F389"), 86400 * 2),
        makeItem(Type::color, "#FF6B35", 86400),
        makeItem(Type::color, "#2E86AB80", 80000),
        makeItem(Type::phone, "+1 (555) 010-9999", 70000),
        makeItem(Type::email, "ada.lovelace@example.org", 7200),
        files,
        file,
        code,
        image,
        link,
        makeItem(Type::richText, "Rich text: the quarterly summary with bold headings and a table", 90),
        makeItem(Type::text, QStringLiteral("Meeting notes:\n- ship the quick-access panel\n- then the main window\n- grid of cards\n- previews\n- badges\n- more"), 30),
        makeItem(Type::text, QString(200000, QLatin1Char('x')), 20),
        makeItem(Type::text, QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u200fright-to-left\x07 and a bell"), 10),
    };
    open(items, {1000, 1280});
    view->setAccentColor(colorForName(QStringLiteral("blue")));
    // Thumbnails come in before the shot.
    ASSERT_TRUE(waitFor([&] { return view->thumbnails().isDecoded(image.id); }));
    QTest::mouseMove(view->viewport(), cardRect(4).center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cardRect(1).center());
    for (bool dark : {false, true}) {
        view->setPalette(dark ? darkCardPalette() : QApplication::style()->standardPalette());
        ASSERT_TRUE(waitFor([&] { return !view->isAnimating(); }));
        QElapsedTimer timer;
        timer.start();
        const QImage shot = view->grab().toImage();
        const qint64 ms = timer.elapsed();
        EXPECT_FALSE(shot.isNull());
        if (const QByteArray folder = qgetenv("SNIPBROOK_CARD_SHOTS"); !folder.isEmpty()) {
            shot.save(QStringLiteral("%1/cards-%2.png").arg(QString::fromLocal8Bit(folder), dark ? "dark" : "light"));
            std::printf("screenful painted in %lld ms\n", static_cast<long long>(ms));
        }
    }
}

} // namespace
} // namespace snipbrook::test
