#pragma once

#include "model/ClipboardItem.h"
#include "platform/Clock.h"

#include <QList>
#include <QFuture>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUuid>

namespace snipbrook {

class ClipboardManager;

// How long the panel waits before searching and before showing the spinner; tests shorten them.
struct QuickAccessTimings {
    int debounceMs = 400;
    int spinnerDelayMs = 100;
};

// What the quick-access panel shows and how it reacts, without any widget: the rows (at most
// eight, from the history or from the search), the highlighted row, the search field's text and
// mode, the spinner, and the key table. The panel widget draws this and forwards its input.
//
// Copying and deleting go straight to the history. Pasting, closing and opening the main window
// belong to whoever shows the panel: they come out as signals.
class QuickAccessViewModel : public QObject {
    Q_OBJECT
public:
    static constexpr int maxRows = 8;

    enum class KeyResult {
        ignored,  // pass the key on unchanged (the search field edits its text)
        handled,  // swallow it
    };

    QuickAccessViewModel(ClipboardManager &clipboard, const Clock &clock, QuickAccessTimings timings = {},
                         QObject *parent = nullptr);

    // Every showing starts fresh: empty search in semantic mode, first row highlighted, the list
    // (not the search field) focused, no spinner.
    void reset();
    // The panel went away: a pending spinner is cancelled. A pending search still runs; its
    // results land in the shared history.
    void hidden();

    const QList<ClipboardItem> &displayedItems() const { return m_displayed; }
    // The item with its data, read from the store off the main thread for a large image.
    QFuture<std::optional<ClipboardItem>> withContent(const ClipboardItem &item) const;
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    // The highlighted item, if the highlight is on a row.
    const ClipboardItem *selectedItem() const;

    const QString &searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    void clearSearchText();
    bool isSemanticSearchEnabled() const { return m_semantic; }
    void toggleSearchMode();
    bool isSearchFocused() const { return m_searchFocused; }
    void setSearchFocused(bool focused) { m_searchFocused = focused; }
    bool showSearchingIndicator() const { return m_showSpinner; }
    // A keystroke's search is waiting out the debounce.
    bool isSearchPending() const { return m_searchDebounce.isActive(); }

    // Decides one key press on the panel. `text` is what the key types, if anything.
    KeyResult handleKey(int key, Qt::KeyboardModifiers modifiers, const QString &text);

    // Row actions, by row of displayedItems; a row outside them does nothing.
    void activateRow(int row); // click or Return: copy and close
    void pasteRow(int row);
    void deleteRow(int row);
    void openMainWindow();

    // Texts as the panel writes them.
    static QString title() { return QStringLiteral("Snipbrook"); }
    static QString searchPlaceholder() { return QStringLiteral("Search clipboard history..."); }
    static QString openMainWindowToolTip() { return QStringLiteral("Open Main Window"); }
    static QString clearSearchToolTip() { return QStringLiteral("Clear Search"); }
    static QString pasteToolTip() { return QStringLiteral("Paste into current app"); }
    static QString deleteToolTip() { return QStringLiteral("Delete"); }
    QString searchModeToolTip() const;
    // Symbol names of the search bar's icon and mode button for the current mode.
    QString searchSymbol() const;
    QString searchModeSymbol() const;
    // The caption in place of an empty list; empty while there are rows.
    QString emptyText() const;
    // The row's title: "Image Preview" for images, else the content.
    static QString rowTitle(const ClipboardItem &item);
    QString relativeTime(const ClipboardItem &item) const;

signals:
    void displayedItemsChanged();
    void selectedIndexChanged(int index);
    void searchTextChanged(const QString &text);
    void searchModeChanged();
    void showSearchingIndicatorChanged(bool shown);
    // A printable key typed on the list went into the search field: give it the focus.
    void searchFocusRequested();
    void itemCopied(const snipbrook::ClipboardItem &item);
    void pasteRequested(const snipbrook::ClipboardItem &item);
    void showMainWindowRequested();
    void closeRequested();

private:
    void refreshDisplayed();
    void performSearch();
    void searchingChanged();
    void setShowSpinner(bool shown);

    ClipboardManager &m_clipboard;
    const Clock &m_clock;

    QList<ClipboardItem> m_displayed;
    int m_selectedIndex = 0;
    QString m_searchText;
    bool m_semantic = true;
    bool m_searchFocused = false;
    bool m_showSpinner = false;
    // Deleted while shown: search results still name them until the next search.
    QSet<QUuid> m_deletedIds;
    bool m_searchedSinceReset = false;

    QTimer m_searchDebounce;
    QTimer m_spinnerDelay;
};

} // namespace snipbrook
