#include "QuickAccessViewModel.h"

#include "RelativeTime.h"

#include "capture/ClipboardManager.h"
#include "model/UnicodeText.h"

#include <algorithm>

namespace snipbrook {
namespace {

// A key that types something and is no shortcut: it belongs in the search field.
bool typesText(Qt::KeyboardModifiers modifiers, const QString &text)
{
    if (text.isEmpty() || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

} // namespace

QuickAccessViewModel::QuickAccessViewModel(ClipboardManager &clipboard, const Clock &clock, QuickAccessTimings timings,
                                           QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_clock(clock)
{
    m_searchDebounce.setSingleShot(true);
    m_searchDebounce.setInterval(timings.debounceMs);
    connect(&m_searchDebounce, &QTimer::timeout, this, &QuickAccessViewModel::performSearch);
    m_spinnerDelay.setSingleShot(true);
    m_spinnerDelay.setInterval(timings.spinnerDelayMs);
    connect(&m_spinnerDelay, &QTimer::timeout, this, [this] { setShowSpinner(true); });

    connect(&m_clipboard, &ClipboardManager::clipboardItemsChanged, this, &QuickAccessViewModel::refreshDisplayed);
    connect(&m_clipboard, &ClipboardManager::searchResultsChanged, this, &QuickAccessViewModel::refreshDisplayed);
    connect(&m_clipboard, &ClipboardManager::isSearchingChanged, this, &QuickAccessViewModel::searchingChanged);
    refreshDisplayed();
}

void QuickAccessViewModel::reset()
{
    m_searchDebounce.stop();
    m_spinnerDelay.stop();
    // The last showing's results would otherwise stand in for the first keystrokes of this one.
    if (m_searchedSinceReset) {
        m_clipboard.clearSearch();
        m_searchedSinceReset = false;
    }
    m_deletedIds.clear();
    m_searchFocused = false;
    if (!m_searchText.isEmpty()) {
        m_searchText.clear();
        emit searchTextChanged(m_searchText);
    }
    if (!m_semantic) {
        m_semantic = true;
        emit searchModeChanged();
    }
    setShowSpinner(false);
    refreshDisplayed();
    m_selectedIndex = -1; // always announce the fresh highlight
    setSelectedIndex(0);
}

void QuickAccessViewModel::hidden() { m_spinnerDelay.stop(); }

void QuickAccessViewModel::setSelectedIndex(int index)
{
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    emit selectedIndexChanged(index);
}

const ClipboardItem *QuickAccessViewModel::selectedItem() const
{
    if (m_selectedIndex < 0 || m_selectedIndex >= m_displayed.size())
        return nullptr;
    return &m_displayed[m_selectedIndex];
}

void QuickAccessViewModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged(m_searchText);
    setSelectedIndex(0);
    if (m_searchText.isEmpty()) {
        m_searchDebounce.stop();
        m_clipboard.clearSearch();
    } else {
        m_searchDebounce.start(); // restarts: one search, after the last keystroke
    }
    refreshDisplayed();
}

void QuickAccessViewModel::clearSearchText() { setSearchText({}); }

void QuickAccessViewModel::toggleSearchMode()
{
    m_semantic = !m_semantic;
    emit searchModeChanged();
    if (!m_searchText.isEmpty()) {
        m_searchDebounce.stop();
        performSearch();
    }
}

void QuickAccessViewModel::performSearch()
{
    if (trimWhitespaceAndNewlines(m_searchText).isEmpty())
        return;
    m_searchedSinceReset = true;
    m_clipboard.search(m_searchText, m_semantic);
}

void QuickAccessViewModel::searchingChanged()
{
    m_spinnerDelay.stop();
    if (m_clipboard.isSearching())
        m_spinnerDelay.start(); // a quick search never shows the spinner
    else
        setShowSpinner(false);
    refreshDisplayed();
}

void QuickAccessViewModel::setShowSpinner(bool shown)
{
    if (shown == m_showSpinner)
        return;
    m_showSpinner = shown;
    emit showSearchingIndicatorChanged(shown);
}

void QuickAccessViewModel::refreshDisplayed()
{
    QList<ClipboardItem> rows;
    rows.reserve(maxRows);
    // True once the rows are full.
    auto add = [&](const ClipboardItem &item) {
        if (!m_deletedIds.contains(item.id))
            rows.append(item);
        return rows.size() >= maxRows;
    };
    const QList<ClipboardItem> &history = m_clipboard.clipboardItems();
    if (m_searchText.isEmpty()) {
        for (const ClipboardItem &item : history) {
            if (add(item))
                break;
        }
    } else if (m_clipboard.isSearching()) {
        // the spinner stands in for the rows
    } else if (!m_clipboard.searchResults().isEmpty()) {
        for (const SimilaritySearchResult &result : m_clipboard.searchResults()) {
            if (add(result.item))
                break;
        }
    } else {
        // Nothing found, or no search yet: plain substring matches rather than an empty list.
        for (const ClipboardItem &item : history) {
            if (item.content.contains(m_searchText, Qt::CaseInsensitive) && add(item))
                break;
        }
    }
    m_displayed = std::move(rows);
    emit displayedItemsChanged();
}

QuickAccessViewModel::KeyResult QuickAccessViewModel::handleKey(int key, Qt::KeyboardModifiers modifiers,
                                                                const QString &text)
{
    const int rowCount = int(m_displayed.size());
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers & Qt::ShiftModifier)
            pasteRow(m_selectedIndex);
        else
            activateRow(m_selectedIndex);
        return KeyResult::handled;
    case Qt::Key_Delete:
        if (m_searchFocused)
            return KeyResult::ignored; // the field deletes a character
        deleteRow(m_selectedIndex);
        return KeyResult::handled;
    case Qt::Key_Escape:
        emit closeRequested();
        return KeyResult::handled;
    case Qt::Key_Down:
        setSelectedIndex(std::min(m_selectedIndex + 1, std::max(rowCount - 1, 0)));
        return KeyResult::handled;
    case Qt::Key_Up:
        setSelectedIndex(std::max(m_selectedIndex - 1, 0));
        return KeyResult::handled;
    default:
        break;
    }
    if (!m_searchFocused && typesText(modifiers, text)) {
        // Typing on the list searches, as in a launcher.
        m_searchFocused = true;
        emit searchFocusRequested();
        setSearchText(m_searchText + text);
        return KeyResult::handled;
    }
    return KeyResult::ignored;
}

void QuickAccessViewModel::activateRow(int row)
{
    if (row < 0 || row >= m_displayed.size())
        return;
    const ClipboardItem item = m_displayed[row];
    m_clipboard.copyItem(item);
    emit itemCopied(item);
    emit closeRequested();
}

void QuickAccessViewModel::pasteRow(int row)
{
    if (row < 0 || row >= m_displayed.size())
        return;
    const ClipboardItem item = m_displayed[row];
    // Closed first, so the window the paste goes to can have the focus back.
    emit closeRequested();
    emit pasteRequested(item);
}

void QuickAccessViewModel::deleteRow(int row)
{
    if (row < 0 || row >= m_displayed.size())
        return;
    const QUuid id = m_displayed[row].id;
    const int oldIndex = m_selectedIndex;
    m_deletedIds.insert(id);
    m_clipboard.deleteItem(id);
    refreshDisplayed();
    setSelectedIndex(std::min(oldIndex, std::max(int(m_displayed.size()) - 1, 0)));
}

void QuickAccessViewModel::openMainWindow()
{
    emit closeRequested();
    emit showMainWindowRequested();
}

QString QuickAccessViewModel::searchModeToolTip() const
{
    return m_semantic ? QStringLiteral("Semantic Search") : QStringLiteral("Keyword Search");
}

QString QuickAccessViewModel::searchSymbol() const
{
    return m_semantic ? QStringLiteral("brain") : QStringLiteral("magnifyingglass");
}

QString QuickAccessViewModel::searchModeSymbol() const
{
    return m_semantic ? QStringLiteral("text.bubble") : QStringLiteral("text.magnifyingglass");
}

QString QuickAccessViewModel::emptyText() const
{
    // While a search runs the spinner speaks; "No matching items" would flash at every keystroke.
    if (!m_displayed.isEmpty() || (!m_searchText.isEmpty() && m_clipboard.isSearching()))
        return {};
    return m_searchText.isEmpty() ? QStringLiteral("No clipboard history") : QStringLiteral("No matching items");
}

QString QuickAccessViewModel::rowTitle(const ClipboardItem &item)
{
    return item.type == ClipboardItemType::image ? QStringLiteral("Image Preview") : item.content;
}

QString QuickAccessViewModel::relativeTime(const ClipboardItem &item) const
{
    return relativeTimeText(item.timestamp, m_clock.now());
}

QFuture<std::optional<ClipboardItem>> QuickAccessViewModel::withContent(const ClipboardItem &item) const
{
    return m_clipboard.withContent(item);
}

} // namespace snipbrook
