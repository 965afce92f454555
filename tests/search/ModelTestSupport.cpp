#include "ModelTestSupport.h"

#include "search/ModelLocator.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <cmath>

namespace snipbrook::test {
namespace {

struct FoundModel {
    QString directory;
    std::shared_ptr<const SentenceEncoder> encoder;
};

const FoundModel &foundModel()
{
    static const FoundModel model = [] {
        for (const QString &directory : modelDirectoryCandidates()) {
            QString error;
            if (auto encoder = SentenceEncoder::load(directory, &error))
                return FoundModel{directory, encoder};
        }
        return FoundModel{};
    }();
    return model;
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

QString testModelDirectory() { return foundModel().directory; }

std::shared_ptr<const SentenceEncoder> testEncoder() { return foundModel().encoder; }

QJsonObject testDataJson(const QString &name)
{
    return readJson(QDir(qEnvironmentVariable("SNIPBROOK_TEST_DATA")).filePath(name));
}

QJsonObject sharedJson(const QString &relativePath)
{
    return readJson(QDir(qEnvironmentVariable("SNIPBROOK_SHARED_DIR")).filePath(relativePath));
}

float cosine(const std::vector<float> &a, const std::vector<float> &b)
{
    float dot = 0, na = 0, nb = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        dot += a[i] * b[i];
        na += a[i] * a[i];
        nb += b[i] * b[i];
    }
    return na > 0 && nb > 0 ? dot / std::sqrt(na * nb) : 0.0f;
}

} // namespace snipbrook::test
