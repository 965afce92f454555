// Finding and loading the model: damaged sets are refused with a clear line, never a crash, and
// loading happens once.
#include "ModelTestSupport.h"
#include "support/DiagnosticsCapture.h"
#include "support/TestFiles.h"

#include "search/EmbeddingManager.h"
#include "search/EncoderParameters.h"
#include "search/ModelChecksum.h"
#include "search/ModelLocator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cstring>
#include <thread>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

ModelFile describe(const QString &name, const QByteArray &bytes)
{
    return {name, bytes.size(), xxHash64(bytes.constData(), static_cast<std::size_t>(bytes.size()))};
}

} // namespace

TEST(ModelLoading, MissingModelIsUnavailableWithOneClearLine)
{
    QTemporaryDir empty;
    DiagnosticsCapture capture;
    EXPECT_EQ(loadFirstAvailableEncoder({empty.path(), empty.filePath(QStringLiteral("absent"))}), nullptr);
    ASSERT_EQ(capture.count(QStringLiteral("❌ ")), 1);
    EXPECT_TRUE(capture.lines().first().contains(QStringLiteral("missing model.json")));
    EXPECT_TRUE(capture.lines().first().contains(QStringLiteral("absent (no such folder)")));
}

TEST(ModelLoading, DamagedFilesAreRefusedAndEmbeddingFallsBack)
{
    SKIP_WITHOUT_MODEL();
    QTemporaryDir copy; // of the real set
    for (const QString &name : QDir(testModelDirectory()).entryList(QDir::Files))
        QFile::copy(QDir(testModelDirectory()).filePath(name), copy.filePath(name));
    const struct {
        QString file;
        std::function<QByteArray(QByteArray)> damage;
        QString reason;
    } cases[] = {
        {QStringLiteral("group1-shard3of7"), [](QByteArray) { return QByteArray(); }, QStringLiteral("missing")},
        {QStringLiteral("group1-shard7of7"), [](QByteArray b) { return b.left(b.size() - 4); }, QStringLiteral("bytes, expected")},
        {QStringLiteral("group1-shard2of7"), [](QByteArray b) { b[123456] = char(b[123456] ^ 0x01); return b; }, QStringLiteral("checksum")},
        {QStringLiteral("vocab.json"), [](QByteArray b) { return b.replace("\"▁the\"", "\"▁teh\""); }, QStringLiteral("checksum")},
        {QStringLiteral("model.json"), [](QByteArray b) { return b.replace("Embeddings_en", "Embeddings_xx"); }, QStringLiteral("checksum")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const QString path = copy.filePath(c.file);
        const QByteArray original = readFile(path);
        ASSERT_FALSE(original.isEmpty());
        const QByteArray damaged = c.damage(original);
        ASSERT_NE(damaged, original);
        ASSERT_TRUE(damaged.isEmpty() ? QFile::remove(path) : writeFile(path, damaged));
        QString error;
        EXPECT_EQ(SentenceEncoder::load(copy.path(), &error), nullptr);
        EXPECT_TRUE(error.contains(c.file) && error.contains(c.reason)) << error.toStdString();
        ASSERT_TRUE(writeFile(path, original));
    }

    QFile::resize(copy.filePath(QStringLiteral("group1-shard1of7")), 100);
    DiagnosticsCapture capture;
    EmbeddingManager manager([&] { return std::shared_ptr<const TextEmbeddingModel>(loadFirstAvailableEncoder({copy.path()})); },
                             [] { return nullptr; });
    const auto vector = manager.generateEmbedding(QStringLiteral("meeting notes for tuesday"));
    ASSERT_TRUE(vector.has_value());
    EXPECT_EQ(vector->size(), std::size_t(EmbeddingManager::fallbackDimension));
    EXPECT_EQ(capture.count(QStringLiteral("❌ Sentence encoder unavailable")), 1);
    EXPECT_TRUE(capture.contains(QStringLiteral("❌ Failed to load any NL embedding model")));
}

TEST(ModelLoading, ShapeChecksRejectAnUnexpectedLayout)
{
    // A well-formed, intact set whose tensors are not shaped like this model.
    QTemporaryDir dir;
    const QByteArray manifest = R"({"weightsManifest":[{"paths":["shard"],"weights":[
        {"name":"module/Embeddings_en","shape":[10,4],"dtype":"float32"},
        {"name":"constant","shape":[],"dtype":"int32"}]}]})";
    const QByteArray shard(164, '\0');
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("model.json")), manifest));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("shard")), shard));
    ModelFileSet files{describe(QStringLiteral("model.json"), manifest), {}, {describe(QStringLiteral("shard"), shard)}};
    QString error;
    const auto weights = EncoderWeights::load(dir.path(), files, &error);
    ASSERT_TRUE(weights) << error.toStdString();
    EXPECT_FALSE(bindEncoderParameters(*weights, &error));
    EXPECT_EQ(error, QStringLiteral("tensor module/Embeddings_en has shape [10, 4], expected float32 [8002, 256]"));

    // The manifest must account for exactly the bytes of the shards.
    const QByteArray longer = QByteArray(manifest).replace("[10,4]", "[10,5]");
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("model.json")), longer));
    files.manifest = describe(QStringLiteral("model.json"), longer);
    error.clear();
    EXPECT_FALSE(EncoderWeights::load(dir.path(), files, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("more weights than the shards hold")));
}

