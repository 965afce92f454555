#include "ui/ThumbnailCache.h"

#include "support/DiagnosticsCapture.h"
#include "support/WaitFor.h"

#include <QBuffer>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace snipbrook::test {
namespace {

QString pngBase64(QSize size, QColor color, const char *format = "PNG")
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QString::fromLatin1(bytes.toBase64());
}

ClipboardItem imageItem(const QString &data)
{
    return {QUuid::createUuid(), ClipboardItemType::image, data, data, QDateTime::currentDateTimeUtc(), {}, false, {}};
}

// Asks until the decode has come back; the first ask starts it.
QImage decoded(ThumbnailCache &cache, const ClipboardItem &item, QSize size)
{
    cache.thumbnail(item, size);
    EXPECT_TRUE(waitFor([&] { return cache.isDecoded(item.id); }));
    return cache.thumbnail(item, size);
}

TEST(ThumbnailCacheTest, APictureIsDecodedOnceAtTheCardsSize)
{
    ThumbnailCache cache;
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    // A JPEG decodes at the small size directly; the result is the same.
    const ClipboardItem jpeg = imageItem(pngBase64({1600, 800}, Qt::red, "JPG"));
    const QImage small = decoded(cache, jpeg, {100, 60});
    ASSERT_EQ(small.size(), QSize(100, 60));
    EXPECT_GT(QColor(small.pixel(50, 30)).red(), 230);
    EXPECT_EQ(small.pixel(50, 2), 0u); // the band above the picture stays transparent
    ready.clear();

    const ClipboardItem item = imageItem(pngBase64({400, 200}, Qt::red));
    EXPECT_TRUE(cache.thumbnail(item, {100, 60}).isNull()); // placeholder while it decodes
    const QImage thumbnail = decoded(cache, item, {100, 60});
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(thumbnail.size(), QSize(100, 60));
    EXPECT_EQ(QColor(thumbnail.pixel(50, 30)), QColor(Qt::red));
    EXPECT_EQ(ready.count(), 1);
    ASSERT_EQ(ready[0][0].value<QUuid>(), item.id);
    // Painting again does not decode again.
    cache.thumbnail(item, {100, 60});
    cache.thumbnail(item, {101, 61});
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 1);

    // An item whose preview is a caption rather than the picture still shows the picture.
    ClipboardItem captioned = imageItem(pngBase64({40, 40}, Qt::blue));
    captioned.preview = QStringLiteral("Screenshot of the build log");
    const QImage fromContent = decoded(cache, captioned, {20, 20});
    ASSERT_FALSE(fromContent.isNull());
    EXPECT_EQ(QColor(fromContent.pixel(10, 10)), QColor(Qt::blue));
}

TEST(ThumbnailCacheTest, CornersAskedForAreCutFromThePictureAndNothingElse)
{
    // The card draws the picture without clipping it: the corners must come clear.
    ThumbnailCache cache;
    const ClipboardItem item = imageItem(pngBase64({100, 60}, Qt::red));
    const QImage rounded = [&] {
        cache.thumbnail(item, {100, 60}, 8);
        EXPECT_TRUE(waitFor([&] { return cache.isDecoded(item.id); }));
        return cache.thumbnail(item, {100, 60}, 8);
    }();
    ASSERT_EQ(rounded.size(), QSize(100, 60));
    for (const QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 59), QPoint(99, 59)})
        EXPECT_EQ(qAlpha(rounded.pixel(corner)), 0) << corner.x() << "," << corner.y();
    for (const QPoint inside : {QPoint(50, 30), QPoint(8, 0), QPoint(0, 30), QPoint(99, 30), QPoint(50, 59)})
        EXPECT_EQ(QColor(rounded.pixel(inside)), QColor(Qt::red)) << inside.x() << "," << inside.y();
}

TEST(ThumbnailCacheTest, BrokenDataKeepsThePlaceholderAndIsTriedOnce)
{
    DiagnosticsCapture log;
    ThumbnailCache cache;
    QSignalSpy ready(&cache, &ThumbnailCache::thumbnailReady);
    for (const QString &data : {QStringLiteral("not base64 at all!"), QString::fromLatin1(QByteArray("GIF89 garbage").toBase64()), QString()}) {
        const ClipboardItem item = imageItem(data);
        EXPECT_TRUE(decoded(cache, item, {80, 80}).isNull());
    }
    EXPECT_EQ(ready.count(), 3);
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Image item")), 3);
    // Items that are not images never reach the decoder.
    ClipboardItem text = imageItem(pngBase64({10, 10}, Qt::blue));
    text.type = ClipboardItemType::text;
    EXPECT_TRUE(cache.thumbnail(text, {80, 80}).isNull());
    EXPECT_FALSE(cache.isDecoded(text.id));
}

TEST(ThumbnailCacheTest, TheCacheStaysWithinItsBytesDroppingTheLeastRecentlyUsed)
{
    const QSize size(50, 50);
    const qsizetype oneThumbnail = 50 * 50 * 4;
    ThumbnailCache cache(3 * oneThumbnail);
    const QString png = pngBase64({64, 64}, Qt::green);
    QList<ClipboardItem> items;
    for (int i = 0; i < 4; ++i)
        items.append(imageItem(png));
    decoded(cache, items[0], size);
    decoded(cache, items[1], size);
    decoded(cache, items[2], size);
    cache.thumbnail(items[0], size); // used again: now the newest
    decoded(cache, items[3], size);
    EXPECT_EQ(cache.count(), 3);
    EXPECT_LE(cache.totalBytes(), 3 * oneThumbnail);
    EXPECT_TRUE(cache.isDecoded(items[0].id));
    EXPECT_FALSE(cache.isDecoded(items[1].id));
}

// An image whose data the history left in the store is decoded from what the loader reads back;
// a failed read keeps the placeholder.
TEST(ThumbnailCacheTest, ImagesHeldWithoutTheirDataAreDecodedFromTheStoredData)
{
    DiagnosticsCapture log;
    ThumbnailCache cache;
    const QString png = pngBase64({40, 40}, Qt::blue);
    ClipboardItem held = imageItem(QString());
    held.preview.clear();
    held.storedContentDigest = contentDigest(png.toUtf8());
    ClipboardItem gone = held;
    gone.id = QUuid::createUuid();
    cache.setContentLoader([&](const ClipboardItem &item) -> std::optional<ClipboardItem> {
        if (item.id != held.id)
            return std::nullopt;
        ClipboardItem full = item;
        full.content = full.preview = png;
        full.storedContentDigest.clear();
        return full;
    });
    const QImage thumbnail = decoded(cache, held, {20, 20});
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_EQ(QColor(thumbnail.pixel(10, 10)), QColor(Qt::blue));
    EXPECT_TRUE(decoded(cache, gone, {20, 20}).isNull());
    EXPECT_EQ(log.count(QStringLiteral("⚠️ Image item")), 1);
}

} // namespace
} // namespace snipbrook::test
