#include "platform/linux/ClipboardTargets.h"

#include <gtest/gtest.h>

using namespace snipbrook;

TEST(ClipboardTargetsTest, PlanSkipsPseudoTargetsAndOrdersByPreference)
{
    // What a toolkit typically offers for a copied image with a caption.
    const ClipboardReadPlan plan = planClipboardRead(
        {QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"), QStringLiteral("TIMESTAMP"),
         QStringLiteral("SAVE_TARGETS"), QStringLiteral("image/bmp"), QStringLiteral("image/tiff"),
         QStringLiteral("image/png"), QStringLiteral("STRING"), QStringLiteral("text/plain"),
         QStringLiteral("UTF8_STRING"), QStringLiteral("text/x-kde-passwordManagerHint"),
         QStringLiteral("x-special/gnome-copied-files"), QStringLiteral("text/uri-list")});
    EXPECT_EQ(plan.secretHintTarget, QStringLiteral("text/x-kde-passwordManagerHint"));
    EXPECT_EQ(plan.imageTargets, QStringList({QStringLiteral("image/png"), QStringLiteral("image/tiff")}));
    EXPECT_EQ(plan.urlTarget, QStringLiteral("text/uri-list"));
    EXPECT_EQ(plan.textTargets,
              QStringList({QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain"), QStringLiteral("STRING")}));
}

TEST(ClipboardTargetsTest, DecodesWhatOwnersReallySend)
{
    // Comments, CRLF line ends, percent-encoding and a counted terminator.
    const QList<QUrl> list = decodeClipboardUrls(
        QStringLiteral("text/uri-list"),
        QByteArray("# copied by a file manager\r\nfile:///tmp/report%202024.pdf\r\n\r\nhttps://example.org/a?b=1\r\n\0", 89));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toLocalFile(), QStringLiteral("/tmp/report 2024.pdf"));
    EXPECT_EQ(list[1].host(), QStringLiteral("example.org"));

    EXPECT_EQ(decodeClipboardText(QStringLiteral("STRING"), "caf\xe9"), QStringLiteral("café"));
    EXPECT_EQ(decodeClipboardText(QStringLiteral("UTF8_STRING"), QByteArray("caf\xc3\xa9\0", 6)), QStringLiteral("café"));

    EXPECT_TRUE(isSecretHint("secret"));
    EXPECT_TRUE(isSecretHint(QByteArray("secret\n\0", 8)));
    EXPECT_FALSE(isSecretHint("public"));
    EXPECT_FALSE(isSecretHint(""));
}