TEST(ModelLoading, ShardsAreMappedWhenTheirSizesAllowElseRead)
{
    // One tensor of 2048 floats across two shards: split on a page boundary the shards are mapped
    // side by side, split elsewhere they are read into one buffer. Both give the same weights,
    // also after the mapped pages were handed back to the kernel.
    QByteArray stream(2048 * 4, Qt::Uninitialized);
    for (int i = 0; i < 2048; ++i) {
        const float value = float(i) * 0.5f - 7.0f;
        std::memcpy(stream.data() + i * 4, &value, 4);
    }
    const QByteArray manifest = R"({"weightsManifest":[{"paths":["a","b"],"weights":[
        {"name":"t","shape":[2048],"dtype":"float32"}]}]})";
    for (const qsizetype split : {qsizetype(4096), qsizetype(4100)}) {
        SCOPED_TRACE(split);
        QTemporaryDir dir;
        const QByteArray a = stream.left(split), b = stream.mid(split);
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("model.json")), manifest));
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("a")), a));
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("b")), b));
        const ModelFileSet files{describe(QStringLiteral("model.json"), manifest), {},
                                 {describe(QStringLiteral("a"), a), describe(QStringLiteral("b"), b)}};
        QString error;
        const auto weights = EncoderWeights::load(dir.path(), files, &error);
        ASSERT_TRUE(weights) << error.toStdString();
        EXPECT_EQ(weights->isMapped(), split == 4096);
        const float *t = weights->floats(QStringLiteral("t"), {2048}, &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(std::memcmp(t, stream.constData(), std::size_t(stream.size())), 0);
        weights->releaseResidentPages();
        EXPECT_EQ(t[2047], 2047 * 0.5f - 7.0f);

        // A shard changed after its checksum was taken is refused on either path.
        QByteArray altered = b;
        altered[10] = char(altered[10] ^ 0x40);
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("b")), altered));
        EXPECT_FALSE(EncoderWeights::load(dir.path(), files, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("b is damaged or altered"))) << error.toStdString();
    }
}

TEST(ModelLoading, LaterCandidateServesWhenAnEarlierOneIsDamaged)
{
    SKIP_WITHOUT_MODEL();
    QTemporaryDir damaged;
    ASSERT_TRUE(writeFile(damaged.filePath(QStringLiteral("model.json")), "{}"));
    DiagnosticsCapture capture;
    EXPECT_NE(loadFirstAvailableEncoder({damaged.path(), testModelDirectory()}), nullptr);
    EXPECT_EQ(capture.count(QStringLiteral("⚠️ Skipped damaged model folder: ") + damaged.path()), 1);
    EXPECT_EQ(capture.count(QStringLiteral("✅ Loaded sentence encoder")), 1);
    EXPECT_EQ(capture.count(QStringLiteral("❌ ")), 0);
}

TEST(ModelLoading, EnvironmentFolderIsTriedFirst)
{
    qputenv("SNIPBROOK_MODEL_DIR", "/opt/models/use-lite");
    const QStringList candidates = modelDirectoryCandidates();
    qunsetenv("SNIPBROOK_MODEL_DIR");
    ASSERT_EQ(candidates.size(), 3);
    EXPECT_EQ(candidates.first(), QStringLiteral("/opt/models/use-lite"));
    EXPECT_EQ(modelDirectoryCandidates().size(), 2);
}

TEST(ModelLoading, EachModelIsAskedForOnceAcrossThreads)
{
    std::atomic<int> sentenceAsks = 0, wordAsks = 0;
    EmbeddingManager manager([&] { ++sentenceAsks; return nullptr; }, [&] { ++wordAsks; return nullptr; });
    DiagnosticsCapture capture;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { manager.generateEmbedding(QStringLiteral("concurrent text")); });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(sentenceAsks, 1);
    EXPECT_EQ(wordAsks, 1);
    EXPECT_EQ(capture.count(QStringLiteral("❌ Failed to load any NL embedding model")), 4);

    std::shared_ptr<const SentenceEncoder> first, second;
    std::thread a([&] { first = sharedSentenceEncoder(); });
    std::thread b([&] { second = sharedSentenceEncoder(); });
    a.join();
    b.join();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first != nullptr, testEncoder() != nullptr);
}
