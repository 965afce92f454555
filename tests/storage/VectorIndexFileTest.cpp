#include "storage/IndexText.h"
#include "storage/VectorIndexFile.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

using namespace snipbrook;

namespace {

QDateTime utc(const char *iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs).toUTC(); }

QStringList ids(const DecodedVectorIndex &decoded)
{
    QStringList out;
    for (const VectorItem &entry : decoded.entries)
        out.append(entry.id);
    return out;
}

// One entry member in the file's form, with a replaceable part.
QByteArray member(const char *key, const char *body)
{
    return QByteArray("\"") + key + "\": {" + body + "}";
}

constexpr const char *goodBody =
    R"("id": "x", "text": "t", "embedding": ["0.5", "-0.25"], "metadata": {"type": "text"}, "timestamp": "2024-05-01T09:30:00Z")";

} // namespace

TEST(VectorIndexFile, WritesTheFileFormByteForByte)
{
    const std::vector<VectorItem> entries{
        {"F0000000-0000-0000-0000-000000000002", "", {}, {}, utc("1999-12-31T23:59:59.999Z")},
        {"A0000000-0000-0000-0000-000000000001",
         "say \"hi\"\\\n\t\x01 café",
         {0.6f, 1e-05f, -1.5f, 123456790.0f, 3.4028235e+38f},
         {{"type", "text"}, {"isFavorite", "false"}, {"sourceApp", "Ed/it"}},
         utc("2024-05-01T09:30:00.750Z")},
    };
    const QByteArray expected = R"({
  "A0000000-0000-0000-0000-000000000001": {
    "id": "A0000000-0000-0000-0000-000000000001",
    "text": "say \"hi\"\\\n\t\u0001 café",
    "embedding": [
      "0.6",
      "1e-05",
      "-1.5",
      "123456792",
      "3.4028235e+38"
    ],
    "metadata": {
      "isFavorite": "false",
      "sourceApp": "Ed/it",
      "type": "text"
    },
    "timestamp": "2024-05-01T09:30:00Z"
  },
  "F0000000-0000-0000-0000-000000000002": {
    "id": "F0000000-0000-0000-0000-000000000002",
    "text": "",
    "embedding": [],
    "metadata": {},
    "timestamp": "1999-12-31T23:59:59Z"
  }
}
)";
    EXPECT_EQ(encodeVectorIndex(entries).toStdString(), expected.toStdString());
    EXPECT_EQ(encodeVectorIndex({}), "{}\n");

    // Reading it back gives the entries, timestamps cut to whole seconds.
    const DecodedVectorIndex decoded = decodeVectorIndex(expected);
    ASSERT_FALSE(decoded.error);
    ASSERT_EQ(decoded.entries.size(), 2u);
    VectorItem first = entries[1];
    first.timestamp = utc("2024-05-01T09:30:00Z");
    EXPECT_EQ(decoded.entries[0], first);
    EXPECT_EQ(decoded.entries[1].timestamp, utc("1999-12-31T23:59:59Z"));
}

TEST(VectorIndexFile, EveryFiniteFloatAndAnyTextSurviveTheRoundTrip)
{
    QRandomGenerator random(7);
    VectorItem entry{"K", {}, {1e-45f, -0.0f, 3.4028235e+38f}, {{"k\"ey", "v\\al\u2028ue"}}, utc("2024-01-01T00:00:00Z")};
    while (entry.embedding.size() < 2000)
        if (const float value = std::bit_cast<float>(random.generate()); std::isfinite(value))
            entry.embedding.push_back(value);
    for (char16_t c = 1; c < 0x800; ++c)
        entry.text.append(QChar(c));
    entry.text += QString::fromUtf8("😀 end");

    const DecodedVectorIndex decoded = decodeVectorIndex(encodeVectorIndex({entry}));
    ASSERT_EQ(decoded.entries.size(), 1u);
    EXPECT_EQ(decoded.entries[0].text, entry.text);
    EXPECT_EQ(decoded.entries[0].metadata, entry.metadata);
    // Bit for bit, so -0 and the smallest subnormal count too.
    EXPECT_EQ(0, std::memcmp(decoded.entries[0].embedding.data(), entry.embedding.data(), entry.embedding.size() * 4));
}

TEST(IndexText, ComponentAndTimeParsersAreStrict)
{
    EXPECT_EQ(parseFloatComponent("-3E2"), -300.0f);
    for (const char *bad : {"", " 1", "1 ", "1.5x", "nan", "-infinity", "1e999", "0x1p3", "+"})
        EXPECT_FALSE(parseFloatComponent(bad)) << bad;

    EXPECT_EQ(parseInternetDateTime(u"2024-05-01T04:00:00-05:30"), utc("2024-05-01T09:30:00Z"));
    for (const char16_t *bad : {u"2024-05-01T09:30:00", u"2024-05-01T09:30:00.5Z", u"2024-05-01t09:30:00z",
                                u"2024-02-30T09:30:00Z", u"２０２4-05-01T09:30:00Z", u"2024-05-01T09:30:00+2:00"})
        EXPECT_FALSE(parseInternetDateTime(QStringView(bad))) << QString::fromUtf16(bad).toStdString();
    // Writing drops the fraction towards the past, also before 1970.
    EXPECT_EQ(internetDateTime(utc("1969-12-31T23:59:59.500Z")), "1969-12-31T23:59:59Z");
}

