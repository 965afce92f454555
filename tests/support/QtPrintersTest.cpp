#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

// The overloads must be found wherever gtest prints, containers and optionals included.
TEST(QtPrinters, QtValuesPrintAsText)
{
    using testing::PrintToString;
    EXPECT_EQ(PrintToString(QStringLiteral("größe \"1\"\n")), "\"größe \\\"1\\\"\\n\"");
    EXPECT_EQ(PrintToString(QStringList{QStringLiteral("a"), QStringLiteral("b")}), "{ \"a\", \"b\" }");
    EXPECT_EQ(PrintToString(std::optional(QStringLiteral("a"))), "(\"a\")");
    EXPECT_EQ(PrintToString(QByteArray("\xff\x01z", 3)), "\"\\xFF\\x01z\"");
    EXPECT_EQ(PrintToString(QByteArray(2000, 'x')), '"' + std::string(1024, 'x') + "\"… (2000 bytes)");
    EXPECT_EQ(PrintToString(QUuid(QStringLiteral("6f1c2b1e-0d5a-4b59-9a43-0a3e9cbd1a11"))),
              "6F1C2B1E-0D5A-4B59-9A43-0A3E9CBD1A11");
}
