#include "ConfigurationManager.h"

#include "DefaultConfiguration.h"
#include "model/Diagnostics.h"
#include "model/UnicodeText.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace snipbrook {

ConfigurationManager::ConfigurationManager(Preferences &preferences, QString resourceDirectory, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_resourceDirectory(std::move(resourceDirectory))
{
    m_configuration = loadConfiguration();
}

void ConfigurationManager::setConfiguration(AppConfiguration configuration)
{
    m_configuration = std::move(configuration);
    emit configurationChanged(m_configuration);
}

std::optional<AppConfiguration> ConfigurationManager::storedConfiguration()
{
    m_unreadableStored.reset();
    const std::optional<QByteArray> bytes = m_preferences.bytes(storageKey);
    if (!bytes)
        return std::nullopt;
    std::optional<AppConfiguration> stored = AppConfiguration::fromJsonBytes(*bytes);
    // Passed over quietly here; saveConfiguration keeps the bytes before replacing them.
    if (!stored)
        m_unreadableStored = *bytes;
    return stored;
}

std::optional<AppConfiguration> ConfigurationManager::resourceConfiguration() const
{
    if (m_resourceDirectory.isEmpty())
        return std::nullopt;
    QFile file(QDir(m_resourceDirectory).filePath(resourceFileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return AppConfiguration::fromJsonBytes(file.readAll());
}

AppConfiguration ConfigurationManager::loadConfiguration()
{
    if (std::optional<AppConfiguration> stored = storedConfiguration())
        return std::move(*stored);
    if (std::optional<AppConfiguration> resource = resourceConfiguration())
        return std::move(*resource);
    return defaultConfiguration();
}

bool ConfigurationManager::saveConfiguration()
{
    QString failure;
    const std::optional<QByteArray> bytes = m_configuration.toJsonBytes(&failure);
    if (!bytes) {
        diag(QStringLiteral("❌ Failed to save configuration: ") + failure);
        return false;
    }
    if (m_unreadableStored) {
        m_preferences.setBytes(unreadableStorageKey, *m_unreadableStored);
        diag(QStringLiteral("⚠️ Kept the unreadable stored configuration under: ") + unreadableStorageKey);
        m_unreadableStored.reset();
    }
    m_preferences.setBytes(storageKey, *bytes);
    if (!m_preferences.sync()) {
        diag(QStringLiteral("❌ Failed to save configuration: the settings could not be written"));
        return false;
    }
    return true;
}

bool ConfigurationManager::assignAndSave(AppConfiguration configuration)
{
    const std::optional<QByteArray> storedBefore = m_preferences.bytes(storageKey);
    AppConfiguration previous = m_configuration;
    setConfiguration(std::move(configuration));
    if (saveConfiguration())
        return true;
    // The preferences keep a refused write in memory and would carry it out with the next save
    // of anything else: put the stored document back there too.
    if (m_preferences.bytes(storageKey) != storedBefore) {
        if (storedBefore)
            m_preferences.setBytes(storageKey, *storedBefore);
        else
            m_preferences.remove(storageKey);
    }
    setConfiguration(std::move(previous));
    diag(QStringLiteral("⚠️ Configuration change undone, since it could not be saved"));
    return false;
}

bool ConfigurationManager::updateHotkeyConfiguration(const HotkeyConfiguration &hotkeyConfiguration)
{
    AppConfiguration next = m_configuration;
    next.hotkeyConfiguration = hotkeyConfiguration;
    return assignAndSave(std::move(next));
}

bool ConfigurationManager::setBlacklistedBundleIds(const QStringList &bundleIds)
{
    QStringList unique = bundleIds;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    AppConfiguration next = m_configuration;
    next.settings.blacklistedBundleIds = unique;
    return assignAndSave(std::move(next));
}

bool ConfigurationManager::addBlacklistedBundleId(const QString &bundleId)
{
    const QString trimmed = trimWhitespaceAndNewlines(bundleId);
    if (trimmed.isEmpty())
        return true;
    QStringList ids = m_configuration.settings.blacklistedBundleIdsOrEmpty();
    if (!ids.contains(trimmed))
        ids.append(trimmed);
    return setBlacklistedBundleIds(ids);
}

bool ConfigurationManager::removeBlacklistedBundleId(const QString &bundleId)
{
    QStringList ids = m_configuration.settings.blacklistedBundleIdsOrEmpty();
    ids.removeAll(bundleId);
    return setBlacklistedBundleIds(ids);
}

QList<Category> ConfigurationManager::typeCategories() const
{
    for (const CategoryGroup &group : m_configuration.categoryGroups) {
        if (group.title == QLatin1String("Type"))
            return group.categories;
    }
    return {};
}

ColorPalette ConfigurationManager::selectedPalette() const
{
    const CustomizationConfiguration &customization = m_configuration.customizationConfiguration;
    for (const ColorPalette &palette : customization.availablePalettes) {
        if (palette.id == customization.selectedPaletteId)
            return palette;
    }
    return builtInPalettes().first();
}

void ConfigurationManager::selectPalette(const QUuid &paletteId)
{
    // The new document is built when the task runs, from the document live then, so an update
    // made in between is kept rather than overwritten by a stale copy.
    QMetaObject::invokeMethod(
        this,
        [this, paletteId] {
            AppConfiguration next = m_configuration;
            next.customizationConfiguration =
                CustomizationConfiguration(paletteId, m_configuration.customizationConfiguration.availablePalettes);
            assignAndSave(std::move(next));
        },
        Qt::QueuedConnection);
}

} // namespace snipbrook
