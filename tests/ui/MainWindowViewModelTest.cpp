#include "ui/MainWindowViewModel.h"

#include "capture/HistoryFixture.h"
#include "config/ColorNames.h"

#include <QSignalSpy>

namespace snipbrook::test {
namespace {

using Content = MainWindowViewModel::Content;
using Strength = MainWindowViewModel::MatchStrength;

class MainWindowViewModelTest : public HistoryFixture {
protected:
    std::unique_ptr<MainWindowViewModel> window;

    // A window over a history holding `count` texts, "item 0" newest.
    void open(int count = 0)
    {
        startWithTexts(count);
        window = std::make_unique<MainWindowViewModel>(*history, configuration, MainWindowTimings{20});
    }
    void TearDown() override
    {
        releaseHeldSearches();
        window.reset();
        HistoryFixture::TearDown();
    }
    QStringList shown() const
    {
        QStringList texts;
        for (const ClipboardItem &item : window->displayedItems())
            texts.append(item.content);
        return texts;
    }
    void typeInField(const QString &text)
    {
        for (qsizetype i = 1; i <= text.size(); ++i)
            window->setSearchText(text.left(i));
    }
    bool searchSettled() { return waitFor([&] { return !window->isSearchPending() && !history->isSearching(); }); }
    void hitEverything(float score)
    {
        for (const ClipboardItem &item : history->clipboardItems())
            heldIndex.hits.append({item.id, score, {}});
    }
};

TEST_F(MainWindowViewModelTest, AnEmptyHistoryShowsTheEmptyViewNamedAfterTheCategory)
{
    open(0);
    EXPECT_EQ(window->content(), Content::empty);
    EXPECT_EQ(window->emptyTitle(), "No all items");
    EXPECT_EQ(window->areaTitle(), "All");
    window->setSelectedCategory("Today");
    EXPECT_EQ(window->emptyTitle(), "No today items");
    EXPECT_FALSE(window->isStatusRowVisible());
}

TEST_F(MainWindowViewModelTest, TheChosenCategoryDecidesTheCardsAndFollowsTheHistory)
{
    open(3);
    EXPECT_EQ(window->content(), Content::category);
    EXPECT_EQ(shown(), QStringList({"item 0", "item 1", "item 2"}));

    QSignalSpy changes(window.get(), &MainWindowViewModel::displayedItemsChanged);
    window->setSelectedCategory("Favorites");
    EXPECT_EQ(window->content(), Content::empty);
    EXPECT_GE(changes.count(), 1);

    const QUuid id = history->clipboardItems()[1].id;
    history->toggleFavorite(id);
    ASSERT_TRUE(waitFor([&] { return window->content() == Content::category; }));
    EXPECT_EQ(shown(), QStringList({"item 1"}));
    EXPECT_EQ(window->areaTitle(), "Favorites");
}

TEST_F(MainWindowViewModelTest, ASearchShowsSearchingThenItsResultsWithTheStatusRow)
{
    open(12);
    heldIndex.heldQueries = {"item"};
    hitEverything(0.72f);
    window->setSearchText("item");
    window->submitSearch();
    ASSERT_TRUE(waitFor([&] { return history->isSearching(); }));
    EXPECT_EQ(window->content(), Content::searching);
    EXPECT_TRUE(window->displayedItems().isEmpty());
    EXPECT_TRUE(window->isStatusRowVisible());
    EXPECT_EQ(window->statusText(), "Searching...");
    EXPECT_EQ(window->matchText(), std::nullopt);
    EXPECT_EQ(window->areaTitle(), "Search Results");

    heldIndex.release("item");
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(window->content(), Content::results);
    EXPECT_EQ(window->statusText(), "12 matches found");
    ASSERT_EQ(window->displayedResults().size(), 12);
    EXPECT_EQ(window->displayedItems().size(), 12);
    EXPECT_EQ(window->displayedItems()[0].id, window->displayedResults()[0].item.id);
    ASSERT_TRUE(window->matchText().has_value());
    EXPECT_EQ(window->areaTitle(), "Search Results");
}

TEST_F(MainWindowViewModelTest, AQueryThatFoundNothingShowsNoResultsAndHidesTheStatusRow)
{
    open(3);
    window->setSearchText("zebra");
    // Before the debounced search runs, the typed query alone already means "no results".
    EXPECT_EQ(window->content(), Content::noResults);
    EXPECT_EQ(window->noResultsMessage(), "No items match 'zebra'");
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(window->content(), Content::noResults);
    EXPECT_FALSE(window->isStatusRowVisible());
    EXPECT_EQ(window->areaTitle(), "All");

    window->clearSearch();
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(window->content(), Content::category);
    EXPECT_EQ(window->searchText(), QString());
}

TEST_F(MainWindowViewModelTest, StatusCountsAndMatchColoursFollowTheirThresholds)
{
    EXPECT_EQ(MainWindowViewModel::resultCountText(1), "1 match found");
    EXPECT_EQ(MainWindowViewModel::resultCountText(12), "12 matches found");
    EXPECT_EQ(MainWindowViewModel::matchPercentText(0.72f), "72%");
    EXPECT_EQ(MainWindowViewModel::matchPercentText(0.999f), "99%"); // truncated, never rounded up
    EXPECT_EQ(MainWindowViewModel::strengthFor(0.72f), Strength::strong);
    EXPECT_EQ(MainWindowViewModel::strengthFor(0.7f), Strength::fair);
    EXPECT_EQ(MainWindowViewModel::strengthFor(0.41f), Strength::fair);
    EXPECT_EQ(MainWindowViewModel::strengthFor(0.40f), Strength::weak);
    EXPECT_EQ(MainWindowViewModel::matchColor(Strength::strong), colorForName("green"));
    EXPECT_EQ(MainWindowViewModel::matchColor(Strength::fair), colorForName("orange"));
    EXPECT_EQ(MainWindowViewModel::matchColor(Strength::weak), colorForName("red"));
}

TEST_F(MainWindowViewModelTest, TheColumnRuleSwitchesAt800And1200)
{
    EXPECT_EQ(MainWindowViewModel::columnCount(0), 2);
    EXPECT_EQ(MainWindowViewModel::columnCount(799), 2);
    EXPECT_EQ(MainWindowViewModel::columnCount(800), 3);
    EXPECT_EQ(MainWindowViewModel::columnCount(1199), 3);
    EXPECT_EQ(MainWindowViewModel::columnCount(1200), 4);

    open(0);
    QSignalSpy columns(window.get(), &MainWindowViewModel::columnsChanged);
    window->setAreaWidth(900);
    window->setAreaWidth(1000); // same count: no announcement
    window->setAreaWidth(1300);
    ASSERT_EQ(columns.count(), 2);
    EXPECT_EQ(columns[0][0].toInt(), 3);
    EXPECT_EQ(columns[1][0].toInt(), 4);
}

TEST_F(MainWindowViewModelTest, TypingQuicklyRunsOneSearchAfterTheLastKeystroke)
{
    open(3);
    typeInField("abc");
    EXPECT_TRUE(window->isSearchPending());
    EXPECT_EQ(heldIndex.calls, 0);
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(heldIndex.calls, 1);
    EXPECT_EQ(heldIndex.lastQuery, "abc");
}

TEST_F(MainWindowViewModelTest, ReturnSearchesAtOnceAndOnBlanksClearsTheField)
{
    open(3);
    window->setSearchText("item");
    window->submitSearch();
    EXPECT_FALSE(window->isSearchPending());
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(heldIndex.calls, 1);

    window->setSearchText("   ");
    window->submitSearch();
    ASSERT_TRUE(waitFor([&] { return window->searchText().isEmpty(); }));
    EXPECT_EQ(heldIndex.calls, 1);
    EXPECT_EQ(window->content(), Content::category);
}

TEST_F(MainWindowViewModelTest, KeystrokesTypedWhileASearchStartsAreNotEatenByItsQuery)
{
    open(3);
    window->setSearchText("it");
    window->submitSearch();      // announces "it" on the next turn of the event loop
    window->setSearchText("ite"); // typed before that turn
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(window->searchText(), "ite");
    EXPECT_EQ(heldIndex.lastQuery, "ite");
}

TEST_F(MainWindowViewModelTest, ChangingTheModeSearchesAgainOnlyWithText)
{
    open(3);
    QSignalSpy modes(window.get(), &MainWindowViewModel::searchModeChanged);
    window->setSemanticSearchEnabled(false);
    EXPECT_EQ(modes.count(), 1);
    EXPECT_FALSE(history->isSearching());
    ASSERT_TRUE(waitForDeliveries());
    EXPECT_EQ(heldIndex.calls, 0);

    window->setSearchText("item");
    window->setSemanticSearchEnabled(true);
    EXPECT_FALSE(window->isSearchPending());
    ASSERT_TRUE(searchSettled());
    EXPECT_EQ(heldIndex.calls, 1);
}

TEST_F(MainWindowViewModelTest, TheToolbarRemovesDuplicatesAndClearsTheHistory)
{
    open(0);
    addAll({makeItem(Type::text, "same", 3), makeItem(Type::text, "other", 2), makeItem(Type::text, "same", 1)});
    window->removeDuplicates();
    ASSERT_TRUE(waitFor([&] { return contents().size() == 2; }));
    window->clearHistory();
    ASSERT_TRUE(waitFor([&] { return window->content() == Content::empty; }));
    EXPECT_TRUE(storedItems().isEmpty());
}

TEST_F(MainWindowViewModelTest, TheSidebarListsSelectableCategoriesAndThePaletteGroup)
{
    open(0);
    const QList<SidebarSection> sections = window->sidebarSections();
    ASSERT_FALSE(sections.isEmpty());
    int paletteSections = 0;
    for (const SidebarSection &section : sections) {
        if (section.isPaletteChooser) {
            ++paletteSections;
            EXPECT_EQ(section.title, "Customization");
            EXPECT_TRUE(section.categories.isEmpty());
        }
    }
    EXPECT_EQ(paletteSections, 1);

    AppConfiguration document = configuration.configuration();
    ASSERT_FALSE(document.categoryGroups[0].categories.isEmpty());
    document.categoryGroups[0].categories[0].isSelectable = false;
    const QString hidden = document.categoryGroups[0].categories[0].name;
    QSignalSpy sidebar(window.get(), &MainWindowViewModel::sidebarChanged);
    configuration.setConfiguration(document);
    EXPECT_EQ(sidebar.count(), 1);
    const QList<SidebarSection> after = window->sidebarSections();
    for (const Category &category : after[0].categories)
        EXPECT_NE(category.name, hidden);
}

} // namespace
} // namespace snipbrook::test
