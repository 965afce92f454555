#include "model/Uuid.h"
#include "storage/DataManager.h"
#include "support/DiagnosticsCapture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;
using snipbrook::test::DiagnosticsCapture;

namespace {

class LegacyFiles : public ::testing::Test {
protected:
    void write(const char *name, const QByteArray &bytes)
    {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
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

TEST_F(LegacyFiles, AMissingFileOneBadElementOrABrokenFileEmptiesTheHistory)
{
    EXPECT_TRUE(legacy.loadLegacyItems().isEmpty());
    QByteArray withoutFlag = twoItems;
    withoutFlag.replace(R"(, "isFavorite": false)", "");
    for (const QByteArray &bytes : {withoutFlag, twoItems.left(twoItems.size() / 2), QByteArray(R"({"items": []})"),
                                    QByteArray("[1]"), QByteArray("")}) {
        write("clipboard_history.json", bytes);
        EXPECT_TRUE(legacy.loadLegacyItems().isEmpty()) << bytes.constData();
    }
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No existing clipboard data found or failed to load: ")), 6);
}

TEST_F(LegacyFiles, FavoritesCountDuplicatesButSetThemOnce)
{
    EXPECT_TRUE(legacy.loadLegacyFavorites().isEmpty());
    write("favorites.json", R"(["0b7a4c9e-5c1d-4e2f-8a3b-9c8d7e6f5a4b", "0B7A4C9E-5C1D-4E2F-8A3B-9C8D7E6F5A4B"])");
    EXPECT_EQ(legacy.loadLegacyFavorites(), QSet<QUuid>{QUuid(QStringLiteral("0B7A4C9E-5C1D-4E2F-8A3B-9C8D7E6F5A4B"))});
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Loaded 2 favorites")));

    write("favorites.json", R"(["0b7a4c9e-5c1d-4e2f-8a3b-9c8d7e6f5a4b", "not-an-id"])");
    EXPECT_TRUE(legacy.loadLegacyFavorites().isEmpty());
    EXPECT_EQ(log.count(QStringLiteral("⚠️ No existing favorites found or failed to load: ")), 2);
}
