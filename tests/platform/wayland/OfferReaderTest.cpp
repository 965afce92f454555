#include "FakeDataControlDevice.h"
#include "support/DiagnosticsCapture.h"

#include <gtest/gtest.h>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// What is read of other applications' offers.
class OfferReaderTest : public DataControlPasteboardTest {
protected:
    DiagnosticsCapture log;
};

} // namespace

TEST_F(OfferReaderTest, OnlyOneRepresentationOfEachKindIsAskedFor)
{
    // A browser's copied image with its address, offered under many names.
    device->copy({{QStringLiteral("text/html"), QByteArray("<img>")},
                  {QStringLiteral("image/jpeg"), QByteArray("jpeg")},
                  {QStringLiteral("image/png"), QByteArray("png")},
                  {QStringLiteral("text/plain"), QByteArray("unused")},
                  {QStringLiteral("text/uri-list"), QByteArray("https://example.org/cat.png\r\n")},
                  {QStringLiteral("text/plain;charset=utf-8"), QByteArray("caf\xc3\xa9 \xe2\x9c\x93")}});
    const auto snapshot = read();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->dataForType(QStringLiteral("image/png")), QByteArray("png"));
    EXPECT_EQ(snapshot->data.size(), 1u);
    EXPECT_EQ(snapshot->urls, QList<QUrl>{QUrl(QStringLiteral("https://example.org/cat.png"))});
    EXPECT_EQ(snapshot->text, QStringLiteral("café ✓"));
    EXPECT_EQ(device->received, QStringList({QStringLiteral("image/png"), QStringLiteral("text/uri-list"),
                                             QStringLiteral("text/plain;charset=utf-8")}));
}

TEST_F(OfferReaderTest, SecretIsNeverReadBeyondItsHintButOtherHintValuesAreOrdinaryContent)
{
    device->copy({{QStringLiteral("x-kde-passwordManagerHint"), QByteArray("secret")},
                  {QStringLiteral("text/plain;charset=utf-8"), QByteArray("hunter2")}});
    const auto hidden = read();
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(hidden->isSecret);
    EXPECT_FALSE(hidden->text);
    EXPECT_EQ(device->received, QStringList{QStringLiteral("x-kde-passwordManagerHint")});

    device->copy({{QStringLiteral("text/x-kde-passwordManagerHint"), QByteArray("public")},
                  {QStringLiteral("text/plain"), QByteArray("visible")}});
    const auto visible = read();
    ASSERT_TRUE(visible);
    EXPECT_FALSE(visible->isSecret);
    EXPECT_EQ(visible->text, QStringLiteral("visible"));
}

TEST_F(OfferReaderTest, AnOwnerThatNeverAnswersCostsOneTimeOutAndGivesNothing)
{
    device->copy({{QStringLiteral("text/plain;charset=utf-8"), std::nullopt},
                  {QStringLiteral("text/plain"), QByteArray("never asked")}});
    EXPECT_FALSE(read());
    EXPECT_EQ(device->received, QStringList{QStringLiteral("text/plain;charset=utf-8")});
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Clipboard owner did not answer in time: text/plain;charset=utf-8")));
}

TEST_F(OfferReaderTest, OversizedImageIsSkippedAndTheRestStillRead)
{
    open(true, {std::chrono::seconds(10), 4000});
    device->copy({{QStringLiteral("image/png"), QByteArray(8000, 'p')},
                  {QStringLiteral("image/jpeg"), QByteArray(100, 'j')},
                  {QStringLiteral("text/plain"), QByteArray("caption")}});
    const auto snapshot = read();
    ASSERT_TRUE(snapshot);
    EXPECT_FALSE(snapshot->dataForType(QStringLiteral("image/png")));
    EXPECT_EQ(snapshot->dataForType(QStringLiteral("image/jpeg")), QByteArray(100, 'j'));
    EXPECT_EQ(snapshot->text, QStringLiteral("caption"));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ Clipboard representation too large, skipped: image/png")));
}
