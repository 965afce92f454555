#include "DefaultConfiguration.h"

namespace snipbrook {

namespace {

struct CategoryRow {
    const char *name;
    const char *icon;
    QStringList keywords;
    const char *color;
    std::optional<ClipboardItemType> type;
};

QList<Category> categories(std::initializer_list<CategoryRow> rows)
{
    QList<Category> list;
    for (const CategoryRow &row : rows)
        list.append(Category{QUuid::createUuid(), QString::fromLatin1(row.name), QString::fromLatin1(row.icon),
                             row.keywords, QString::fromLatin1(row.color), row.type, true});
    return list;
}

CategoryGroup group(const char *name, const char *title, QList<Category> categories)
{
    return {QUuid::createUuid(), QString::fromLatin1(name), QString::fromLatin1(title), std::move(categories)};
}

QList<Category> typeCategories()
{
    using T = ClipboardItemType;
    return categories({
        {"All", "doc.on.clipboard", {"all", "everything"}, "gray", std::nullopt},
        {"Text", "doc.text", {"text", "string"}, "blue", T::text},
        {"Rich Text", "textformat.alt", {"rich", "formatted"}, "indigo", T::richText},
        {"Image", "photo", {"image", "picture", "photo"}, "green", T::image},
        {"File", "doc", {"file", "document"}, "orange", T::file},
        {"Multiple Files", "doc.on.doc", {"multiple", "files"}, "red", T::multipleFiles},
        {"Link", "link", {"url", "link", "website"}, "purple", T::link},
        {"Code", "curlybraces", {"code", "programming"}, "cyan", T::code},
        {"Email", "envelope", {"email", "mail"}, "teal", T::email},
        {"Phone", "phone", {"phone", "number"}, "mint", T::phone},
        {"Color", "paintpalette", {"color", "hex"}, "pink", T::color},
        {"Emoji", "face.smiling", {"emoji", "emoticon"}, "yellow", T::emoji},
    });
}

QList<Category> selectionCategories()
{
    return categories({
        {"Favorites", "heart.fill", {"favorite", "starred"}, "red", std::nullopt},
        {"Recent", "clock", {"recent", "new"}, "blue", std::nullopt},
        {"Today", "calendar", {"today", "current"}, "green", std::nullopt},
        {"This Week", "calendar.badge.clock", {"week", "weekly"}, "orange", std::nullopt},
    });
}

ColorPalette palette(const char *name, const char *displayName, const char *primary, const char *accent,
                     const char *description)
{
    return {QUuid::createUuid(),        QString::fromLatin1(name),   QString::fromLatin1(displayName),
            QString::fromLatin1(primary), QString::fromLatin1(accent), QString::fromLatin1(description)};
}

} // namespace

QList<ColorPalette> builtInPalettes()
{
    return {
        palette("sunset", "Sunset", "orange", "red", "Warm orange and red tones"),
        palette("ocean", "Ocean", "blue", "cyan", "Cool blue and cyan tones"),
        palette("forest", "Forest", "green", "mint", "Natural green and mint tones"),
        palette("lavender", "Lavender", "purple", "pink", "Elegant purple and pink tones"),
        palette("graphite", "Graphite", "gray", "black", "Modern gray and black tones"),
    };
}

AppConfiguration defaultConfiguration()
{
    AppConfiguration c;
    c.version = QStringLiteral("1.0");
    c.categoryGroups = {
        group("type", "Type", typeCategories()),
        group("selection", "Selection", selectionCategories()),
        group("customization", "Customization", {}),
    };
    c.searchConfiguration = {50, true, true, 0.7F, QStringLiteral("sentence-transformers/all-MiniLM-L6-v2")};
    c.hotkeyConfiguration = {QStringLiteral("shift+cmd+space"), QStringLiteral("shift+cmd+space"), true};
    c.dataConfiguration = {1000, 30, true, true};
    c.customizationConfiguration = CustomizationConfiguration(std::nullopt, builtInPalettes());
    c.settings = {1000, true, 30, QStringList(), std::nullopt}; // the item size limit: absent, the default
    c.launchAtLogin = false;
    c.showInDock = false;
    c.menuBarEnabled = true;
    return c;
}

} // namespace snipbrook
