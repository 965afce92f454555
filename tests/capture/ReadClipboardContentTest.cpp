#include "capture/ClipboardReader.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using Type = ClipboardItemType;

namespace {

const SourceAppInfo source{QStringLiteral("Files"), QStringLiteral("org.example.files"), 7};

PasteboardSnapshot withText(const QString &text, QList<QUrl> urls = {})
{
    PasteboardSnapshot s;
    s.text = text;
    s.urls = std::move(urls);
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
    EXPECT_EQ(r->type, Type::image);
    EXPECT_EQ(r->content, QString::fromLatin1(QByteArray("\xff\xd8jpeg", 6).toBase64()));
    EXPECT_EQ(r->preview, r->content);
    EXPECT_EQ(r->metadata.size, 6);
    EXPECT_EQ(r->metadata.sourceApp, "Files");
    s.data[mime::png] = QByteArray("PNG!");
    EXPECT_EQ(readClipboardContent(s, source)->content, "UE5HIQ==");
}

TEST(ReadClipboardContent, UrlListsBeforeTextUnlessEmptyOrInvalid)
{
    auto r = readClipboardContent(withText("ignored", {QUrl("file:///home/me/My%20Notes.txt")}), source);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, Type::file);
    EXPECT_EQ(r->content, "My Notes.txt");
    EXPECT_EQ(r->metadata.url, "file:///home/me/My%20Notes.txt");
    EXPECT_EQ(r->metadata.fileCount, 1);
    EXPECT_EQ(readClipboardContent(withText("", {QUrl("file:///home/me/folder/")}), source)->content, "folder");

    r = readClipboardContent(withText("ignored", {QUrl("file:///a"), QUrl("file:///b"), QUrl("https://example.com/c")}), source);
    EXPECT_EQ(r->type, Type::multipleFiles);
    EXPECT_EQ(r->content, "3 files");
    EXPECT_EQ(r->metadata.fileCount, 3);
    EXPECT_FALSE(r->metadata.url);

    for (const QList<QUrl> &urls : {QList<QUrl>{}, QList<QUrl>{QUrl("file:///a"), QUrl()}})
        EXPECT_EQ(readClipboardContent(withText("https://example.com", urls), source)->type, Type::link);
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

// The size limit is in bytes as the copy came: UTF-16 units would count ASCII text twice and
// make the limit half what the configuration says.
TEST(ReadClipboardContent, SnapshotSizeCountsTextAsUtf8PlusDataAndUrls)
{
    EXPECT_EQ(snapshotSize(withText(QStringLiteral("abc"))), 3);
    EXPECT_EQ(snapshotSize(withText(QStringLiteral("\u00e9\u20ac\U0001F600"))), 2 + 3 + 4);
    PasteboardSnapshot s = withText(QStringLiteral("a"), {QUrl("file:///a%20b"), QUrl("file:///c")});
    s.data[mime::png] = QByteArray(100, 'x');
    s.data[mime::jpeg] = QByteArray(10, 'y');
    EXPECT_EQ(snapshotSize(s), 1 + (13 + 1) + (9 + 1) + 100 + 10);
    EXPECT_EQ(snapshotSize(PasteboardSnapshot{}), 0);
}
