#pragma once

#include "DataControlDevice.h"
#include "OfferReader.h"
#include "platform/Pasteboard.h"

#include <QThreadPool>

#include <map>
#include <memory>
#include <vector>

namespace snipbrook {

class WaylandConnection;

// The Wayland clipboard through data-control, on a connection of our own: seen and read while
// none of our windows has focus. Every selection event counts as a change and reaches changed()
// on the main thread; snapshots read the current offer through pipes on a pool of our own, with
// time-outs and a size cap; writes offer a data-control source whose data is written on the pool.
// Our own sources carry a private MIME type, so a selection that is ours is recognised and never
// read through a pipe (we would be waiting on ourselves); it is answered from what we wrote.
//
// "Owner quit" cannot be told apart from "emptied on purpose" here: both arrive as an empty
// selection. becameEmpty() follows every empty selection that did not replace our own source; a
// password manager that empties the clipboard gets the newest history item offered again, which
// is never its secret (secrets are not recorded).
//
// Without data-control (GNOME's mutter) or a seat the pasteboard stays inert: isAvailable() is
// false, the count never moves, reads give nothing, writes fail. Main thread only; the connection
// must outlive the pasteboard.
class DataControlPasteboard : public Pasteboard, private DataControlDevice::Listener {
    Q_OBJECT
public:
    struct Options {
        OfferReader::Limits limits;
    };

    explicit DataControlPasteboard(WaylandConnection &connection, Options options = {}, QObject *parent = nullptr);
    // Over a device already opened (or a stand-in); null gives an inert pasteboard.
    DataControlPasteboard(std::unique_ptr<DataControlDevice> device, Options options, QObject *parent = nullptr);
    ~DataControlPasteboard() override;

    bool isAvailable() const { return m_device && m_failure.isEmpty(); }
    // Why the clipboard is not watched, for the log, `status` and the settings window.
    QString unavailableReason() const { return m_failure; }

    qint64 changeCount() const override { return m_changeCount; }
    void requestSnapshot(QObject *context, SnapshotHandler handler) override;
    void clearContents() override;
    bool writeText(const QString &text) override;
    bool writeData(const QString &type, const QByteArray &bytes) override;
    bool writeUrls(const QList<QUrl> &urls) override;
    // Through the device's primary selection (ext v1, wlr v2); not watched, the count stays.
    bool writePrimaryText(const QString &text) override;

private:
    struct Written {
        std::optional<QString> text;
        std::optional<QList<QUrl>> urls;
        std::map<QString, QByteArray> data;
    };
    using Representations = std::map<QString, QByteArray>;
    struct Waiter {
        QPointer<QObject> context;
        SnapshotHandler handler;
    };

    // DataControlDevice::Listener
    void offerType(DataControlDevice::OfferId offer, const QString &type) override;
    void selection(DataControlDevice::OfferId offer) override;
    void primarySelection(DataControlDevice::OfferId offer) override;
    void sendRequested(DataControlDevice::SourceId source, const QString &type, int fd) override;
    void sourceCancelled(DataControlDevice::SourceId source) override;
    void deviceFinished() override;

    void start();
    void becomeUnavailable(const QString &reason);
    bool publish();
    // What we offer for the written contents, by MIME type.
    static Representations representationsOf(const Written &written);
    DataControlDevice::SourceId offerSource(std::shared_ptr<const Representations> representations);
    int openRepresentation(DataControlDevice::OfferId offer, const QString &type);
    void startRead();
    void readFinished(OfferReader *reader, std::optional<PasteboardSnapshot> snapshot);
    void abandonRead();
    static void deliver(const Waiter &waiter, std::optional<PasteboardSnapshot> snapshot);

    std::unique_ptr<DataControlDevice> m_device;
    Options m_options;
    QString m_failure;
    // Marks our sources: unique to this pasteboard.
    QString m_ownType;
    qint64 m_changeCount = 0;
    // Counts selection events, so a late empty-clipboard notice can tell it is still current.
    quint64 m_selections = 0;
    bool m_settling = false;

    // Offers announced and not yet placed, with their types.
    std::map<DataControlDevice::OfferId, QStringList> m_announced;
    DataControlDevice::OfferId m_current = 0;
    QStringList m_currentTypes;
    // The clipboard holds our source (or our write is on its way to the compositor).
    bool m_currentIsOurs = false;

    OfferReader *m_reader = nullptr;
    std::vector<Waiter> m_waiters;

    Written m_written;
    std::map<DataControlDevice::SourceId, std::shared_ptr<const Representations>> m_sources;
    bool m_reportedWriteFailure = false;

    // Ends pipe writes still waiting on a reader when we go.
    std::shared_ptr<TransferCancel> m_shutdown;
    QThreadPool m_pool;
};

} // namespace snipbrook
