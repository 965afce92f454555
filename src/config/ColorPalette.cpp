#include "ColorPalette.h"

#include "ConfigJson.h"
#include "model/Uuid.h"

namespace snipbrook {

QJsonObject ColorPalette::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), uuidString(id));
    o.insert(QLatin1String("name"), name);
    o.insert(QLatin1String("displayName"), displayName);
    o.insert(QLatin1String("primaryColor"), primaryColor);
    o.insert(QLatin1String("accentColor"), accentColor);
    o.insert(QLatin1String("description"), description);
    return o;
}

std::optional<ColorPalette> ColorPalette::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    ColorPalette palette;
    palette.id = configjson::uuid(in, QLatin1String("id"));
    palette.name = in.string(QLatin1String("name"));
    palette.displayName = in.string(QLatin1String("displayName"));
    palette.primaryColor = in.string(QLatin1String("primaryColor"));
    palette.accentColor = in.string(QLatin1String("accentColor"));
    palette.description = in.string(QLatin1String("description"));
    if (!in.ok())
        return std::nullopt;
    return palette;
}

CustomizationConfiguration::CustomizationConfiguration(std::optional<QUuid> selectedPaletteId,
                                                       QList<ColorPalette> availablePalettes)
    : availablePalettes(std::move(availablePalettes))
{
    if (selectedPaletteId)
        this->selectedPaletteId = *selectedPaletteId;
    else if (!this->availablePalettes.isEmpty())
        this->selectedPaletteId = this->availablePalettes.first().id;
    else
        this->selectedPaletteId = QUuid::createUuid();
}

QJsonObject CustomizationConfiguration::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("selectedPaletteId"), uuidString(selectedPaletteId));
    o.insert(QLatin1String("availablePalettes"), configjson::toJsonArray(availablePalettes));
    return o;
}

std::optional<CustomizationConfiguration> CustomizationConfiguration::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    const QUuid selected = configjson::uuid(in, QLatin1String("selectedPaletteId"));
    QList<ColorPalette> palettes = configjson::recordList<ColorPalette>(in, QLatin1String("availablePalettes"));
    if (!in.ok())
        return std::nullopt;
    return CustomizationConfiguration(selected, std::move(palettes));
}

} // namespace snipbrook
