#include "capture/ClipboardReader.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

const SourceAppInfo source{QStringLiteral("Files"), QStringLiteral("org.example.files"), 7};

PasteboardSnapshot withText(const QString &text)
{
    PasteboardSnapshot s;
    s.text = text;
    return s;
}

} // namespace

TEST(ReadClipboardContent, ImageWinsOverTextInPngJpegTiffOrder)
{
    PasteboardSnapshot s = withText("caption");
    s.data[mime::tiff] = QByteArray("TIFF");
    s.data[mime::jpeg] = QByteArray("\xff\xd8jpeg", 6);
    auto r = readClipboardContent(s, source);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, ClipboardItemType::image);
    EXPECT_EQ(r->content, QString::fromLatin1(QByteArray("\xff\xd8jpeg", 6).toBase64()));
    EXPECT_EQ(r->preview, r->content);
    EXPECT_EQ(r->metadata.size, 6);
    EXPECT_EQ(r->metadata.sourceApp, "Files");
    s.data[mime::png] = QByteArray("PNG!");
    EXPECT_EQ(readClipboardContent(s, source)->content, "UE5HIQ==");
}

TEST(ReadClipboardContent, OneUrlIsAFileSeveralAreMultipleFiles)
{
    PasteboardSnapshot s = withText("ignored");
    s.urls = QList<QUrl>{QUrl("file:///home/me/My%20Notes.txt")};
    auto r = readClipboardContent(s, source);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, ClipboardItemType::file);
    EXPECT_EQ(r->content, "My Notes.txt");
    EXPECT_EQ(r->preview, QStringLiteral("\U0001F4C4"));
    EXPECT_EQ(r->metadata.url, "file:///home/me/My%20Notes.txt");
    EXPECT_EQ(r->metadata.fileCount, 1);

    s.urls = QList<QUrl>{QUrl("file:///a"), QUrl("file:///b"), QUrl("https://example.com/c")};
    r = readClipboardContent(s, source);
    EXPECT_EQ(r->type, ClipboardItemType::multipleFiles);
    EXPECT_EQ(r->content, "3 files");
    EXPECT_EQ(r->preview, QStringLiteral("\U0001F4C1"));
    EXPECT_EQ(r->metadata.fileCount, 3);
    EXPECT_FALSE(r->metadata.url);

    s.urls = QList<QUrl>{QUrl("file:///home/me/folder/")};
    EXPECT_EQ(readClipboardContent(s, source)->content, "folder");
}

TEST(ReadClipboardContent, EmptyOrInvalidUrlListsFallThroughToText)
{
    PasteboardSnapshot s = withText("https://example.com");
    s.urls = QList<QUrl>{};
    EXPECT_EQ(readClipboardContent(s, source)->type, ClipboardItemType::link);
    s.urls = QList<QUrl>{QUrl("file:///a"), QUrl()};
    EXPECT_EQ(readClipboardContent(s, source)->type, ClipboardItemType::link);
}

TEST(ReadClipboardContent, NothingReadableOrSecretGivesNoResult)
{
    EXPECT_FALSE(readClipboardContent(PasteboardSnapshot{}, source));
    PasteboardSnapshot secret = withText("hunter2");
    secret.isSecret = true;
    EXPECT_FALSE(readClipboardContent(secret, source));
    secret.data[mime::png] = QByteArray("PNG");
    EXPECT_FALSE(readClipboardContent(secret, source));
}
