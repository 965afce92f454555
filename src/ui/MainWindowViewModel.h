#pragma once

#include "config/AppConfiguration.h"
#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

namespace snipbrook {

class ClipboardManager;
class ConfigurationManager;

// How long the search bar waits after the last keystroke; tests shorten it.
struct MainWindowTimings {
    int debounceMs = 300;
};

// One section of the sidebar: a group's selectable categories, or the palette chooser.
struct SidebarSection {
    QString title;
    bool isPaletteChooser = false;
    QList<Category> categories;
};

// What the main window shows and how it reacts, without any widget: the chosen category, the
// search bar (text, debounce, mode, options, status row), the content of the main area, its
// column count and the toolbar's actions. The search text is the history's current query, so
// the window and the command line's searches show the same thing.
class MainWindowViewModel : public QObject {
    Q_OBJECT
public:
    // What the main area shows, decided in this order.
    enum class Content {
        searching, // a search is running
        results,   // the cards of the search results
        noResults, // a query that found nothing (or has not run yet)
        category,  // the cards of the chosen category
        empty,     // the chosen category holds nothing
    };
    enum class MatchStrength { strong, fair, weak };

    static constexpr int columnSpacing = 16;

    MainWindowViewModel(ClipboardManager &clipboard, ConfigurationManager &configuration,
                        MainWindowTimings timings = {}, QObject *parent = nullptr);

    // ---- Sidebar ----
    QList<SidebarSection> sidebarSections() const;
    const QString &selectedCategory() const { return m_selectedCategory; }
    void setSelectedCategory(const QString &name);
    QList<ColorPalette> palettes() const;
    QUuid selectedPaletteId() const;
    void selectPalette(const QUuid &id);
    // The colour category icons are tinted with: the selected palette's primary colour.
    QColor categoryTint() const;

    // ---- Search bar ----
    const QString &searchText() const { return m_searchText; }
    // An edit of the field: the search runs once the typing pauses.
    void setSearchText(const QString &text);
    // Return in the field: search now.
    void submitSearch();
    // The clear button.
    void clearSearch();
    bool isSemanticSearchEnabled() const { return m_semantic; }
    void setSemanticSearchEnabled(bool enabled);
    bool showAdvancedOptions() const { return m_showOptions; }
    void toggleAdvancedOptions();
    bool isSearchPending() const { return m_debounce.isActive(); }

    bool isStatusRowVisible() const;
    bool isSearching() const;
    // "Searching...", "1 match found", "12 matches found".
    QString statusText() const;
    // "72%" for the first result's similarity, when it is above 0 and no search runs.
    std::optional<QString> matchText() const;
    std::optional<MatchStrength> matchStrength() const;
    static QColor matchColor(MatchStrength strength);
    static QString resultCountText(qsizetype count);
    static QString matchPercentText(float similarity);
    static MatchStrength strengthFor(float similarity);

    // ---- Main area ----
    Content content() const { return m_content; }
    const QList<ClipboardItem> &displayedItems() const { return m_displayed; }
    // The search hit behind each displayed item while results show; empty otherwise.
    const QList<SimilaritySearchResult> &displayedResults() const { return m_displayedResults; }
    QString areaTitle() const;
    QString emptyTitle() const;
    QString noResultsMessage() const;

    // 4 columns from 1200 wide, 3 from 800, else 2.
    static int columnCount(int width);
    int columns() const { return columnCount(m_areaWidth); }
    void setAreaWidth(int width);

    // ---- Toolbar ----
    void removeDuplicates();
    void clearHistory();

    // ---- Texts ----
    static QString title() { return QStringLiteral("Snipbrook"); }
    static QString searchPlaceholder() { return QStringLiteral("Search for anything in your clipboard..."); }
    static QStringList searchHelpLines();
    static QStringList noResultsHints();

signals:
    void sidebarChanged();
    void selectedCategoryChanged(const QString &name);
    void searchTextChanged(const QString &text);
    void searchModeChanged();
    void showAdvancedOptionsChanged(bool shown);
    // The status row, the content choice or the area title may have changed.
    void statusChanged();
    void contentChanged(snipbrook::MainWindowViewModel::Content content);
    void displayedItemsChanged();
    void columnsChanged(int columns);

private:
    void runSearchStep();
    void queryChanged();
    void refresh();

    ClipboardManager &m_clipboard;
    ConfigurationManager &m_configuration;
    QString m_selectedCategory = QStringLiteral("All");
    QString m_searchText;
    bool m_semantic = true;
    bool m_showOptions = false;
    int m_areaWidth = 0;
    Content m_content = Content::empty;
    QList<ClipboardItem> m_displayed;
    QList<SimilaritySearchResult> m_displayedResults;
    QTimer m_debounce;
};

} // namespace snipbrook
