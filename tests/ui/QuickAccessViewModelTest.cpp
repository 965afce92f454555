#include "ui/PanelPlacement.h"
#include "ui/QuickAccessViewModel.h"
#include "ui/RelativeTime.h"

#include "capture/HistoryFixture.h"

#include <QSignalSpy>

namespace snipbrook::test {
namespace {

class QuickAccessViewModelTest : public HistoryFixture {
protected:
    QuickAccessTimings panelTimings{20, 20};
    std::unique_ptr<QuickAccessViewModel> panel;

    // A panel over a history holding `count` texts, "item 0" newest.
    void open(int count = 0)
    {
        startWithTexts(count);
        panel = std::make_unique<QuickAccessViewModel>(*history, clock, panelTimings);
        panel->reset();
    }
    void TearDown() override
    {
        releaseHeldSearches();
        panel.reset();
        HistoryFixture::TearDown();
    }
    QStringList rows() const
    {
        QStringList titles;
        for (const ClipboardItem &item : panel->displayedItems())
            titles.append(item.content);
        return titles;
    }
    QuickAccessViewModel::KeyResult press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                                          const QString &text = {})
    {
        return panel->handleKey(key, modifiers, text);
    }
    // Keystrokes as the search field reports them, one text at a time.
    void typeInField(const QString &text)
    {
        for (qsizetype i = 1; i <= text.size(); ++i)
            panel->setSearchText(text.left(i));
    }
    // Waits until the panel's search has run and its results are in.
    bool searchSettled() { return waitFor([&] { return !panel->isSearchPending() && !history->isSearching(); }); }
};

using Handled = QuickAccessViewModel::KeyResult;

TEST_F(QuickAccessViewModelTest, ShowsAtMostEightRowsAndTheArrowsStayInsideThem)
{
    open(12);
    EXPECT_EQ(rows(), QStringList({"item 0", "item 1", "item 2", "item 3", "item 4", "item 5", "item 6", "item 7"}));
    EXPECT_EQ(press(Qt::Key_Up), Handled::handled);
    EXPECT_EQ(panel->selectedIndex(), 0);
    for (int i = 0; i < 10; ++i)
        press(Qt::Key_Down);
    EXPECT_EQ(panel->selectedIndex(), 7);
    EXPECT_EQ(panel->selectedItem()->content, "item 7");
}

TEST_F(QuickAccessViewModelTest, EmptyListsSayWhyAndKeysOnNoRowDoNothing)
{
    open(0);
    EXPECT_EQ(panel->emptyText(), "No clipboard history");
    QSignalSpy closes(panel.get(), &QuickAccessViewModel::closeRequested);
    QSignalSpy pastes(panel.get(), &QuickAccessViewModel::pasteRequested);
    EXPECT_EQ(press(Qt::Key_Return), Handled::handled);
    EXPECT_EQ(press(Qt::Key_Return, Qt::ShiftModifier), Handled::handled);
    EXPECT_EQ(press(Qt::Key_Delete), Handled::handled);
    EXPECT_EQ(press(Qt::Key_Down), Handled::handled);
    EXPECT_EQ(panel->selectedIndex(), 0);
    EXPECT_EQ(closes.count(), 0);
    EXPECT_EQ(pastes.count(), 0);

    panelTimings.debounceMs = 60000;
    panel = std::make_unique<QuickAccessViewModel>(*history, clock, panelTimings);
    panel->setSearchText("zzz");
    EXPECT_EQ(panel->emptyText(), "No matching items");
}

TEST_F(QuickAccessViewModelTest, UntilTheSearchAnswersTheRowsAreCaseInsensitiveSubstringMatches)
{
    panelTimings.debounceMs = 60000; // the search never runs here
    open(3);
    history->addItem(makeItem(Type::text, "Hello World"));
    ASSERT_TRUE(waitFor([&] { return history->clipboardItems().size() == 4; }));
    panel->setSearchText("WORLD");
    EXPECT_EQ(rows(), QStringList({"Hello World"}));
    panel->setSearchText("item");
    EXPECT_EQ(rows(), QStringList({"item 0", "item 1", "item 2"}));
}

TEST_F(QuickAccessViewModelTest, SearchResultsReplaceTheRowsInTheirOrderAndTheListIsEmptyWhileSearching)
{
    open(10);
    heldIndex.heldQueries = {"item"};
    for (const ClipboardItem &item : history->clipboardItems())
        heldIndex.hits.append({item.id, 0.5f, {}});
    panel->setSearchText("item");
    ASSERT_TRUE(waitFor([&] { return history->isSearching(); }));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(panel->emptyText(), QString()); // the spinner speaks, not "No matching items"

    heldIndex.release("item");
    ASSERT_TRUE(searchSettled());
    QStringList expected;
    for (const SimilaritySearchResult &result : history->searchResults().mid(0, 8))
        expected.append(result.item.content);
    EXPECT_EQ(history->searchResults().size(), 10);
    EXPECT_EQ(rows(), expected);
}

TEST_F(QuickAccessViewModelTest, ReturnCopiesAndClosesShiftReturnClosesThenAsksForThePaste)
{
    open(3);
    press(Qt::Key_Down);
    QStringList order;
    QObject::connect(panel.get(), &QuickAccessViewModel::closeRequested, [&] { order << "close"; });
    QObject::connect(panel.get(), &QuickAccessViewModel::pasteRequested,
            [&](const ClipboardItem &item) { order << "paste " + item.content; });

    EXPECT_EQ(press(Qt::Key_Return, Qt::ShiftModifier), Handled::handled);
    EXPECT_EQ(order, QStringList({"close", "paste item 1"}));
    EXPECT_NE(pasteboard.contents().text.value_or(QString()), "item 1"); // pasting is the paste controller's business

    order.clear();
    EXPECT_EQ(press(Qt::Key_Enter), Handled::handled);
    EXPECT_EQ(order, QStringList({"close"}));
    EXPECT_TRUE(waitFor([&] { return pasteboard.contents().text == QString("item 1"); }));
    EXPECT_EQ(contents().size(), 3); // the program's own copy is not recorded
}

TEST_F(QuickAccessViewModelTest, DeleteRemovesTheHighlightedItemOnlyFromTheList)
{
    open(3);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(press(Qt::Key_Delete), Handled::handled);
    EXPECT_EQ(contents(), QStringList({"item 0", "item 1"}));
    EXPECT_EQ(panel->selectedIndex(), 1); // the new last row

    panel->setSearchFocused(true);
    EXPECT_EQ(press(Qt::Key_Delete), Handled::ignored); // the field deletes a character instead
    EXPECT_EQ(contents(), QStringList({"item 0", "item 1"}));
}

TEST_F(QuickAccessViewModelTest, AnItemDeletedFromSearchResultsLeavesTheRows)
{
    open(3);
    for (const ClipboardItem &item : history->clipboardItems())
        heldIndex.hits.append({item.id, 0.5f, {}});
    panel->setSearchText("item");
    ASSERT_TRUE(searchSettled());
    ASSERT_EQ(rows().size(), 3);
    const QString first = rows().first();
    panel->deleteRow(0);
    EXPECT_FALSE(rows().contains(first)); // the published results still name it
    EXPECT_EQ(rows().size(), 2);
}

TEST_F(QuickAccessViewModelTest, PrintableKeysOnTheListTypeIntoTheSearchFieldShortcutsDoNot)
{
    open(3);
    QSignalSpy focus(panel.get(), &QuickAccessViewModel::searchFocusRequested);
    EXPECT_EQ(press(Qt::Key_C, Qt::ControlModifier, "\x03"), Handled::ignored);
    EXPECT_EQ(press(Qt::Key_Tab, Qt::NoModifier, "\t"), Handled::ignored);
    EXPECT_EQ(panel->searchText(), QString());

    EXPECT_EQ(press(Qt::Key_I, Qt::NoModifier, "i"), Handled::handled);
    EXPECT_EQ(focus.count(), 1);
    EXPECT_TRUE(panel->isSearchFocused());
    EXPECT_EQ(panel->searchText(), "i");
    // Now in the field: further keys are the field's own.
    EXPECT_EQ(press(Qt::Key_T, Qt::NoModifier, "t"), Handled::ignored);
    EXPECT_EQ(press(Qt::Key_Escape), Handled::handled);
}

TEST_F(QuickAccessViewModelTest, TypingQuicklyStartsOneSearchAfterTheLastKeystrokeAndClearingIsImmediate)
{
    open(3);
    typeInField("abc");
    EXPECT_TRUE(panel->isSearchPending());
    EXPECT_EQ(heldIndex.calls, 0);
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(heldIndex.calls, 1);
    EXPECT_EQ(heldIndex.lastQuery, "abc");

    panel->setSearchText("abcd");
    panel->clearSearchText();
    EXPECT_FALSE(panel->isSearchPending());
    EXPECT_EQ(rows(), QStringList({"item 0", "item 1", "item 2"}));
    EXPECT_TRUE(waitFor([&] { return history->currentSearchQuery().isEmpty(); }));
    EXPECT_EQ(heldIndex.calls, 1);
}

TEST_F(QuickAccessViewModelTest, TheModeButtonSearchesAgainAtOnceAndNamesTheMode)
{
    open(3);
    EXPECT_EQ(panel->searchModeToolTip(), "Semantic Search");
    panel->toggleSearchMode(); // nothing typed: no search
    EXPECT_EQ(panel->searchModeToolTip(), "Keyword Search");
    EXPECT_EQ(panel->searchSymbol(), "magnifyingglass");
    EXPECT_FALSE(history->isSearching());

    panel->setSearchText("item");
    panel->toggleSearchMode();
    EXPECT_FALSE(panel->isSearchPending());
    EXPECT_EQ(heldIndex.calls, 1); // semantic, without waiting
}

TEST_F(QuickAccessViewModelTest, TheSpinnerShowsOnlyForSearchesOutlastingItsDelay)
{
    panelTimings.spinnerDelayMs = 60000;
    open(3);
    QSignalSpy spinner(panel.get(), &QuickAccessViewModel::showSearchingIndicatorChanged);
    panel->setSearchText("item");
    ASSERT_TRUE(waitFor([&] { return !history->searchResults().isEmpty(); }));
    EXPECT_EQ(spinner.count(), 0);

    panelTimings.spinnerDelayMs = 1;
    panel = std::make_unique<QuickAccessViewModel>(*history, clock, panelTimings);
    heldIndex.heldQueries = {"slow"};
    panel->setSearchText("slow");
    EXPECT_TRUE(waitFor([&] { return panel->showSearchingIndicator(); }));
    heldIndex.release("slow");
    EXPECT_TRUE(waitFor([&] { return !history->isSearching(); }));
    EXPECT_FALSE(panel->showSearchingIndicator());
}

TEST_F(QuickAccessViewModelTest, EveryShowingStartsFreshWithoutTheLastShowingsResults)
{
    open(3);
    press(Qt::Key_Down);
    panel->toggleSearchMode();
    panel->setSearchText("item 2");
    ASSERT_TRUE(searchSettled());
    ASSERT_FALSE(history->searchResults().isEmpty());

    panel->reset();
    EXPECT_EQ(panel->searchText(), QString());
    EXPECT_TRUE(panel->isSemanticSearchEnabled());
    EXPECT_EQ(panel->selectedIndex(), 0);
    EXPECT_FALSE(panel->isSearchFocused());
    EXPECT_TRUE(waitFor([&] { return history->searchResults().isEmpty(); }));
    panelTimings.debounceMs = 60000;
    panel->setSearchText("item");
    EXPECT_EQ(rows(), QStringList({"item 0", "item 1", "item 2"})); // not the old "item 2" result
}

TEST_F(QuickAccessViewModelTest, RowsReadImagePreviewForImagesAndTheirAgeInShortUnits)
{
    open(0);
    ClipboardItem image = makeItem(Type::image, "iVBORw0KGgo=", 300);
    EXPECT_EQ(QuickAccessViewModel::rowTitle(image), "Image Preview");
    EXPECT_EQ(panel->relativeTime(image), "5 min ago");

    const QDateTime now = clock.now();
    EXPECT_EQ(relativeTimeText(now, now), "now");
    EXPECT_EQ(relativeTimeText(now.addSecs(-45), now), "45 sec ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(-3 * 3600 - 59), now), "3 hr ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-1), now), "1 day ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-3), now), "3 days ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-15), now), "2 wk ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-400), now), "1 yr ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(120), now), "in 2 min"); // a clock set back
    EXPECT_EQ(relativeTimeText(QDateTime(), now), QString());
}

