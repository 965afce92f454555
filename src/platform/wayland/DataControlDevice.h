#pragma once

#include "DataControlProtocol.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace snipbrook {

class WaylandConnection;

// One data-control device on the seat, whichever of the two protocols the compositor speaks,
// with offers and sources named by numbers rather than protocol objects. The pasteboard's logic
// sits on this, so it is tested over a fake without a compositor. Main thread only.
class DataControlDevice {
public:
    // 0 is no offer (an empty selection) and no source.
    using OfferId = quint64;
    using SourceId = quint64;

    // The device's events, as they arrive.
    class Listener {
    public:
        virtual ~Listener() = default;
        // A MIME type of an offer; they all come before the offer becomes a selection.
        virtual void offerType(OfferId offer, const QString &type) = 0;
        // The clipboard now holds this offer, or nothing. The previous offer is the listener's to
        // destroy.
        virtual void selection(OfferId offer) = 0;
        // The same for the primary selection.
        virtual void primarySelection(OfferId offer) = 0;
        // Someone pastes from our source: write `type` to `fd` and close it (the listener owns it).
        virtual void sendRequested(SourceId source, const QString &type, int fd) = 0;
        // Our source was replaced; it serves nothing any more and is the listener's to destroy.
        virtual void sourceCancelled(SourceId source) = 0;
        // The device is gone (the seat went away); nothing further arrives.
        virtual void deviceFinished() = 0;
    };

    virtual ~DataControlDevice() = default;

    virtual void setListener(Listener *listener) = 0;
    // The global bound, for log lines.
    virtual QString protocolName() const = 0;
    virtual bool supportsPrimarySelection() const = 0;

    // Asks the offer's owner to write `type` into `fd`; the caller still closes its `fd`.
    virtual void receive(OfferId offer, const QString &type, int fd) = 0;
    virtual void destroyOffer(OfferId offer) = 0;
    virtual SourceId createSource(const QStringList &types) = 0;
    virtual void setSelection(SourceId source) = 0;
    virtual void setPrimarySelection(SourceId source) = 0;
    virtual void destroySource(SourceId source) = 0;
    // Sends queued requests now.
    virtual void flush() = 0;
    // Waits until the compositor has sent what it has to say (the current selection); false when
    // the connection broke.
    virtual bool roundtrip() = 0;
};

struct DataControlOpening {
    std::unique_ptr<DataControlDevice> device;
    // Why there is none, for the log: no data-control (GNOME), no seat, no connection.
    QString failure;
};

// Binds the data-control manager the compositor offers (chooseDataControl) and gets the seat's
// device. The connection must outlive the device.
DataControlOpening openDataControlDevice(WaylandConnection &connection);

} // namespace snipbrook
