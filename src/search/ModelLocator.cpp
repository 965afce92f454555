#include "ModelLocator.h"

#include "BuildInfo.h"
#include "model/Diagnostics.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace snipbrook {

QStringList modelDirectoryCandidates()
{
    QStringList candidates;
    const QString fromEnvironment = qEnvironmentVariable("SNIPBROOK_MODEL_DIR");
    if (!fromEnvironment.isEmpty())
        candidates << fromEnvironment;
    candidates << QDir(QString::fromUtf8(build::installedDataDir)).filePath(QStringLiteral("model"))
               << QDir(QString::fromUtf8(build::buildDataDir)).filePath(QStringLiteral("model"));
    return candidates;
}

std::shared_ptr<const SentenceEncoder> loadFirstAvailableEncoder(const QStringList &directories)
{
    QStringList reasons;
    QStringList brokenFolders;
    for (const QString &directory : directories) {
        QElapsedTimer timer;
        timer.start();
        QString error;
        std::shared_ptr<const SentenceEncoder> encoder = SentenceEncoder::load(directory, &error);
        if (encoder) {
            for (const QString &broken : brokenFolders)
                diag(QStringLiteral("⚠️ Skipped damaged model folder: ") + broken);
            diag(QStringLiteral("✅ Loaded sentence encoder in %1 ms: ").arg(timer.elapsed()) + directory);
            return encoder;
        }
        reasons << directory + QStringLiteral(" (") + error + u')';
        if (QFileInfo(directory).isDir())
            brokenFolders << directory + QStringLiteral(" (") + error + u')';
    }
    diag(QStringLiteral("❌ Sentence encoder unavailable, no complete model files in: ") + reasons.join(QStringLiteral(", ")));
    return nullptr;
}

std::shared_ptr<const SentenceEncoder> sharedSentenceEncoder()
{
    // A function-local static is initialised once, and concurrent callers wait for it.
    static const std::shared_ptr<const SentenceEncoder> encoder = loadFirstAvailableEncoder(modelDirectoryCandidates());
    return encoder;
}

} // namespace snipbrook
