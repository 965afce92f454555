// The embedding chain: sentence vector, averaged word vectors, fallback vector; bad input; the
// batch form; and whether the real model ranks related texts first.
#include "FakeEmbeddingModel.h"
#include "ModelTestSupport.h"
#include "support/DiagnosticsCapture.h"

#include "search/EmbeddingManager.h"

#include <QRandomGenerator>

#include <cmath>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

using Vector = std::vector<float>;

EmbeddingManager::ModelSource source(std::shared_ptr<const TextEmbeddingModel> model)
{
    return [model] { return model; };
}

bool isUnitVector(const Vector &v)
{
    double sum = 0;
    for (const float x : v) {
        if (!std::isfinite(x))
            return false;
        sum += double(x) * x;
    }
    return std::abs(sum - 1.0) < 1e-5;
}

} // namespace

TEST(EmbeddingManager, SentenceVectorThenWordsWeighedByLengthThenWordModel)
{
    auto model = std::make_shared<FakeEmbeddingModel>(
        QHash<QString, Vector>{{QStringLiteral("meeting notes"), {3, 4}}, {QStringLiteral("quick"), {1, 0}}, {QStringLiteral("fox"), {0, 1}}});
    EmbeddingManager manager(source(model), source(nullptr));
    EXPECT_EQ(manager.generateEmbedding(QStringLiteral("  meeting notes\n")), (Vector{0.6f, 0.8f}));
    // No vector for the whole text: its words are looked up in the same model. "the", "it" are
    // stop words and "x" too short; "ran" has no vector and adds no weight.
    const auto vector = manager.generateEmbedding(QStringLiteral("The QUICK fox, it ran x!"));
    EXPECT_EQ(model->asked().mid(1), (QStringList{"The QUICK fox, it ran x!", "quick", "fox", "ran"}));
    EXPECT_EQ(vector, EmbeddingManager::normalize({float(1.5 / 2.8), float(1.3 / 2.8)}));

    // The word model serves only without a sentence model.
    auto words = std::make_shared<FakeEmbeddingModel>(QHash<QString, Vector>{{QStringLiteral("invoice"), {0, 2}}});
    EmbeddingManager wordsOnly(source(nullptr), source(words));
    EXPECT_EQ(wordsOnly.generateEmbedding(QStringLiteral("Invoice overdue")), (Vector{0, 1}));
    DiagnosticsCapture capture;
    EXPECT_EQ(wordsOnly.generateEmbedding(QStringLiteral("zzz yyy")), EmbeddingManager::fallbackEmbedding(QStringLiteral("zzz yyy")));
    EXPECT_TRUE(capture.contains(QStringLiteral("🔍 No valid word vectors found for text: zzz yyy")));
}

TEST(EmbeddingManager, FallbackVectorFollowsCharacterCodes)
{
    DiagnosticsCapture capture;
    EmbeddingManager manager(source(nullptr), source(nullptr));
    const auto vector = manager.generateEmbedding(QStringLiteral("Hello World"));
    EXPECT_TRUE(capture.contains(QStringLiteral("❌ Failed to load any NL embedding model")));
    EXPECT_EQ(vector, manager.generateEmbedding(QStringLiteral("hello world")));

    const auto padded = [](std::initializer_list<float> head) {
        Vector v(EmbeddingManager::fallbackDimension, 0.0f);
        std::copy(head.begin(), head.end(), v.begin());
        return v;
    };
    // CR LF is one character of value 10; a non-ASCII character is 0 but still counts.
    EXPECT_EQ(EmbeddingManager::fallbackEmbedding(QStringLiteral("a\r\né")), EmbeddingManager::normalize(padded({97.0f / 3, 10.0f / 3, 0})));
    // Position 128 wraps onto component 0.
    const Vector wrapped = EmbeddingManager::fallbackEmbedding(QString(128, u'a') + u'b');
    EXPECT_NEAR(wrapped[0] / wrapped[1], (97.0 + 98.0) / 97.0, 1e-5);
    // The empty text gives zeros, unscaled; normalising leaves zero and empty vectors alone.
    EXPECT_EQ(EmbeddingManager::fallbackEmbedding(QString()), padded({}));
    EXPECT_EQ(EmbeddingManager::normalize({0, 0}), (Vector{0, 0}));
    EXPECT_EQ(EmbeddingManager::normalize({}), Vector{});
}

