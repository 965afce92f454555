#include "model/Uuid.h"
#include "storage/DataManager.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::DiagnosticsCapture;

namespace {

class LegacyFiles : public ::testing::Test {
protected:
    void write(const char *name, const QByteArray &bytes)
    {
        ASSERT_TRUE(test::writeFile(folder.filePath(QString::fromLatin1(name)), bytes));
    }

    QTemporaryDir folder;
    DataManager legacy{folder.path()};
    DiagnosticsCapture log;
};

const QByteArray twoItems = R"([
  {"id": "6f1c2b1e-0d5a-4b59-9a43-0a3e9cbd1a11", "type": "link", "content": "https://example.org",
   "preview": "🔗", "timestamp": 700000000.25, "isFavorite": true, "metadata": {"url": "https://example.org"}},
  {"id": "0B7A4C9E-5C1D-4E2F-8A3B-9C8D7E6F5A4B", "type": "text", "content": "second", "preview": "second",
   "timestamp": 690000000, "isFavorite": false, "unknownKey": 1}
])";

} // namespace

TEST_F(LegacyFiles, HistoryIsReadInFileOrder)
{
    write("clipboard_history.json", twoItems);
    const QList<ClipboardItem> items = legacy.loadLegacyItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(uuidString(items[0].id), QStringLiteral("6F1C2B1E-0D5A-4B59-9A43-0A3E9CBD1A11"));
    EXPECT_EQ(items[0].type, ClipboardItemType::link);
    EXPECT_EQ(items[0].metadata->url, QStringLiteral("https://example.org"));
    EXPECT_EQ(items[1].content, QStringLiteral("second"));
}

TEST_F(LegacyFiles, UnreadableEntriesAreSkippedOneByOne)
{
    QByteArray withBadEntries = twoItems;
    withBadEntries.replace(R"("timestamp": 700000000.25)", R"("timestamp": "last tuesday")");
    withBadEntries.replace("\n]", ",\n  1, {\"id\": \"x\"}, \n  {\"id\": \"9d0e4bd6-1c5e-4e0f-9a64-3b1f3c2a7d10\", "
                                  "\"type\": \"text\", \"content\": \"third\", \"preview\": \"third\", "
                                  "\"timestamp\": 1, \"isFavorite\": false}\n]");
    write("clipboard_history.json", withBadEntries);
    const QList<ClipboardItem> items = legacy.loadLegacyItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].content, QStringLiteral("second"));
    EXPECT_EQ(items[1].content, QStringLiteral("third"));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Skipped 3 unreadable entries in clipboard_history.json")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Loaded 2 clipboard items from storage")));
}

TEST_F(LegacyFiles, AMissingFileOrOneThatIsNoJsonArrayGivesNothing)
{
    EXPECT_TRUE(legacy.loadLegacyItems().isEmpty());
    for (const QByteArray &bytes :
         {twoItems.left(twoItems.size() / 2), QByteArray(R"({"items": []})"), QByteArray("")}) {
        write("clipboard_history.json", bytes);
        EXPECT_TRUE(legacy.loadLegacyItems().isEmpty()) << bytes.constData();
    }
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No existing clipboard data found or failed to load: ")), 4);
}

TEST_F(LegacyFiles, FavoritesCountDuplicatesButSetThemOnceAndSkipWhatIsNoId)
{
    EXPECT_TRUE(legacy.loadLegacyFavorites().isEmpty());
    write("favorites.json", R"(["0b7a4c9e-5c1d-4e2f-8a3b-9c8d7e6f5a4b", "0B7A4C9E-5C1D-4E2F-8A3B-9C8D7E6F5A4B"])");
    const QSet<QUuid> one{QUuid(QStringLiteral("0B7A4C9E-5C1D-4E2F-8A3B-9C8D7E6F5A4B"))};
    EXPECT_EQ(legacy.loadLegacyFavorites(), one);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Loaded 2 favorites")));

    log.clear();
    write("favorites.json", R"(["not-an-id", "0b7a4c9e-5c1d-4e2f-8a3b-9c8d7e6f5a4b", 7])");
    EXPECT_EQ(legacy.loadLegacyFavorites(), one);
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Skipped 2 unreadable entries in favorites.json")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Loaded 1 favorites")));

    write("favorites.json", R"(["0b7a4c9e-5c1d-4e2f-8a3b)");
    EXPECT_TRUE(legacy.loadLegacyFavorites().isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No existing favorites found or failed to load: ")), 1);
}