TEST(PanelPlacement, ThePanelStaysFullyOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize window(396, 436); // 380 x 420 and a margin of 8
    auto content = [&](QPoint topLeft) { return QRect(topLeft + QPoint(8, 8), QSize(380, 420)); };

    // At the pointer: its top-left corner there, flipped where the screen ends.
    EXPECT_EQ(content(panelPosition(window, 8, std::nullopt, {100, 200}, screen)).topLeft(), QPoint(100, 200));
    const QRect corner = content(panelPosition(window, 8, std::nullopt, {1910, 1075}, screen));
    EXPECT_TRUE(screen.contains(corner));
    EXPECT_EQ(corner.bottomRight(), QPoint(1909, 1074));

    // Under a tray icon at the top right, centred on it but pushed inside the screen.
    const QRect topTray = content(panelPosition(window, 8, QRect(1890, 0, 24, 24), {0, 0}, screen));
    EXPECT_TRUE(screen.contains(topTray));
    EXPECT_EQ(topTray.top(), 24);
    // Above a tray icon at the bottom.
    const QRect available(0, 0, 1920, 1040);
    const QRect bottomTray = content(panelPosition(window, 8, QRect(900, 1045, 24, 24), {0, 0}, available));
    EXPECT_TRUE(available.contains(bottomTray));
    EXPECT_NEAR(bottomTray.center().x(), 911, 1);
    // A screen smaller than the panel keeps its top-left corner.
    EXPECT_EQ(content(panelPosition(window, 8, std::nullopt, {50, 50}, QRect(0, 0, 300, 300))).topLeft(), QPoint(0, 0));
}

} // namespace
} // namespace snipbrook::test
