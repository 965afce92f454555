// The C++ encoder against vectors and token ids computed by the model's published runtime.
#include "ModelTestSupport.h"

#include <QJsonArray>

#include <cmath>
#include <thread>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

struct ReferenceItem {
    QString text;
    std::vector<std::int32_t> ids;
    std::vector<float> embedding;
};

std::vector<ReferenceItem> referenceItems(const QJsonObject &document, const char *key)
{
    std::vector<ReferenceItem> items;
    for (const QJsonValue &value : document.value(QLatin1String(key)).toArray()) {
        const QJsonObject object = value.toObject();
        ReferenceItem item{object.value(QLatin1String("text")).toString(), {}, {}};
        for (const QJsonValue &id : object.value(QLatin1String("ids")).toArray())
            item.ids.push_back(id.toInt());
        for (const QJsonValue &x : object.value(QLatin1String("embedding")).toArray())
            item.embedding.push_back(static_cast<float>(x.toDouble()));
        items.push_back(std::move(item));
    }
    return items;
}

void expectIdsMatch(const std::vector<ReferenceItem> &items)
{
    ASSERT_FALSE(items.empty());
    for (const ReferenceItem &item : items)
        EXPECT_EQ(testEncoder()->tokenize(item.text), item.ids) << item.text.toStdString();
}

// All texts go through one batched pass, which also proves that batching keeps texts apart.
void expectVectorsMatch(const std::vector<ReferenceItem> &items)
{
    ASSERT_FALSE(items.empty());
    QStringList texts;
    for (const ReferenceItem &item : items)
        texts << item.text;
    const auto vectors = testEncoder()->vectors(texts);
    ASSERT_EQ(vectors.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(items[i].text.toStdString());
        ASSERT_TRUE(vectors[i].has_value());
        ASSERT_EQ(vectors[i]->size(), items[i].embedding.size());
        float worst = 0;
        for (std::size_t c = 0; c < items[i].embedding.size(); ++c)
            worst = std::max(worst, std::abs((*vectors[i])[c] - items[i].embedding[c]));
        EXPECT_LE(worst, 1e-5f);
    }
}

} // namespace

TEST(EncoderReference, VectorsAndTokenIdsMatchThePublishedRuntime)
{
    SKIP_WITHOUT_MODEL();
    const QJsonObject document = jsonUnder("SNIPBROOK_TEST_DATA", QStringLiteral("use-lite-vectors.json"));
    expectVectorsMatch(referenceItems(document, "items"));
    expectIdsMatch(referenceItems(document, "items"));
    expectIdsMatch(referenceItems(document, "tokens"));
}

// A second set of texts, computed by the runtime on its WebAssembly backend.
TEST(EncoderReference, AgreesWithTheWasmBackendReference)
{
    SKIP_WITHOUT_MODEL();
    const QJsonObject document = jsonUnder("SNIPBROOK_TEST_DATA", QStringLiteral("use-lite-reference.json"));
    ASSERT_FALSE(document.isEmpty()) << "tests/data/use-lite-reference.json is missing or not a JSON object";
    expectIdsMatch(referenceItems(document, "items"));
    expectVectorsMatch(referenceItems(document, "items"));
}

TEST(EncoderReference, TextWithoutTokensHasNoVectorAndThreadsGetSequentialVectors)
{
    SKIP_WITHOUT_MODEL();
    EXPECT_FALSE(testEncoder()->vector(QString()).has_value());
    const auto vectors = testEncoder()->vectors({QString(), QStringLiteral("hello")});
    EXPECT_FALSE(vectors[0].has_value());
    EXPECT_TRUE(vectors[1].has_value());

    const QStringList texts{QStringLiteral("clipboard history search"), QStringLiteral("dentist appointment on monday")};
    std::optional<std::vector<float>> first, second;
    std::thread a([&] { first = testEncoder()->vector(texts.at(0)); });
    std::thread b([&] { second = testEncoder()->vector(texts.at(1)); });
    a.join();
    b.join();
    EXPECT_EQ(first, testEncoder()->vector(texts.at(0)));
    EXPECT_EQ(second, testEncoder()->vector(texts.at(1)));
}
