#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace snipbrook {

// A menu as plain data, so the logic that decides what a menu holds is tested without widgets and
// a platform layer turns it into the desktop's own menu.
struct MenuEntry {
    enum class Kind { action, submenu, separator };

    Kind kind = Kind::action;
    QString title;
    // A symbol name ("photo"), looked up by the platform layer; empty for none. An image, when
    // set, is shown instead.
    QString symbol;
    QImage image;
    bool enabled = true;
    // Set for entries that show a check mark.
    std::optional<bool> checked;
    // A key sequence in portable text form ("Ctrl+Q"), shown beside the title; empty for none.
    QString shortcut;
    // Runs when an action is chosen.
    std::function<void()> trigger;
    std::vector<MenuEntry> children; // the entries of a submenu

    static MenuEntry action(QString title, std::function<void()> trigger)
    {
        MenuEntry entry;
        entry.title = std::move(title);
        entry.trigger = std::move(trigger);
        return entry;
    }
    static MenuEntry submenu(QString title, std::vector<MenuEntry> children)
    {
        MenuEntry entry;
        entry.kind = Kind::submenu;
        entry.title = std::move(title);
        entry.children = std::move(children);
        return entry;
    }
    static MenuEntry separator()
    {
        MenuEntry entry;
        entry.kind = Kind::separator;
        return entry;
    }
};

using MenuModel = std::vector<MenuEntry>;

} // namespace snipbrook
