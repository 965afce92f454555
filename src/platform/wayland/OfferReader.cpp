#include "OfferReader.h"

#include "core/Async.h"
#include "model/Diagnostics.h"
#include "platform/linux/ClipboardTargets.h"

namespace snipbrook {

OfferReader::OfferReader(QStringList types, Open open, QThreadPool &pool, Limits limits, QObject *parent)
    : QObject(parent), m_types(std::move(types)), m_open(std::move(open)), m_pool(pool), m_limits(limits),
      m_cancel(std::make_shared<TransferCancel>())
{
}

OfferReader::~OfferReader()
{
    // A pool read still waiting on the owner ends now rather than at its time-out.
    m_cancel->cancel();
}

void OfferReader::start(Done done)
{
    m_done = std::move(done);
    m_deadline = std::chrono::steady_clock::now() + m_limits.totalTimeout;
    const ClipboardReadPlan plan = planClipboardRead(m_types);
    m_imageTypes = plan.imageTargets;
    m_urlType = plan.urlTarget;
    m_textTypes = plan.textTargets;
    if (!plan.secretHintTarget) {
        readImages(0);
        return;
    }
    fetch(*plan.secretHintTarget, [this](const PipeRead &hint) {
        if (hint.status == PipeStatus::complete && isSecretHint(hint.bytes)) {
            // The content itself is never asked for.
            PasteboardSnapshot secret;
            secret.isSecret = true;
            finish(std::move(secret));
            return;
        }
        readImages(0);
    });
}

void OfferReader::abandon()
{
    m_cancel->cancel();
    finish(std::nullopt);
}

void OfferReader::readImages(qsizetype index)
{
    if (index >= m_imageTypes.size()) {
        readUrls();
        return;
    }
    const QString type = m_imageTypes[index];
    fetch(type, [this, index, type](const PipeRead &read) {
        // Only the first image that delivers is kept.
        if (read.status == PipeStatus::complete && !read.bytes.isEmpty()) {
            m_snapshot.data[type] = read.bytes;
            readUrls();
            return;
        }
        readImages(index + 1);
    });
}

void OfferReader::readUrls()
{
    if (!m_urlType) {
        readTexts(0);
        return;
    }
    fetch(*m_urlType, [this](const PipeRead &read) {
        if (read.status == PipeStatus::complete)
            m_snapshot.urls = decodeClipboardUrls(*m_urlType, read.bytes);
        readTexts(0);
    });
}

void OfferReader::readTexts(qsizetype index)
{
    if (index >= m_textTypes.size()) {
        finish(std::move(m_snapshot));
        return;
    }
    const QString type = m_textTypes[index];
    fetch(type, [this, index, type](const PipeRead &read) {
        if (read.status == PipeStatus::complete) {
            m_snapshot.text = decodeClipboardText(type, read.bytes);
            finish(std::move(m_snapshot));
            return;
        }
        readTexts(index + 1);
    });
}

void OfferReader::fetch(const QString &type, Step next)
{
    if (m_finished)
        return;
    const int fd = m_open(type);
    if (fd < 0) {
        finish(std::nullopt);
        return;
    }
    const PipeLimits limits = m_limits.pipe;
    const auto deadline = m_deadline;
    std::shared_ptr<TransferCancel> cancel = m_cancel;
    const QFuture<PipeRead> read = runOnPool(m_pool, [fd, limits, deadline, cancel] {
        return readPipe(fd, limits, deadline, cancel.get());
    });
    whenFinished(read, this, [this, type, next = std::move(next)](const QFuture<PipeRead> &done) {
        if (m_finished)
            return;
        const PipeRead result = done.resultCount() > 0 ? done.result() : PipeRead{};
        switch (result.status) {
        case PipeStatus::complete:
            next(result);
            return;
        case PipeStatus::tooLarge:
            diag(QStringLiteral("⚠️ Clipboard representation too large, skipped: ") + type);
            next(result);
            return;
        case PipeStatus::timedOut:
            diag(QStringLiteral("⚠️ Clipboard owner did not answer in time: ") + type);
            break;
        case PipeStatus::failed:
            diag(QStringLiteral("⚠️ Clipboard owner's data could not be read: ") + type);
            break;
        case PipeStatus::cancelled:
            break;
        }
        finish(std::nullopt);
    });
}

void OfferReader::finish(std::optional<PasteboardSnapshot> snapshot)
{
    if (m_finished)
        return;
    m_finished = true;
    if (Done done = std::exchange(m_done, {}))
        done(std::move(snapshot));
}

PasteboardSnapshot snapshotOfRepresentations(const std::map<QString, QByteArray> &representations)
{
    QStringList types;
    for (const auto &[type, bytes] : representations)
        types.append(type);
    const ClipboardReadPlan plan = planClipboardRead(types);
    PasteboardSnapshot snapshot;
    if (plan.secretHintTarget && isSecretHint(representations.at(*plan.secretHintTarget))) {
        snapshot.isSecret = true;
        return snapshot;
    }
    for (const QString &type : plan.imageTargets) {
        if (const QByteArray &bytes = representations.at(type); !bytes.isEmpty()) {
            snapshot.data[type] = bytes;
            break;
        }
    }
    if (plan.urlTarget)
        snapshot.urls = decodeClipboardUrls(*plan.urlTarget, representations.at(*plan.urlTarget));
    if (!plan.textTargets.isEmpty())
        snapshot.text = decodeClipboardText(plan.textTargets.first(), representations.at(plan.textTargets.first()));
    return snapshot;
}

} // namespace snipbrook
