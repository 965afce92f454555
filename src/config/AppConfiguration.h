#pragma once

#include "Category.h"
#include "ColorPalette.h"
#include "ConfigurationSections.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

#include <optional>

namespace snipbrook {

// The whole configuration: one value document. Changes build a new document and hand it to
// ConfigurationManager as a whole; nothing in it refers outside it.
struct AppConfiguration {
    QString version;
    QList<Category> categories;  // stored and carried; the sidebar uses categoryGroups
    QList<CategoryGroup> categoryGroups;
    SearchConfiguration searchConfiguration;
    HotkeyConfiguration hotkeyConfiguration;
    DataConfiguration dataConfiguration;
    CustomizationConfiguration customizationConfiguration;
    AppSettings settings;
    bool launchAtLogin = false;
    bool showInDock = false;     // stored and carried; the taskbar entry follows the main window
    bool menuBarEnabled = false; // stored and carried; the tray icon is always installed

    bool operator==(const AppConfiguration &) const = default;

    QJsonObject toJson() const;
    // Strict: one missing or mistyped required key anywhere makes the whole document unreadable.
    static std::optional<AppConfiguration> fromJson(const QJsonObject &object);

    // The stored form: compact UTF-8 JSON. Fails (with a description) for a value JSON cannot
    // hold, such as a threshold that is not a finite number.
    std::optional<QByteArray> toJsonBytes(QString *failure = nullptr) const;
    static std::optional<AppConfiguration> fromJsonBytes(const QByteArray &bytes);
};

} // namespace snipbrook
