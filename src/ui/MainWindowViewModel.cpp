#include "MainWindowViewModel.h"

#include "capture/ClipboardManager.h"
#include "config/ColorNames.h"
#include "config/ConfigurationManager.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <cmath>

namespace snipbrook {
namespace {

const QString paletteGroupTitle = QStringLiteral("Customization");

} // namespace

MainWindowViewModel::MainWindowViewModel(ClipboardManager &clipboard, ConfigurationManager &configuration,
                                         MainWindowTimings timings, QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_configuration(configuration)
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(timings.debounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &MainWindowViewModel::runSearchStep);

    connect(&m_clipboard, &ClipboardManager::clipboardItemsChanged, this, &MainWindowViewModel::refresh);
    connect(&m_clipboard, &ClipboardManager::searchResultsChanged, this, &MainWindowViewModel::refresh);
    connect(&m_clipboard, &ClipboardManager::isSearchingChanged, this, &MainWindowViewModel::refresh);
    connect(&m_clipboard, &ClipboardManager::currentSearchQueryChanged, this, &MainWindowViewModel::queryChanged);
    connect(&m_configuration, &ConfigurationManager::configurationChanged, this, [this] {
        emit sidebarChanged();
        refresh(); // the type categories may have changed what a category holds
    });
    m_searchText = m_clipboard.currentSearchQuery();
    refresh();
}

// ---- Sidebar ----

QList<SidebarSection> MainWindowViewModel::sidebarSections() const
{
    QList<SidebarSection> sections;
    for (const CategoryGroup &group : m_configuration.configuration().categoryGroups) {
        SidebarSection section{group.title, group.title == paletteGroupTitle, {}};
        if (!section.isPaletteChooser) {
            for (const Category &category : group.categories)
                if (category.isSelectable)
                    section.categories.append(category);
        }
        sections.append(section);
    }
    return sections;
}

void MainWindowViewModel::setSelectedCategory(const QString &name)
{
    if (name == m_selectedCategory)
        return;
    m_selectedCategory = name;
    emit selectedCategoryChanged(name);
    refresh();
}

QList<ColorPalette> MainWindowViewModel::palettes() const
{
    return m_configuration.configuration().customizationConfiguration.availablePalettes;
}

QUuid MainWindowViewModel::selectedPaletteId() const { return m_configuration.selectedPalette().id; }

void MainWindowViewModel::selectPalette(const QUuid &id) { m_configuration.selectPalette(id); }

QColor MainWindowViewModel::categoryTint() const { return colorForName(m_configuration.selectedPalette().primaryColor); }

// ---- Search bar ----

void MainWindowViewModel::setSearchText(const QString &text)
{
    if (text != m_searchText) {
        m_searchText = text;
        emit searchTextChanged(m_searchText);
    }
    if (text != m_clipboard.currentSearchQuery())
        m_clipboard.setCurrentSearchQuery(text);
    m_debounce.start(); // restarts: one search, after the last keystroke
}

// The field follows the history's query (a cleared search empties it, a search from the command
// line fills it), except while typing waits for its search: a search started a moment earlier
// announces its older query late, and that must not eat the keystrokes since.
void MainWindowViewModel::queryChanged()
{
    const QString &query = m_clipboard.currentSearchQuery();
    if (!m_debounce.isActive() && query != m_searchText) {
        m_searchText = query;
        emit searchTextChanged(m_searchText);
    }
    refresh();
}

void MainWindowViewModel::submitSearch()
{
    m_debounce.stop();
    runSearchStep();
}

void MainWindowViewModel::clearSearch()
{
    setSearchText(QString());
    m_clipboard.clearSearch();
}

void MainWindowViewModel::setSemanticSearchEnabled(bool enabled)
{
    if (enabled == m_semantic)
        return;
    m_semantic = enabled;
    emit searchModeChanged();
    if (!m_searchText.isEmpty())
        submitSearch();
}

void MainWindowViewModel::toggleAdvancedOptions()
{
    m_showOptions = !m_showOptions;
    emit showAdvancedOptionsChanged(m_showOptions);
}

void MainWindowViewModel::runSearchStep()
{
    if (trimWhitespaceAndNewlines(m_searchText).isEmpty())
        m_clipboard.clearSearch();
    else
        m_clipboard.search(m_searchText, m_semantic);
}

bool MainWindowViewModel::isSearching() const { return m_clipboard.isSearching(); }

bool MainWindowViewModel::isStatusRowVisible() const
{
    return m_clipboard.isSearching() || !m_clipboard.searchResults().isEmpty();
}

QString MainWindowViewModel::statusText() const
{
    if (m_clipboard.isSearching())
        return QStringLiteral("Searching...");
    return resultCountText(m_clipboard.searchResults().size());
}

QString MainWindowViewModel::resultCountText(qsizetype count)
{
    if (count <= 0)
        return QString();
    if (count == 1)
        return QStringLiteral("1 match found");
    return QString::number(count) + QStringLiteral(" matches found");
}

std::optional<QString> MainWindowViewModel::matchText() const
{
    const QList<SimilaritySearchResult> &results = m_clipboard.searchResults();
    if (m_clipboard.isSearching() || results.isEmpty() || !(results.first().similarity > 0.0f))
        return std::nullopt;
    return matchPercentText(results.first().similarity);
}

QString MainWindowViewModel::matchPercentText(float similarity)
{
    const double percent = std::trunc(static_cast<double>(similarity) * 100.0);
    return QString::number(static_cast<long long>(percent)) + QLatin1Char('%');
}

std::optional<MainWindowViewModel::MatchStrength> MainWindowViewModel::matchStrength() const
{
    if (!matchText())
        return std::nullopt;
    return strengthFor(m_clipboard.searchResults().first().similarity);
}

MainWindowViewModel::MatchStrength MainWindowViewModel::strengthFor(float similarity)
{
    if (similarity > 0.7f)
        return MatchStrength::strong;
    if (similarity > 0.4f)
        return MatchStrength::fair;
    return MatchStrength::weak;
}

QColor MainWindowViewModel::matchColor(MatchStrength strength)
{
    switch (strength) {
    case MatchStrength::strong: return colorForName(QStringLiteral("green"));
    case MatchStrength::fair: return colorForName(QStringLiteral("orange"));
    case MatchStrength::weak: break;
    }
    return colorForName(QStringLiteral("red"));
}

// ---- Main area ----

void MainWindowViewModel::refresh()
{
    Content content;
    QList<ClipboardItem> items;
    QList<SimilaritySearchResult> results;
    if (m_clipboard.isSearching()) {
        content = Content::searching;
    } else if (!m_clipboard.searchResults().isEmpty()) {
        content = Content::results;
        results = m_clipboard.searchResults();
        items.reserve(results.size());
        for (const SimilaritySearchResult &result : results)
            items.append(result.item);
    } else if (!m_clipboard.currentSearchQuery().isEmpty()) {
        content = Content::noResults;
    } else {
        items = m_clipboard.itemsForCategory(m_selectedCategory);
        content = items.isEmpty() ? Content::empty : Content::category;
    }
    m_displayed = std::move(items);
    m_displayedResults = std::move(results);
    // Items compare by id alone, so a favourite mark would go unnoticed: always announce.
    emit displayedItemsChanged();
    if (content != m_content) {
        m_content = content;
        emit contentChanged(content);
    }
    emit statusChanged();
}

QString MainWindowViewModel::areaTitle() const
{
    if (m_clipboard.isSearching() || !m_clipboard.searchResults().isEmpty())
        return QStringLiteral("Search Results");
    return m_selectedCategory;
}

QString MainWindowViewModel::emptyTitle() const
{
    return QStringLiteral("No ") + m_selectedCategory.toLower() + QStringLiteral(" items");
}

QString MainWindowViewModel::noResultsMessage() const
{
    return QStringLiteral("No items match '") + m_clipboard.currentSearchQuery() + QLatin1Char('\'');
}

int MainWindowViewModel::columnCount(int width)
{
    if (width >= 1200)
        return 4;
    if (width >= 800)
        return 3;
    return 2;
}

void MainWindowViewModel::setAreaWidth(int width)
{
    const int before = columns();
    m_areaWidth = width;
    if (columns() != before)
        emit columnsChanged(columns());
}

// ---- Toolbar ----

void MainWindowViewModel::removeDuplicates()
{
    diag(QStringLiteral("🧹 Removing duplicate items from the main window"));
    m_clipboard.removeDuplicates();
}

void MainWindowViewModel::clearHistory()
{
    diag(QStringLiteral("🗑️ Clearing the history from the main window"));
    m_clipboard.clearAllHistory();
}

// ---- Texts ----

QStringList MainWindowViewModel::searchHelpLines()
{
    return {QStringLiteral("• 'thing i copied from discord last week'"),
            QStringLiteral("• 'code from yesterday' or 'links from firefox'"),
            QStringLiteral("• 'food items' finds related content semantically"),
            QStringLiteral("• Combines time, app, and semantic search")};
}

QStringList MainWindowViewModel::noResultsHints()
{
    return {QStringLiteral("• Different keywords or phrases"),
            QStringLiteral("• Enabling semantic search for concept matching"),
            QStringLiteral("• Checking if the content exists in your history")};
}

} // namespace snipbrook
