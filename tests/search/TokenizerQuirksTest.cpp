// The tokenizer's path rules on small vocabularies, where each quirk decides the ids.
#include "search/SentencePieceTokenizer.h"

#include <gtest/gtest.h>

using namespace snipbrook;

namespace {

// Ids 0–5 are the reserved control symbols; pieces follow from id 6.
SentencePieceTokenizer tokenizerWith(const QByteArray &pieces)
{
    QString error;
    auto tokenizer = SentencePieceTokenizer::fromJson(
        R"([["<unk>",0],["<s>",0],["</s>",0],["x1",0],["x2",0],["x3",0],)" + pieces + "]", &error);
    EXPECT_TRUE(tokenizer.has_value()) << error.toStdString();
    return std::move(*tokenizer);
}

using Ids = std::vector<std::int32_t>;

} // namespace

TEST(TokenizerQuirks, AZeroTotalCountsAsUnsetAndLosesToAnyLaterCandidate)
{
    // "▁ab" (null score = 0) is the best path, but its total of 0 reads as "unset".
    const auto tokenizer = tokenizerWith(R"(["▁ab",null],["▁a",-1],["b",-1],["▁",-1],["a",-1])");
    EXPECT_EQ(tokenizer.encode(QStringLiteral("ab")), (Ids{7, 8}));
}

TEST(TokenizerQuirks, TiesGoToTheLaterShorterCandidate)
{
    EXPECT_EQ(tokenizerWith(R"(["▁ab",-2],["▁a",-1],["b",-1],["▁",-5],["a",-5])").encode(QStringLiteral("ab")), (Ids{7, 8}));
    EXPECT_EQ(tokenizerWith(R"(["▁ab",-2],["▁a",-1],["b",-1.5],["▁",-5],["a",-5])").encode(QStringLiteral("ab")), (Ids{6}));
}

TEST(TokenizerQuirks, LaterDuplicatePieceWinsAndReservedPiecesNeverMatch)
{
    const auto tokenizer = tokenizerWith(R"(["▁x",-0.5],["▁x",-0.5],["▁",-1],["<s>",-1],["<",-3],["s",-3],[">",-3])");
    EXPECT_EQ(tokenizer.encode(QStringLiteral("x")), (Ids{7}));
    // "<s>" at id 9 is an ordinary piece; the reserved id 1 with the same text is never used.
    EXPECT_EQ(tokenizer.encode(QStringLiteral("<s>")), (Ids{8, 9}));
}

TEST(TokenizerQuirks, UnknownRunsMergeAndOnlyBlanksBecomeWordBoundaries)
{
    const auto tokenizer = tokenizerWith(R"(["▁",-1],["a",-1])");
    EXPECT_EQ(tokenizer.encode(QStringLiteral("a☃☃ ☃")), (Ids{6, 7, 0, 6, 0}));
    EXPECT_EQ(tokenizer.encode(QStringLiteral("a\tb\na")), (Ids{6, 7, 0, 7})); // tab, b and line break: one unknown
    // NFKC first: a no-break space and an ideographic space become blanks, then boundaries.
    EXPECT_EQ(tokenizer.encode(QStringLiteral("a\u00a0a")), (Ids{6, 7, 6, 7}));
    EXPECT_EQ(tokenizer.encode(QStringLiteral("\u3000")), (Ids{6, 6}));
    EXPECT_EQ(tokenizer.encode(QString()), Ids{});
    // A lone surrogate is one unknown symbol, not a crash.
    EXPECT_EQ(tokenizer.encode(QString(QChar(0xD800)) + u'a'), (Ids{6, 0, 7}));
}

TEST(TokenizerQuirks, RejectsMalformedVocabularies)
{
    QString error;
    EXPECT_FALSE(SentencePieceTokenizer::fromJson("{}", &error));
    EXPECT_FALSE(SentencePieceTokenizer::fromJson("[[\"a\",0]]", &error));
    EXPECT_FALSE(SentencePieceTokenizer::fromJson(R"([["a",0],["b",0],["c",0],["d",0],["e",0],["f",0],["g","x"]])", &error));
    EXPECT_FALSE(SentencePieceTokenizer::fromJson(R"([["a",0],["b",0],["c",0],["d",0],["e",0],["f",0],["",0]])", &error));
    EXPECT_FALSE(error.isEmpty());
}