TEST(VectorIndexFile, LoadsWellFormedMembersAndSkipsTheRest)
{
    const QByteArray file = "{\n" + member("GOOD", goodBody) + ",\n"
        + member("STORED-ID-IGNORED", R"("id": 5, "text": "t", "embedding": [], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("UNKNOWN-MEMBERS", R"("x": [{"deep": [1, 2.5e3, true, null]}], "text": "t", "embedding": ["1"], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z", "y": -0.0)") + ",\n"
        + member("LONGER-VECTOR", R"("text": "t", "embedding": ["1", "2", "3"], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("ESCAPED-DIGITS", R"("text": "\ud83d\ude00", "embedding": ["\u0031e-05"], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("TEXT-NOT-STRING", R"("text": 5, "embedding": [], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("NAN-TEXT", R"("text": "t", "embedding": ["0.5", "nan"], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("HUGE", R"("text": "t", "embedding": ["1e39"], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("NUMBER-COMPONENT", R"("text": "t", "embedding": [0.5], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("METADATA-NUMBER", R"("text": "t", "embedding": [], "metadata": {"size": 5}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("BAD-TIME", R"("text": "t", "embedding": [], "metadata": {}, "timestamp": "yesterday")") + ",\n"
        + member("NO-TIME", R"("text": "t", "embedding": [], "metadata": {})") + ",\n"
        + member("DUPLICATE", R"("text": 1, "text": "last wins", "embedding": [], "metadata": {}, "timestamp": "2024-05-01T09:30:00Z")") + ",\n"
        + member("REPEATED", goodBody) + ",\n"
        + member("REPEATED", R"("text": 1)") + "\n}";

    const DecodedVectorIndex decoded = decodeVectorIndex(file);
    ASSERT_FALSE(decoded.error) << decoded.error->toStdString();
    EXPECT_EQ(ids(decoded), QStringList({"GOOD", "STORED-ID-IGNORED", "UNKNOWN-MEMBERS", "LONGER-VECTOR",
                                         "ESCAPED-DIGITS", "DUPLICATE"}));
    EXPECT_EQ(decoded.entries[0].embedding, (std::vector<float>{0.5f, -0.25f}));
    EXPECT_EQ(decoded.entries[0].metadata.value("type"), "text");
    EXPECT_EQ(decoded.entries[4].text, QString::fromUtf8("😀"));
    EXPECT_EQ(decoded.entries[4].embedding, std::vector<float>{1e-05f});
    EXPECT_EQ(decoded.entries[5].text, "last wins");
}

TEST(VectorIndexFile, AnyNonObjectMemberOrTopLevelGivesAnEmptyIndex)
{
    for (const QByteArray &file : QList<QByteArray>{"{" + member("GOOD", goodBody) + ", \"X\": []}", "[]", "null"}) {
        EXPECT_FALSE(decodeVectorIndex(file).error) << file.constData();
        EXPECT_TRUE(decodeVectorIndex(file).entries.empty()) << file.constData();
    }
    // A byte-order mark and surrounding white space are fine.
    EXPECT_EQ(decodeVectorIndex("\xEF\xBB\xBF \r\n{" + member("GOOD", goodBody) + "}\t\n").entries.size(), 1u);
}

TEST(VectorIndexFile, MalformedDocumentsLoadNothingAndNeverCrash)
{
    const QByteArray good = encodeVectorIndex({{"A", "x\ny", {0.25f, 1e-05f}, {{"type", "code"}}, utc("2024-05-01T09:30:00Z")},
                                               {"B", "z", {0.5f}, {}, utc("2024-05-01T09:30:00Z")}});
    // Every truncation of a valid file is an error, never a partial read.
    for (qsizetype length = 0; length + 1 < good.size(); ++length) {
        const DecodedVectorIndex decoded = decodeVectorIndex(good.left(length));
        ASSERT_TRUE(decoded.error) << length;
        ASSERT_TRUE(decoded.entries.empty());
    }

    const QByteArray deep = QByteArray(200000, '[');
    const QList<QByteArray> malformed{QByteArray(""), QByteArray("   "), QByteArray("{} {}"), QByteArray("{,}"),
                                  QByteArray("{\"a\":{},}"), QByteArray("{\"a\" {}}"), QByteArray("{'a': {}}"),
                                  QByteArray("{\"a\":{\"t\":\"\\x\"}}"), QByteArray("{\"a\":{\"t\":\"\\u12g4\"}}"),
                                  QByteArray("{\"a\":{\"t\":\"line\nbreak\"}}"), QByteArray("{\"a\":{\"n\":01}}"),
                                  QByteArray("{\"a\":{\"n\":1.}}"), QByteArray("{\"a\":{\"n\":tru}}"),
                                  QByteArray("{\"a\":{}}\0", 9), QByteArray("{\"a\":{\"n\":[1 2]}}"),
                                  "{\"a\":{\"x\":" + deep + "}}"};
    for (const QByteArray &bad : malformed) {
        const DecodedVectorIndex decoded = decodeVectorIndex(bad);
        EXPECT_TRUE(decoded.error) << bad.left(40).constData();
        EXPECT_TRUE(decoded.entries.empty());
    }
}
