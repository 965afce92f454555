#include "ModelTestSupport.h"

#include "search/ModelLocator.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <cmath>

namespace snipbrook::test {
namespace {

const std::pair<QString, std::shared_ptr<const SentenceEncoder>> &foundModel()
{
    static const auto model = [] {
        QString error;
        for (const QString &directory : modelDirectoryCandidates()) {
            if (auto encoder = SentenceEncoder::load(directory, &error))
                return std::pair{directory, encoder};
        }
        return std::pair<QString, std::shared_ptr<const SentenceEncoder>>{};
    }();
    return model;
}

} // namespace

QString testModelDirectory() { return foundModel().first; }

std::shared_ptr<const SentenceEncoder> testEncoder() { return foundModel().second; }

QJsonObject jsonUnder(const char *folderVariable, const QString &relativePath)
{
    QFile file(QDir(qEnvironmentVariable(folderVariable)).filePath(relativePath));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
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
