#pragma once

#include "PipeTransfer.h"
#include "platform/Pasteboard.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace snipbrook {

// Reads one clipboard offer into a snapshot: the representations worth having are chosen from
// the offered MIME types (as on X11), each is asked for once through a pipe, and the pipe is read
// on a pool thread with time-outs and a size cap. Only file descriptors cross to the pool: asking
// for a representation happens here, on this object's (the main) thread. A secret-marked offer
// is not read further.
class OfferReader : public QObject {
    Q_OBJECT
public:
    struct Limits {
        PipeLimits pipe;
        // For the whole snapshot (an owner that trickles its data).
        std::chrono::milliseconds totalTimeout{10000};
    };
    // Has the offer's owner write `type` into a new pipe; the read end, or -1.
    using Open = std::function<int(const QString &type)>;
    // Nothing when the read failed, timed out or was abandoned.
    using Done = std::function<void(std::optional<PasteboardSnapshot>)>;

    OfferReader(QStringList types, Open open, QThreadPool &pool, Limits limits, QObject *parent = nullptr);
    ~OfferReader() override;

    // Starts reading; `done` runs once on this object's thread (never after it is gone), at once
    // when there is nothing to read.
    void start(Done done);
    // The offer is gone: a pipe read in progress ends at once and `done` gets nothing.
    void abandon();

private:
    using Step = std::function<void(const PipeRead &)>;
    void fetch(const QString &type, Step next);
    void readImages(qsizetype index);
    void readUrls();
    void readTexts(qsizetype index);
    void finish(std::optional<PasteboardSnapshot> snapshot);

    QStringList m_types;
    Open m_open;
    QThreadPool &m_pool;
    Limits m_limits;
    std::chrono::steady_clock::time_point m_deadline;
    std::shared_ptr<TransferCancel> m_cancel;
    Done m_done;
    PasteboardSnapshot m_snapshot;
    QStringList m_imageTypes;
    std::optional<QString> m_urlType;
    QStringList m_textTypes;
    bool m_finished = false;
};

// The snapshot of representations we hold ourselves (our own clipboard), chosen and decoded as a
// read of another application's offer would be.
PasteboardSnapshot snapshotOfRepresentations(const std::map<QString, QByteArray> &representations);

} // namespace snipbrook
