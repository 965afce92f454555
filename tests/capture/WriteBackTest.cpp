#include "HistoryFixture.h"

#include "capture/ClipboardWriteBack.h"

#include <QBuffer>
#include <QImage>

#include <array>
#include <cstring>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

class WriteBackTest : public HistoryFixture {
protected:
    // Copies the item back and waits for the completion.
    void copyBack(const ClipboardItem &item)
    {
        bool completed = false;
        history->copyItem(item, [&] { completed = true; });
        EXPECT_TRUE(history->isInternalCopy());
        ASSERT_TRUE(waitFor([&] { return completed; }));
        EXPECT_EQ(history->lastChangeCount(), pasteboard.changeCount());
    }

    static QString imageBase64(const char *format)
    {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return QString::fromLatin1(bytes.toBase64());
    }
};

TEST_F(WriteBackTest, TextKindsGoBackAsPlainText)
{
    start();
    for (const auto type : {ClipboardItemType::text, ClipboardItemType::code, ClipboardItemType::multipleFiles,
                            ClipboardItemType::link, ClipboardItemType::emoji}) {
        const ClipboardItem item = makeItem(type, QStringLiteral("3 files"));
        copyBack(item);
        EXPECT_EQ(pasteboard.contents().text, QStringLiteral("3 files"));
        EXPECT_FALSE(pasteboard.contents().urls.has_value());
        EXPECT_TRUE(log.contains(QStringLiteral("✅ Successfully copied item to clipboard: ") + displayName(type)));
    }
    EXPECT_EQ(pasteboard.writeLog(), QStringList(5, mime::plainText));
}

TEST_F(WriteBackTest, ImagesAreReEncodedAsPng)
{
    start();
    const QByteArray pngSignature("\x89PNG\r\n\x1a\n");
    copyBack(makeItem(ClipboardItemType::image, imageBase64("JPG")));
    const auto written = pasteboard.contents().dataForType(mime::png);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(written->startsWith(pngSignature));
    EXPECT_EQ(QImage::fromData(*written).size(), QSize(3, 2));
    EXPECT_EQ(pasteboard.writeLog(), QStringList{mime::png});

    // Bytes that are no readable image go back as they are.
    copyBack(makeItem(ClipboardItemType::image, QStringLiteral("aGVsbG8=")));
    EXPECT_EQ(pasteboard.contents().dataForType(mime::png), QByteArray("hello"));
    EXPECT_FALSE(pasteboard.contents().text.has_value());
}

TEST_F(WriteBackTest, UndecodableImageFallsBackToItsText)
{
    start();
    for (const QString &content : {QStringLiteral("not base64!"), QStringLiteral("aGVsbG8"), QStringLiteral("aGVs\nbG8=")}) {
        log.clear();
        copyBack(makeItem(ClipboardItemType::image, content));
        EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to copy item to clipboard: Invalid image data"))) << content.toStdString();
        EXPECT_EQ(pasteboard.contents().text, content);
        EXPECT_FALSE(pasteboard.contents().dataForType(mime::png).has_value());
    }
}

TEST_F(WriteBackTest, FilesGoBackAsTheirUrlWhenTheyHaveOne)
{
    start();
    ClipboardItem file = makeItem(ClipboardItemType::file, QStringLiteral("report.pdf"));
    file.metadata = ClipboardMetadata{};
    file.metadata->url = QStringLiteral("file:///home/me/report%20final.pdf");
    copyBack(file);
    EXPECT_EQ(pasteboard.contents().urls, (QList<QUrl>{QUrl(QStringLiteral("file:///home/me/report%20final.pdf"))}));
    EXPECT_FALSE(pasteboard.contents().text.has_value());

    for (const QString &badUrl : {QString(), QStringLiteral("http://exa mple.com/%zz")}) {
        file.metadata->url = badUrl;
        copyBack(file);
        EXPECT_EQ(pasteboard.contents().text, QStringLiteral("report.pdf"));
        EXPECT_FALSE(pasteboard.contents().urls.has_value());
    }
}

TEST_F(WriteBackTest, ColoursGoBackAsTextAndColourData)
{
    start();
    copyBack(makeItem(ClipboardItemType::color, QStringLiteral("#ff8000")));
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("#ff8000"));
    const auto data = pasteboard.contents().dataForType(mime::color);
    ASSERT_TRUE(data.has_value());
    ASSERT_EQ(data->size(), 8);
    std::array<quint16, 4> channels{};
    std::memcpy(channels.data(), data->constData(), 8);
    EXPECT_EQ(channels, (std::array<quint16, 4>{0xffff, 0x8080, 0x0000, 0xffff}));

    copyBack(makeItem(ClipboardItemType::color, QStringLiteral("#fff")));
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("#fff"));
    EXPECT_FALSE(pasteboard.contents().dataForType(mime::color).has_value());
}

