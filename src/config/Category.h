#pragma once

#include "model/ClipboardItemType.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace snipbrook {

// One entry of the category sidebar.
struct Category {
    QUuid id;
    QString name;
    QString icon;               // symbol name, e.g. "doc.on.clipboard"
    QStringList keywords;       // lower-case words naming the category
    std::optional<QString> color;             // a colour name (config/ColorNames.h)
    std::optional<ClipboardItemType> type;    // set only for entries that filter by item type
    bool isSelectable = true;

    bool operator==(const Category &) const = default;

    QJsonObject toJson() const;
    // Strict: a missing or mistyped required key, a malformed id or an unknown type gives nothing.
    static std::optional<Category> fromJson(const QJsonObject &object);
};

// One section of the sidebar. Other parts of the program find a group by its title.
struct CategoryGroup {
    QUuid id;
    QString name;   // machine name, lower case
    QString title;  // heading shown above the group
    QList<Category> categories;

    bool operator==(const CategoryGroup &) const = default;

    QJsonObject toJson() const;
    static std::optional<CategoryGroup> fromJson(const QJsonObject &object);
};

} // namespace snipbrook
