#include "Category.h"

#include "ConfigJson.h"
#include "model/Uuid.h"

namespace snipbrook {

QJsonObject Category::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), uuidString(id));
    o.insert(QLatin1String("name"), name);
    o.insert(QLatin1String("icon"), icon);
    o.insert(QLatin1String("keywords"), configjson::toJsonArray(keywords));
    if (color)
        o.insert(QLatin1String("color"), *color);
    if (type)
        o.insert(QLatin1String("type"), rawValue(*type));
    o.insert(QLatin1String("isSelectable"), isSelectable);
    return o;
}

std::optional<Category> Category::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    Category category;
    category.id = configjson::uuid(in, QLatin1String("id"));
    category.name = in.string(QLatin1String("name"));
    category.icon = in.string(QLatin1String("icon"));
    category.keywords = configjson::stringList(in, QLatin1String("keywords"));
    category.color = in.optionalString(QLatin1String("color"));
    const std::optional<QString> typeText = in.optionalString(QLatin1String("type"));
    category.isSelectable = in.boolean(QLatin1String("isSelectable"));
    if (typeText) {
        category.type = clipboardItemTypeFromRaw(*typeText);
        if (!category.type)
            in.fail();
    }
    if (!in.ok())
        return std::nullopt;
    return category;
}

QJsonObject CategoryGroup::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), uuidString(id));
    o.insert(QLatin1String("name"), name);
    o.insert(QLatin1String("title"), title);
    o.insert(QLatin1String("categories"), configjson::toJsonArray(categories));
    return o;
}

std::optional<CategoryGroup> CategoryGroup::fromJson(const QJsonObject &object)
{
    StrictJson in(object);
    CategoryGroup group;
    group.id = configjson::uuid(in, QLatin1String("id"));
    group.name = in.string(QLatin1String("name"));
    group.title = in.string(QLatin1String("title"));
    group.categories = configjson::recordList<Category>(in, QLatin1String("categories"));
    if (!in.ok())
        return std::nullopt;
    return group;
}

} // namespace snipbrook
