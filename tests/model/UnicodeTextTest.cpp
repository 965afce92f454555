#include "model/UnicodeText.h"

#include <gtest/gtest.h>

using namespace snipbrook;

TEST(UnicodeText, CountsUserPerceivedCharacters)
{
    // A family joined by zero-width joiners and a flag are one character each.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString flag = QStringLiteral("\U0001F1EB\U0001F1F7");
    const QString text = family + flag + QStringLiteral("e\u0301x");
    EXPECT_EQ(graphemeCount(text), 4);
    EXPECT_EQ(firstGraphemes(text, 2), family + flag);
    EXPECT_EQ(firstGraphemes(text, 3), family + flag + QStringLiteral("e\u0301"));
    EXPECT_EQ(firstGraphemes(text, 10), text);
    EXPECT_EQ(graphemeCount(QString(5000, u'a'), 10), 10);
}

TEST(UnicodeText, TrimsUnicodeWhiteSpaceOnly)
{
    EXPECT_EQ(trimWhitespaceAndNewlines(QStringLiteral("\u2003\t x y\r\n\u0085")), "x y");
    EXPECT_EQ(trimWhitespaceAndNewlines(QStringLiteral("\u200Bx")), QStringLiteral("\u200Bx"));
    EXPECT_EQ(trimWhitespaceAndNewlines("   "), "");
}

TEST(UnicodeText, FoldsCaseAndDiacriticsAcrossScripts)
{
    EXPECT_EQ(foldCaseAndDiacritics(QStringLiteral("Crème BRÛLÉE")), "creme brulee");
    EXPECT_EQ(foldCaseAndDiacritics(QStringLiteral("Straße")), "strasse");
    EXPECT_EQ(foldCaseAndDiacritics(QStringLiteral("ΑΘΗΝΑ")), foldCaseAndDiacritics(QStringLiteral("Αθήνα")));
    EXPECT_EQ(foldCaseAndDiacritics(QStringLiteral("東京")), QStringLiteral("東京"));
    EXPECT_EQ(canonicalComposition(QStringLiteral("e\u0301")), QStringLiteral("\u00e9"));
}