TEST(EmbeddingManager, BadInputGivesUnitVectorOrNothing)
{
    QString binary;
    for (int i = 0; i < 600; ++i)
        binary += QChar(char16_t(QRandomGenerator(7 + i).bounded(0, 0x10000)));
    const QStringList texts{
        QString(), QStringLiteral(" \u00a0\n\t"), QStringLiteral("lorem ipsum ").repeated(100000), binary,
        QStringLiteral("Hello Привет 你好 مرحبا שלום"), QStringLiteral("🎉🎉🎉👍🏽"), QStringLiteral("\u0000\u0007abc\u001b[0m\u007f"),
        QStringLiteral("e") + QString(200000, QChar(0x0301)), // one character of 200,001 code points
    };
    auto check = [&](const EmbeddingManager &manager) {
        for (const QString &text : texts) {
            const auto vector = manager.generateEmbedding(text);
            EXPECT_TRUE(!vector || isUnitVector(*vector)) << text.left(20).toStdString();
        }
    };
    check(EmbeddingManager(source(nullptr), source(nullptr)));

    // Without models, a text with no ASCII character has an all-zero fallback vector: no vector.
    DiagnosticsCapture capture;
    EXPECT_FALSE(EmbeddingManager(source(nullptr), source(nullptr)).generateEmbedding(QStringLiteral("🎉🎉🎉")));
    EXPECT_TRUE(capture.contains(QStringLiteral("⚠️ No usable embedding for text: 🎉🎉🎉")));
    // Control characters never reach the log as they are.
    EmbeddingManager::fallbackEmbedding(QStringLiteral("\u001b[31mred"));
    EXPECT_TRUE(capture.contains(QStringLiteral("🔄 Using fallback embedding for: \ufffd[31mred...")));

    if (testEncoder())
        check(EmbeddingManager(source(testEncoder()), source(nullptr)));
}

TEST(EmbeddingManager, BatchMatchesSingleCalls)
{
    SKIP_WITHOUT_MODEL();
    EmbeddingManager manager(source(testEncoder()), source(testEncoder()));
    const QStringList texts{"https://docs.example.com/api/v2/users?page=2", "ab", "for (int i = 0; i < n; ++i) { total += i; }",
                            "Dinner at 7 with Sam"};
    const auto batch = manager.generateEmbeddings(texts);
    ASSERT_EQ(batch.size(), 4u);
    EXPECT_FALSE(batch[1]);
    for (const int i : {0, 2, 3}) {
        const auto single = manager.generateEmbedding(texts.at(i));
        ASSERT_TRUE(single && batch[i] && single->size() == 512u);
        for (std::size_t c = 0; c < single->size(); ++c)
            ASSERT_NEAR((*single)[c], (*batch[i])[c], 1e-6f);
    }
    // The encoder also serves as the word model, one word at a time.
    const auto averaged = EmbeddingManager(source(nullptr), source(testEncoder())).generateEmbedding(texts.at(3));
    EXPECT_TRUE(averaged && averaged->size() == 512u && isUnitVector(*averaged));
}

TEST(EmbeddingManager, RelatedClipboardTextRanksFirst)
{
    SKIP_WITHOUT_MODEL();
    EmbeddingManager manager(source(testEncoder()), source(testEncoder()));
    const QStringList items{"Preheat the oven to 220°C and bake the sourdough loaf for 35 minutes",
                            "git rebase -i HEAD~3 to squash the last three commits",
                            "Your flight LX318 to Zurich departs at 07:45 from gate B32",
                            "Invoice 4411: total due 1,250.00 EUR by March 31",
                            "Hi Anna, the team meeting moves to Thursday at 3pm",
                            "https://www.youtube.com/watch?v=dQw4w9WgXcQ"};
    const QStringList queries{"bread recipe", "version control", "airport travel", "payment bill", "schedule a meeting", "video"};
    const auto itemVectors = manager.generateEmbeddings(items);
    const auto queryVectors = manager.generateEmbeddings(queries);
    for (qsizetype q = 0; q < queries.size(); ++q) {
        qsizetype best = -1;
        float bestScore = -2;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const float score = cosine(*queryVectors[q], *itemVectors[i]);
            if (score > bestScore)
                std::tie(best, bestScore) = std::tie(i, score);
        }
        EXPECT_EQ(best, q) << queries.at(q).toStdString() << " ranked " << items.at(best).toStdString() << " first";
    }
}
