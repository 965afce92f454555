#pragma once

#include "platform/wayland/DataControlDevice.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace snipbrook::test {

// A data-control device without a compositor. Tests announce other applications' offers (with
// the bytes each type answers with) and play the compositor's events; our own requests are
// recorded. An offer type without an answer is never written: its pipe stays open, as with an
// owner that hangs.
class FakeDataControlDevice : public DataControlDevice {
public:
    explicit FakeDataControlDevice(bool primarySelection = true) : m_primary(primarySelection) {}
    ~FakeDataControlDevice() override;

    // Another application copies: the offer is announced with its types, then becomes the
    // selection. Returns the offer.
    OfferId copy(const std::vector<std::pair<QString, std::optional<QByteArray>>> &types);
    // The selection becomes empty (its owner quit, or someone emptied it).
    void empty() { m_listener->selection(0); }
    // The compositor confirms our last setSelection: the offer for our own source, as every
    // data-control client sees it.
    void confirmOwnSelection();
    // Someone pastes `type` from our source; returns the read end of its pipe.
    int paste(SourceId source, const QString &type);
    void cancel(SourceId source) { m_listener->sourceCancelled(source); }

    // What we asked for.
    std::vector<std::pair<OfferId, QString>> received;
    std::vector<OfferId> destroyedOffers;
    std::map<SourceId, QStringList> sources;
    std::vector<SourceId> destroyedSources;
    SourceId selectionSource = 0;
    SourceId primarySource = 0;

    // DataControlDevice
    void setListener(Listener *listener) override { m_listener = listener; }
    QString protocolName() const override { return QStringLiteral("fake data-control"); }
    bool supportsPrimarySelection() const override { return m_primary; }
    void receive(OfferId offer, const QString &type, int fd) override;
    void destroyOffer(OfferId offer) override { destroyedOffers.push_back(offer); }
    SourceId createSource(const QStringList &types) override;
    void setSelection(SourceId source) override { selectionSource = source; }
    void setPrimarySelection(SourceId source) override { primarySource = source; }
    void destroySource(SourceId source) override { destroyedSources.push_back(source); }
    void flush() override {}
    bool roundtrip() override { return true; }

private:
    Listener *m_listener = nullptr;
    bool m_primary;
    OfferId m_lastOffer = 0;
    SourceId m_lastSource = 0;
    std::map<OfferId, std::map<QString, std::optional<QByteArray>>> m_answers;
    // Write ends of owners that never answer, closed at the end.
    std::vector<int> m_hung;
};

} // namespace snipbrook::test