TEST(ColorDataTest, SixCharactersReadAsFarAsTheyAreHex)
{
    const auto rgbOf = [](const QString &text) -> std::optional<std::array<quint16, 3>> {
        const auto data = colorDataForHex(text);
        if (!data)
            return std::nullopt;
        std::array<quint16, 4> channels{};
        std::memcpy(channels.data(), data->constData(), 8);
        return std::array<quint16, 3>{channels[0], channels[1], channels[2]};
    };
    EXPECT_EQ(rgbOf(QStringLiteral(" 00FF00\n")), (std::array<quint16, 3>{0, 0xffff, 0}));
    // Reading stops at the first non-hex character: "12" of "12zz34" is 0x12.
    EXPECT_EQ(rgbOf(QStringLiteral("#12zz34")), (std::array<quint16, 3>{0, 0, 0x1212}));
    EXPECT_EQ(rgbOf(QStringLiteral("#zzzzzz")), (std::array<quint16, 3>{0, 0, 0}));
    EXPECT_FALSE(rgbOf(QStringLiteral("##ff8000")).has_value());
    EXPECT_FALSE(rgbOf(QStringLiteral("#ff80001")).has_value());
}

TEST(StrictBase64Test, OnlyPaddedStandardAlphabet)
{
    EXPECT_EQ(decodeStrictBase64(QStringLiteral("aGk=")), QByteArray("hi"));
    EXPECT_EQ(decodeStrictBase64(QString()), QByteArray());
    for (const char *bad : {"aGk", "aGk=\n", "a Gk=", "aG-_", "aGk==="})
        EXPECT_FALSE(decodeStrictBase64(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_FALSE(decodeStrictBase64(QStringLiteral("aGk\u00e9")).has_value());
}

TEST_F(WriteBackTest, ARefusedWriteIsReportedAndFallsBackToText)
{
    start();
    pasteboard.failWrites = true;
    bool completed = false;
    history->copyItem(makeItem(ClipboardItemType::text, QStringLiteral("x")), [&] { completed = true; });
    ASSERT_TRUE(waitFor([&] { return completed; }));
    EXPECT_TRUE(log.contains(QStringLiteral("❌ Failed to copy item to clipboard: Pasteboard error: the clipboard refused the text/plain data")));
    EXPECT_EQ(log.count(QStringLiteral("✅ Successfully copied")), 0);
}

TEST_F(WriteBackTest, OutsideCopiesWaitUntilTheWindowCloses)
{
    timings.internalCopyResetMs = 60'000;
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("older")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("newer")));
    const int reads = pasteboard.snapshotRequestCount();

    copyBack(history->clipboardItems().at(1));
    pasteboard.copyText(QStringLiteral("outside"));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(pasteboard.snapshotRequestCount(), reads);
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("newer"), QStringLiteral("older")}));

    // Once the window closes the newest outside change is read; the program's own write never is.
    history->setIsInternalCopy(false);
    ASSERT_TRUE(waitForTop(QStringLiteral("outside")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("outside"), QStringLiteral("newer"), QStringLiteral("older")}));
}

TEST_F(WriteBackTest, TheWindowClosesByItselfAndTheOwnWriteStaysUnrecorded)
{
    start();
    ASSERT_TRUE(copyAndWait(QStringLiteral("older")));
    ASSERT_TRUE(copyAndWait(QStringLiteral("newer")));
    copyBack(history->clipboardItems().at(1));
    ASSERT_TRUE(waitFor([&] { return !history->isInternalCopy(); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("last")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("last"), QStringLiteral("newer"), QStringLiteral("older")}));
    EXPECT_EQ(storage.calls().filter(QStringLiteral("saveItem:")).size(), 3);
}

TEST_F(WriteBackTest, RestoringOffersTheNewestItemAsAnOwnWrite)
{
    start();
    EXPECT_FALSE(history->restoreNewestItemToClipboard());
    ASSERT_TRUE(copyAndWait(QStringLiteral("keep me")));
    // The owner quit: the clipboard is empty, and says so.
    pasteboard.copy({});
    emit pasteboard.becameEmpty();
    ASSERT_TRUE(waitFor([&] { return pasteboard.contents().text == QStringLiteral("keep me"); }));
    EXPECT_TRUE(history->isInternalCopy());
    ASSERT_TRUE(waitFor([&] { return !history->isInternalCopy(); }));
    ASSERT_TRUE(copyAndWait(QStringLiteral("next")));
    EXPECT_EQ(contents(), (QStringList{QStringLiteral("next"), QStringLiteral("keep me")}));
}

} // namespace
