#include "HistoryFixture.h"

#include "capture/ClipboardWriteBack.h"

#include <QBuffer>
#include <QImage>

#include <array>
#include <cstring>

using namespace snipbrook;
using namespace snipbrook::test;
using Type = ClipboardItemType;

namespace {

class WriteBackTest : public HistoryFixture {
protected:
    void copyBack(const ClipboardItem &item)
    {
        bool completed = false;
        history->copyItem(item, [&] { completed = true; });
        EXPECT_TRUE(history->isInternalCopy());
        ASSERT_TRUE(waitFor([&] { return completed; }));
        EXPECT_EQ(history->lastChangeCount(), pasteboard.changeCount());
    }
    const PasteboardSnapshot &written() const { return pasteboard.contents(); }
};

std::array<quint16, 4> channels(const QByteArray &data)
{
    std::array<quint16, 4> values{};
    if (data.size() == 8)
        std::memcpy(values.data(), data.constData(), 8);
    return values;
}

TEST_F(WriteBackTest, EachKindGoesBackInItsForm)
{
    start();
    for (const Type type : {Type::text, Type::code, Type::multipleFiles, Type::link, Type::emoji}) {
        copyBack(makeItem(type, QStringLiteral("3 files")));
        EXPECT_EQ(written().text, QStringLiteral("3 files"));
        EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully copied item to clipboard: ") + displayName(type)));
    }
    EXPECT_EQ(pasteboard.writeLog(), QStringList(5, mime::plainText));

    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    copyBack(makeItem(Type::image, QString::fromLatin1(jpeg.toBase64())));
    EXPECT_TRUE(written().dataForType(mime::png)->startsWith("\x89PNG")) << "re-encoded as PNG";
    copyBack(makeItem(Type::image, QStringLiteral("aGVsbG8="))); // no image: the bytes as they are
    EXPECT_EQ(written().dataForType(mime::png), QByteArray("hello"));

    ClipboardItem file = makeItem(Type::file, QStringLiteral("report.pdf"));
    file.metadata = ClipboardMetadata{};
    file.metadata->url = QStringLiteral("file:///home/me/report%20final.pdf");
    copyBack(file);
    EXPECT_EQ(written().urls, QList<QUrl>{QUrl(*file.metadata->url)});
    file.metadata->url = QStringLiteral("http://exa mple.com/");
    copyBack(file);
    EXPECT_EQ(written().text, QStringLiteral("report.pdf"));
    EXPECT_FALSE(written().urls);

    copyBack(makeItem(Type::color, QStringLiteral("#ff8000")));
    EXPECT_EQ(written().text, QStringLiteral("#ff8000"));
    EXPECT_EQ(channels(*written().dataForType(mime::color)), (std::array<quint16, 4>{0xffff, 0x8080, 0, 0xffff}));
    copyBack(makeItem(Type::color, QStringLiteral("#fff")));
    EXPECT_FALSE(written().dataForType(mime::color)) << "only six digits make colour data";
    // Six characters read as far as they are hex.
    EXPECT_EQ(channels(*colorDataForHex(QStringLiteral(" 00FF00\n"))), (std::array<quint16, 4>{0, 0xffff, 0, 0xffff}));
    EXPECT_EQ(channels(*colorDataForHex(QStringLiteral("#12zz34"))), (std::array<quint16, 4>{0, 0, 0x1212, 0xffff}));
    EXPECT_FALSE(colorDataForHex(QStringLiteral("##ff8000")));
}

TEST_F(WriteBackTest, FailuresAreReportedAndFallBackToText)
{
    start();
    for (const char *content : {"not base64!", "aGVsbG8", "aGVs\nbG8=", "aGk\u00e9"}) {
        copyBack(makeItem(Type::image, QString::fromUtf8(content)));
        EXPECT_EQ(written().text, QString::fromUtf8(content));
        EXPECT_FALSE(written().dataForType(mime::png)) << content;
    }
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to copy item to clipboard: Invalid image data")), 4);
    pasteboard.failWrites = true;
    copyBack(makeItem(Type::text, QStringLiteral("x")));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to copy item to clipboard: Pasteboard error: the clipboard refused the text/plain data")));
}

TEST_F(WriteBackTest, OutsideCopiesWaitForTheWindowAndOwnWritesAreNeverRecorded)
{
    timings.internalCopyResetMs = 60'000;
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("older")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("newer")));
    const int reads = pasteboard.snapshotRequestCount();
    copyBack(history->clipboardItems()[1]);
    pasteboard.copyText(QStringLiteral("outside"));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(pasteboard.snapshotRequestCount(), reads);
    history->setIsInternalCopy(false);
    ASSERT_TRUE(waitFor([&] { return contents().value(0) == QStringLiteral("outside"); }));
    EXPECT_EQ(contents().size(), 3);
}

TEST_F(WriteBackTest, TheWindowClosesByItselfAndAnEmptiedClipboardGetsTheNewestBack)
{
    start();
    EXPECT_FALSE(history->restoreNewestItemToClipboard());
    ASSERT_TRUE(copyAndWait(QStringLiteral("keep me")));
    pasteboard.copy({}); // the owner quit
    emit pasteboard.becameEmpty();
    ASSERT_TRUE(waitFor([&] { return written().text == QStringLiteral("keep me"); }));
    ASSERT_TRUE(waitFor([&] { return !history->isInternalCopy(); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("next")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("next"), QStringLiteral("keep me")}));
}

} // namespace
