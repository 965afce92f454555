#include "AppConfiguration.h"

#include "ConfigJson.h"

#include <QJsonDocument>

#include <cmath>

namespace snipbrook {

namespace {

template <typename Section>
std::optional<Section> section(StrictJson &in, QLatin1StringView key)
{
    const QJsonObject object = in.object(key);
    if (!in.ok())
        return std::nullopt;
    std::optional<Section> value = Section::fromJson(object);
    if (!value)
        in.fail();
    return value;
}

} // namespace

QJsonObject AppConfiguration::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("version"), version);
    o.insert(QLatin1String("categories"), configjson::toJsonArray(categories));
    o.insert(QLatin1String("categoryGroups"), configjson::toJsonArray(categoryGroups));
    o.insert(QLatin1String("searchConfiguration"), searchConfiguration.toJson());
    o.insert(QLatin1String("hotkeyConfiguration"), hotkeyConfiguration.toJson());
    o.insert(QLatin1String("dataConfiguration"), dataConfiguration.toJson());
    o.insert(QLatin1String("customizationConfiguration"), customizationConfiguration.toJson());
    o.insert(QLatin1String("settings"), settings.toJson());
    o.insert(QLatin1String("launchAtLogin"), launchAtLogin);
    o.insert(QLatin1String("showInDock"), showInDock);
    o.insert(QLatin1String("menuBarEnabled"), menuBarEnabled);
    return o;
}

std::optional<AppConfiguration> AppConfiguration::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    AppConfiguration c;
    c.version = in.string(QLatin1String("version"));
    c.categories = configjson::recordList<Category>(in, QLatin1String("categories"));
    c.categoryGroups = configjson::recordList<CategoryGroup>(in, QLatin1String("categoryGroups"));
    const auto search = section<SearchConfiguration>(in, QLatin1String("searchConfiguration"));
    const auto hotkey = section<HotkeyConfiguration>(in, QLatin1String("hotkeyConfiguration"));
    const auto data = section<DataConfiguration>(in, QLatin1String("dataConfiguration"));
    const auto customization = section<CustomizationConfiguration>(in, QLatin1String("customizationConfiguration"));
    const auto settings = section<AppSettings>(in, QLatin1String("settings"));
    c.launchAtLogin = in.boolean(QLatin1String("launchAtLogin"));
    c.showInDock = in.boolean(QLatin1String("showInDock"));
    c.menuBarEnabled = in.boolean(QLatin1String("menuBarEnabled"));
    if (!in.ok())
        return std::nullopt;
    c.searchConfiguration = *search;
    c.hotkeyConfiguration = *hotkey;
    c.dataConfiguration = *data;
    c.customizationConfiguration = *customization;
    c.settings = *settings;
    return c;
}

std::optional<QByteArray> AppConfiguration::toJsonBytes(QString *failure) const
{
    // JSON has no text for infinities or NaN; Qt would quietly write null, which no reader
    // accepts back, so refuse instead.
    if (!std::isfinite(searchConfiguration.similarityThreshold)) {
        if (failure)
            *failure = QStringLiteral("similarityThreshold is not a finite number: %1")
                           .arg(searchConfiguration.similarityThreshold);
        return std::nullopt;
    }
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<AppConfiguration> AppConfiguration::fromJsonBytes(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return fromJson(document.object());
}

} // namespace snipbrook
