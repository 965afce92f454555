#include "model/ClipboardItem.h"
#include "model/SimilaritySearchResult.h"

#include <gtest/gtest.h>

using namespace snipbrook;

TEST(ClipboardItemType, RawValuesRoundTripInDeclarationOrderAndAreCaseSensitive)
{
    const QStringList expected{"text", "image", "file", "multipleFiles", "link", "code",
                               "email", "phone", "color", "richText", "emoji"};
    QStringList raws;
    for (ClipboardItemType type : allClipboardItemTypes) {
        raws.append(rawValue(type));
        EXPECT_EQ(clipboardItemTypeFromRaw(rawValue(type)), type);
    }
    EXPECT_EQ(raws, expected);
    EXPECT_FALSE(clipboardItemTypeFromRaw("Text"));
    EXPECT_FALSE(clipboardItemTypeFromRaw("multiplefiles"));
}

TEST(ClipboardItem, EqualityIsIdentityAndBlankContentIsDetected)
{
    ClipboardItem a;
    a.id = QUuid::createUuid();
    a.content = "one";
    ClipboardItem b = a;
    b.content = "two";
    EXPECT_EQ(a, b);
    ClipboardItem c = a;
    c.id = QUuid::createUuid();
    EXPECT_NE(a, c);

    a.content = QStringLiteral(" \t\r\n\u00a0\u2028");
    EXPECT_FALSE(a.hasNonBlankContent());
    a.content = "a";
    EXPECT_TRUE(a.hasNonBlankContent());
}

TEST(SimilaritySearchResult, RawValuesAndEquality)
{
    for (SearchType type : {SearchType::semantic, SearchType::keyword, SearchType::hybrid, SearchType::similarity})
        EXPECT_EQ(searchTypeFromRaw(rawValue(type)), type);
    EXPECT_EQ(rawValue(SearchType::hybrid), "hybrid");
    EXPECT_FALSE(searchTypeFromRaw("Semantic"));

    ClipboardItem item;
    item.id = QUuid::createUuid();
    const auto a = SimilaritySearchResult::make(item, 0.5f, SearchType::keyword);
    const auto b = SimilaritySearchResult::make(item, 0.5f, SearchType::keyword);
    EXPECT_NE(a.id, b.id);
    EXPECT_NE(a, b);
    auto c = a;
    c.item.content = "changed";
    EXPECT_EQ(a, c);
    c.similarity = 0.4f;
    EXPECT_NE(a, c);
}
