#include "config/ColorNames.h"
#include "config/DefaultConfiguration.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace snipbrook;

TEST(DefaultConfiguration, MatchesTheReferenceDocumentWithFreshIdsEachTime)
{
    QFile file(qEnvironmentVariable("SNIPBROOK_TEST_DATA") + QStringLiteral("/config/default_configuration.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject reference = QJsonDocument::fromJson(file.readAll()).object();
    const QRegularExpression idPattern(QStringLiteral("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"));
    QSet<QString> ids;
    for (const AppConfiguration &c : {defaultConfiguration(), defaultConfiguration()}) {
        QString text = QString::fromUtf8(*c.toJsonBytes());
        for (const auto &match : idPattern.globalMatch(text))
            ids.insert(match.captured());
        EXPECT_EQ(QJsonDocument::fromJson(text.replace(idPattern, QStringLiteral("ID")).toUtf8()).object(), reference);
        EXPECT_EQ(c.customizationConfiguration.selectedPaletteId, c.customizationConfiguration.availablePalettes[0].id);
    }
    // 3 groups, 16 categories and 5 palettes per document, none shared.
    EXPECT_EQ(ids.size(), 2 * 24);
}

TEST(CustomizationConfiguration, ChoosesTheGivenIdElseTheFirstPaletteElseAFreshId)
{
    const QList<ColorPalette> palettes = builtInPalettes();
    const QUuid other = QUuid::createUuid();
    EXPECT_EQ(CustomizationConfiguration(other, palettes).selectedPaletteId, other);
    EXPECT_EQ(CustomizationConfiguration(std::nullopt, palettes).selectedPaletteId, palettes[0].id);
    const QUuid fresh = CustomizationConfiguration(std::nullopt, {}).selectedPaletteId;
    EXPECT_FALSE(fresh.isNull());
    EXPECT_NE(fresh, CustomizationConfiguration(std::nullopt, {}).selectedPaletteId);
}

TEST(ColorNames, MatchIgnoringCaseAndFallBackToOrange)
{
    const QStringList table{"orange", "red", "blue", "cyan", "green", "mint", "purple",
                            "pink", "gray", "black", "yellow", "indigo", "teal"};
    QSet<QRgb> colors;
    for (const QString &name : table) {
        EXPECT_EQ(resolvedColorName(name.toUpper()), name);
        EXPECT_EQ(colorForName(name.toUpper()), colorForName(name));
        colors.insert(colorForName(name).rgb());
    }
    EXPECT_EQ(colors.size(), table.size());
    EXPECT_EQ(resolvedColorName(QStringLiteral("Magenta")), "orange");
    EXPECT_EQ(colorForName(QString()), colorForName(QStringLiteral("orange")));
}
