#pragma once

#include <QJsonObject>
#include <QList>
#include <QUuid>

#include <optional>

namespace snipbrook {

// A pair of colours the views tint with; the colours are colour names (config/ColorNames.h).
struct ColorPalette {
    QUuid id;
    QString name;         // machine name, lower case
    QString displayName;
    QString primaryColor;
    QString accentColor;
    QString description;  // one line shown under the name

    bool operator==(const ColorPalette &) const = default;

    QJsonObject toJson() const;
    static std::optional<ColorPalette> fromJson(const QJsonObject &object);
};

// The palettes to choose from and the chosen one's id (which need not match any of them).
struct CustomizationConfiguration {
    QUuid selectedPaletteId;
    QList<ColorPalette> availablePalettes;

    // Without an id the first palette is chosen; with no palettes either, a fresh id that
    // matches nothing.
    explicit CustomizationConfiguration(std::optional<QUuid> selectedPaletteId = std::nullopt,
                                        QList<ColorPalette> availablePalettes = {});

    bool operator==(const CustomizationConfiguration &) const = default;

    QJsonObject toJson() const;
    static std::optional<CustomizationConfiguration> fromJson(const QJsonObject &object);
};

} // namespace snipbrook
