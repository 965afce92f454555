#pragma once

#include "platform/wayland/DataControlDevice.h"
#include "platform/wayland/DataControlPasteboard.h"

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace snipbrook::test {

// A data-control device without a compositor. Tests announce other applications' offers (with
// the bytes each type answers with; none: an owner that hangs) and play the compositor's events;
// our own requests are recorded.
class FakeDataControlDevice : public DataControlDevice {
public:
    explicit FakeDataControlDevice(bool primarySelection = true) : m_primary(primarySelection) {}
    ~FakeDataControlDevice() override;

    // Another application copies: the offer is announced with its types, then becomes the selection.
    OfferId copy(const std::vector<std::pair<QString, std::optional<QByteArray>>> &types);
    // The selection becomes empty (its owner quit, or someone emptied it).
    void empty() { m_listener->selection(0); }
    // The compositor confirms our last setSelection: an offer for our own source.
    void confirmOwnSelection();
    // Someone pastes `type` from our source; returns the read end of its pipe.
    int paste(SourceId source, const QString &type);
    void cancel(SourceId source) { m_listener->sourceCancelled(source); }

    // What we asked for.
    QStringList received;
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

// A pasteboard over the fake device.
class DataControlPasteboardTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void open(bool primarySelection = true, PipeLimits limits = {std::chrono::milliseconds(100)});
    // Nothing when the read failed; fails the test if the handler never ran.
    std::optional<PasteboardSnapshot> read();
    // What another application pasting `type` from one of our sources gets.
    QByteArray paste(const QString &type, DataControlDevice::SourceId source = 0);

    std::unique_ptr<DataControlPasteboard> pasteboard;
    FakeDataControlDevice *device = nullptr;
};

} // namespace snipbrook::test
