#include "model/ClipboardItem.h"
#include "model/ReferenceDate.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

QJsonObject parse(const char *json) { return QJsonDocument::fromJson(QByteArray(json)).object(); }

const char *validItem = R"({"id":"6f1c2a9e-8b3d-4c5e-9f70-1a2b3c4d5e6f","type":"richText","content":"Hello",
  "preview":"Hello","timestamp":726840000.125,"isFavorite":true})";

ClipboardItem sampleItem()
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.type = ClipboardItemType::code;
    item.content = QStringLiteral("let x = 5");
    item.preview = item.content;
    item.timestamp = dateFromReferenceSeconds(700000000.25);
    return item;
}

} // namespace

TEST(ClipboardItemJson, ReadsValidItemAndRewritesIdInUpperCase)
{
    const auto item = ClipboardItem::fromJson(parse(validItem));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->type, ClipboardItemType::richText);
    EXPECT_TRUE(item->isFavorite);
    EXPECT_FALSE(item->metadata);
    EXPECT_DOUBLE_EQ(referenceSecondsFromDate(item->timestamp), 726840000.125);
    const QJsonObject written = item->toJson();
    EXPECT_EQ(written.value("id").toString(), QStringLiteral("6F1C2A9E-8B3D-4C5E-9F70-1A2B3C4D5E6F"));
    EXPECT_FALSE(written.contains("metadata"));
}

TEST(ClipboardItemJson, RejectsMissingMistypedOrUnknownRequiredValues)
{
    const QJsonObject valid = parse(validItem);
    const std::pair<const char *, QJsonValue> wrongTypes[] = {
        {"id", 5}, {"type", 5}, {"content", 5}, {"preview", true}, {"timestamp", "726840000"}, {"isFavorite", "yes"}};
    for (const auto &[key, wrong] : wrongTypes) {
        QJsonObject missing = valid;
        missing.remove(QLatin1String(key));
        EXPECT_FALSE(ClipboardItem::fromJson(missing)) << "missing " << key;
        QJsonObject mistyped = valid;
        mistyped.insert(QLatin1String(key), wrong);
        EXPECT_FALSE(ClipboardItem::fromJson(mistyped)) << "mistyped " << key;
    }
    QJsonObject wrongCase = valid;
    wrongCase.insert("type", "Text");
    EXPECT_FALSE(ClipboardItem::fromJson(wrongCase));
    for (const char *id : {"not-a-uuid", "{6f1c2a9e-8b3d-4c5e-9f70-1a2b3c4d5e6f}", "6f1c2a9e8b3d4c5e9f701a2b3c4d5e6f", ""}) {
        QJsonObject badId = valid;
        badId.insert("id", id);
        EXPECT_FALSE(ClipboardItem::fromJson(badId)) << id;
    }
    QJsonObject badMetadata = valid;
    badMetadata.insert("metadata", parse(R"({"size":"12"})"));
    EXPECT_FALSE(ClipboardItem::fromJson(badMetadata));
    badMetadata.insert("metadata", parse(R"({"sourceProcessID":4294967296})"));
    EXPECT_FALSE(ClipboardItem::fromJson(badMetadata));
    badMetadata.insert("metadata", parse(R"({"fileCount":1.5})"));
    EXPECT_FALSE(ClipboardItem::fromJson(badMetadata));
    badMetadata.insert("metadata", parse(R"({"embedding":[0.5,"x"]})"));
    EXPECT_FALSE(ClipboardItem::fromJson(badMetadata));
}

TEST(ClipboardItemJson, MetadataWritesOnlyPresentFieldsAndEmptyObjectStaysMetadata)
{
    ClipboardItem item = sampleItem();
    item.metadata = ClipboardMetadata{};
    item.metadata->sourceApp = QStringLiteral("Editor");
    const QJsonObject written = item.toJson();
    EXPECT_EQ(written.value("metadata").toObject(), parse(R"({"sourceApp":"Editor"})"));

    QJsonObject withEmpty = parse(validItem);
    withEmpty.insert("metadata", QJsonObject());
    const auto read = ClipboardItem::fromJson(withEmpty);
    ASSERT_TRUE(read && read->metadata);
    EXPECT_EQ(*read->metadata, ClipboardMetadata{});
    EXPECT_TRUE(read->toJson().contains("metadata"));
}

TEST(ClipboardItemJson, FullRoundTripKeepsEveryField)
{
    ClipboardItem item = sampleItem();
    ClipboardMetadata m;
    m.size = 5000000000LL;
    m.fileCount = 3;
    m.colorValue = QStringLiteral("#FFF");
    m.url = QStringLiteral("https://example.com/a?b=1");
    m.language = QStringLiteral("swift");
    m.sourceApp = QStringLiteral("Éditeur");
    m.sourceAppBundle = QStringLiteral("org.example.editor");
    m.sourceProcessID = -5;
    m.embedding = std::vector<float>{0.1f, -0.25f, 1e-5f};
    m.embeddingVersion = QStringLiteral("nl-v1.0");
    item.metadata = m;
    item.isFavorite = true;
    const QByteArray bytes = QJsonDocument(item.toJson()).toJson();
    const auto back = ClipboardItem::fromJson(QJsonDocument::fromJson(bytes).object());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, item.id);
    EXPECT_EQ(back->type, item.type);
    EXPECT_EQ(back->content, item.content);
    EXPECT_EQ(back->timestamp, item.timestamp);
    EXPECT_EQ(back->isFavorite, true);
    EXPECT_EQ(back->metadata, item.metadata);
}

TEST(ClipboardItemJson, NullOptionalMetadataKeysReadAsAbsent)
{
    const auto m = ClipboardMetadata::fromJson(parse(R"({"url":null,"size":12,"unknown":[1]})"));
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->url);
    EXPECT_EQ(m->size, 12);
}

TEST(ClipboardItemJson, ReferenceDateIsTheStartOf2001InUtc)
{
    EXPECT_EQ(dateFromReferenceSeconds(0).toString(Qt::ISODate), QStringLiteral("2001-01-01T00:00:00Z"));
    EXPECT_FALSE(dateFromReferenceSeconds(1e300).isValid());
}

TEST(ClipboardItemCopies, ShareMetadataUntilOneOfThemChangesIt)
{
    ClipboardItem original;
    original.metadata = ClipboardMetadata{};
    original.metadata->sourceApp = QStringLiteral("Firefox");
    ClipboardItem copy = original;
    EXPECT_EQ(&*std::as_const(copy).metadata, &*std::as_const(original).metadata);

    copy.metadata->sourceApp = QStringLiteral("Terminal");
    EXPECT_EQ(original.metadata->sourceApp, QStringLiteral("Firefox"));
    EXPECT_EQ(copy.metadata->sourceApp, QStringLiteral("Terminal"));
    EXPECT_FALSE(copy.metadata == original.metadata);

    copy.metadata = std::nullopt;
    EXPECT_FALSE(copy.metadata.has_value());
    EXPECT_TRUE(original.metadata.has_value());
    EXPECT_EQ(original.metadata.toOptional()->sourceApp, QStringLiteral("Firefox"));
}
