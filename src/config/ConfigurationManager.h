#pragma once

#include "AppConfiguration.h"
#include "platform/Preferences.h"

#include <QObject>

#include <optional>

namespace snipbrook {

// Owns the one live configuration document: loads it once at construction, publishes every
// replacement through configurationChanged, applies the targeted updates the settings and the
// sidebar make, and writes it to the preferences. Every operation runs on the main thread, which
// is where observers see the document change.
class ConfigurationManager : public QObject {
    Q_OBJECT

public:
    static constexpr QLatin1StringView storageKey{"AppConfiguration"};
    // Where a stored document that could not be read is kept before a save replaces it.
    static constexpr QLatin1StringView unreadableStorageKey{"AppConfiguration.unreadable"};
    static constexpr QLatin1StringView resourceFileName{"app_config.json"};

    // resourceDirectory holds the optional read-only app_config.json (the installed data folder).
    ConfigurationManager(Preferences &preferences, QString resourceDirectory, QObject *parent = nullptr);

    const AppConfiguration &configuration() const { return m_configuration; }
    // Replaces the live document and publishes it; does not save.
    void setConfiguration(AppConfiguration configuration);

    // The stored document, else the resource document, else a fresh default one. Never writes.
    AppConfiguration loadConfiguration();
    // True when the live document reached storage.
    bool saveConfiguration();

    // The updates below save at once and return whether the change reached storage. One that
    // did not is undone (and published again), so what runs is what a restart will find.
    bool updateHotkeyConfiguration(const HotkeyConfiguration &hotkeyConfiguration);
    // Stores the list without duplicates, sorted.
    bool setBlacklistedBundleIds(const QStringList &bundleIds);
    // Trims the identifier; a blank one changes nothing.
    bool addBlacklistedBundleId(const QString &bundleId);
    bool removeBlacklistedBundleId(const QString &bundleId);

    // The categories of the group titled "Type", or none.
    QList<Category> typeCategories() const;
    // The chosen palette, or a fresh Sunset when the chosen id matches none.
    ColorPalette selectedPalette() const;
    // Takes effect (and is saved) from the main event loop, after this returns.
    void selectPalette(const QUuid &paletteId);

signals:
    void configurationChanged(const snipbrook::AppConfiguration &configuration);

private:
    std::optional<AppConfiguration> storedConfiguration();
    std::optional<AppConfiguration> resourceConfiguration() const;
    bool assignAndSave(AppConfiguration configuration);

    Preferences &m_preferences;
    const QString m_resourceDirectory;
    // The bytes of a stored document that could not be read, until a save replaces them.
    std::optional<QByteArray> m_unreadableStored;
    AppConfiguration m_configuration;
};

} // namespace snipbrook
