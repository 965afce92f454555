#include "HistoryFixture.h"

#include <QBuffer>
#include <QImage>

#include <array>
#include <cstring>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class WriteBackTest : public HistoryFixture {
protected:
    // What the completion said: whether the item, or at least its text, reached the clipboard.
    std::optional<bool> written;

    const PasteboardSnapshot &copyBack(const ClipboardItem &item)
    {
        written.reset();
        history->copyItem(item, [&](bool itemWritten) { written = itemWritten; });
        EXPECT_TRUE(history->isInternalCopy());
        EXPECT_TRUE(waitFor([&] { return written.has_value(); }));
        EXPECT_EQ(history->lastChangeCount(), pasteboard.changeCount());
        return pasteboard.contents();
    }
};

TEST_F(WriteBackTest, EachKindGoesBackInItsForm)
{
    start();
    for (const Type type : {Type::text, Type::code, Type::multipleFiles, Type::link, Type::emoji}) {
        EXPECT_EQ(copyBack(makeItem(type, QStringLiteral("3 files"))).text, QStringLiteral("3 files"));
        EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully copied item to clipboard: ") + displayName(type)));
    }
    EXPECT_EQ(pasteboard.writeLog(), QStringList(5, mime::plainText));

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImage(3, 2, QImage::Format_RGB32).save(&buffer, "JPG");
    EXPECT_TRUE(copyBack(makeItem(Type::image, QString::fromLatin1(jpeg.toBase64()))).dataForType(mime::png)->startsWith("\x89PNG"));
    EXPECT_EQ(copyBack(makeItem(Type::image, QStringLiteral("aGVsbG8="))).dataForType(mime::png), QByteArray("hello")); // no image

    ClipboardItem file = makeItem(Type::file, QStringLiteral("report.pdf"));
    file.metadata = ClipboardMetadata{};
    file.metadata->url = QStringLiteral("file:///home/me/report%20final.pdf");
    EXPECT_EQ(copyBack(file).urls, QList<QUrl>{QUrl(*file.metadata->url)});
    file.metadata->url = QStringLiteral("http://exa mple.com/");
    EXPECT_EQ(copyBack(file).text, QStringLiteral("report.pdf"));

    std::array<quint16, 4> rgba{};
    const auto colorData = copyBack(makeItem(Type::color, QStringLiteral("#ff8000"))).dataForType(mime::color);
    ASSERT_EQ(colorData.value_or(QByteArray()).size(), 8);
    std::memcpy(rgba.data(), colorData->constData(), 8);
    EXPECT_EQ(rgba, (std::array<quint16, 4>{0xffff, 0x8080, 0, 0xffff}));
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("#ff8000"));
    EXPECT_FALSE(copyBack(makeItem(Type::color, QStringLiteral("#fff"))).dataForType(mime::color));
}

TEST_F(WriteBackTest, FailuresAreReportedAndFallBackToText)
{
    start();
    for (const char *content : {"not base64!", "aGVsbG8", "aGVs\nbG8=", "aGk\u00e9"}) {
        EXPECT_EQ(copyBack(makeItem(Type::image, QString::fromUtf8(content))).text, QString::fromUtf8(content));
        EXPECT_FALSE(pasteboard.contents().dataForType(mime::png)) << content;
        EXPECT_EQ(written, true) << "the text fallback is on the clipboard";
    }
    EXPECT_EQ(log.count(QStringLiteral("❌ Failed to copy item to clipboard: Invalid image data")), 4);
    pasteboard.failWrites = true;
    copyBack(makeItem(Type::text, QStringLiteral("x")));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to copy item to clipboard: Pasteboard error: the clipboard refused the text/plain data")));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ The clipboard refused the item's text as well: nothing was copied")));
    EXPECT_EQ(written, false) << "nothing reached the clipboard";
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
    ASSERT_TRUE(waitFor([&] { return pasteboard.contents().text == QStringLiteral("keep me"); }));
    ASSERT_TRUE(waitFor([&] { return !history->isInternalCopy(); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("next")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("next"), QStringLiteral("keep me")}));
}

} // namespace
