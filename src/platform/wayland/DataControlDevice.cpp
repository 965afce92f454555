#include "DataControlDevice.h"

#include "WaylandConnection.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <unistd.h>

#include <map>

namespace snipbrook {
namespace {

// The two protocols have the same requests and events under different names.
struct ExtProtocol {
    using Manager = ext_data_control_manager_v1;
    using Device = ext_data_control_device_v1;
    using Source = ext_data_control_source_v1;
    using Offer = ext_data_control_offer_v1;
    using DeviceListener = ext_data_control_device_v1_listener;
    using SourceListener = ext_data_control_source_v1_listener;
    using OfferListener = ext_data_control_offer_v1_listener;
    static const wl_interface *managerInterface() { return &ext_data_control_manager_v1_interface; }
    static Device *getDevice(Manager *m, wl_seat *seat) { return ext_data_control_manager_v1_get_data_device(m, seat); }
    static Source *createSource(Manager *m) { return ext_data_control_manager_v1_create_data_source(m); }
    static void destroyManager(Manager *m) { ext_data_control_manager_v1_destroy(m); }
    static void addListener(Device *d, const DeviceListener *l, void *data) { ext_data_control_device_v1_add_listener(d, l, data); }
    static void setSelection(Device *d, Source *s) { ext_data_control_device_v1_set_selection(d, s); }
    static void setPrimarySelection(Device *d, Source *s) { ext_data_control_device_v1_set_primary_selection(d, s); }
    static void destroyDevice(Device *d) { ext_data_control_device_v1_destroy(d); }
    static void addListener(Source *s, const SourceListener *l, void *data) { ext_data_control_source_v1_add_listener(s, l, data); }
    static void offer(Source *s, const char *type) { ext_data_control_source_v1_offer(s, type); }
    static void destroySource(Source *s) { ext_data_control_source_v1_destroy(s); }
    static void addListener(Offer *o, const OfferListener *l, void *data) { ext_data_control_offer_v1_add_listener(o, l, data); }
    static void receive(Offer *o, const char *type, int fd) { ext_data_control_offer_v1_receive(o, type, fd); }
    static void destroyOffer(Offer *o) { ext_data_control_offer_v1_destroy(o); }
};

struct WlrProtocol {
    using Manager = zwlr_data_control_manager_v1;
    using Device = zwlr_data_control_device_v1;
    using Source = zwlr_data_control_source_v1;
    using Offer = zwlr_data_control_offer_v1;
    using DeviceListener = zwlr_data_control_device_v1_listener;
    using SourceListener = zwlr_data_control_source_v1_listener;
    using OfferListener = zwlr_data_control_offer_v1_listener;
    static const wl_interface *managerInterface() { return &zwlr_data_control_manager_v1_interface; }
    static Device *getDevice(Manager *m, wl_seat *seat) { return zwlr_data_control_manager_v1_get_data_device(m, seat); }
    static Source *createSource(Manager *m) { return zwlr_data_control_manager_v1_create_data_source(m); }
    static void destroyManager(Manager *m) { zwlr_data_control_manager_v1_destroy(m); }
    static void addListener(Device *d, const DeviceListener *l, void *data) { zwlr_data_control_device_v1_add_listener(d, l, data); }
    static void setSelection(Device *d, Source *s) { zwlr_data_control_device_v1_set_selection(d, s); }
    static void setPrimarySelection(Device *d, Source *s) { zwlr_data_control_device_v1_set_primary_selection(d, s); }
    static void destroyDevice(Device *d) { zwlr_data_control_device_v1_destroy(d); }
    static void addListener(Source *s, const SourceListener *l, void *data) { zwlr_data_control_source_v1_add_listener(s, l, data); }
    static void offer(Source *s, const char *type) { zwlr_data_control_source_v1_offer(s, type); }
    static void destroySource(Source *s) { zwlr_data_control_source_v1_destroy(s); }
    static void addListener(Offer *o, const OfferListener *l, void *data) { zwlr_data_control_offer_v1_add_listener(o, l, data); }
    static void receive(Offer *o, const char *type, int fd) { zwlr_data_control_offer_v1_receive(o, type, fd); }
    static void destroyOffer(Offer *o) { zwlr_data_control_offer_v1_destroy(o); }
};

template <typename P>
class WaylandDataControlDevice final : public DataControlDevice {
public:
    WaylandDataControlDevice(WaylandConnection &connection, DataControlChoice choice, typename P::Manager *manager)
        : m_connection(connection), m_choice(choice), m_manager(manager)
    {
        m_device = P::getDevice(m_manager, connection.seat());
        P::addListener(m_device, &deviceListener, this);
    }

    ~WaylandDataControlDevice() override
    {
        for (auto &[id, offer] : m_offers)
            P::destroyOffer(offer.proxy);
        for (auto &[id, source] : m_sources)
            P::destroySource(source.proxy);
        if (m_device)
            P::destroyDevice(m_device);
        P::destroyManager(m_manager);
        m_connection.flush();
    }

    void setListener(Listener *listener) override { m_listener = listener; }
    QString protocolName() const override
    {
        return m_choice.interfaceName() + QStringLiteral(" v") + QString::number(m_choice.version);
    }
    bool supportsPrimarySelection() const override { return m_choice.supportsPrimarySelection(); }

    void receive(OfferId offer, const QString &type, int fd) override
    {
        if (const auto it = m_offers.find(offer); it != m_offers.end())
            P::receive(it->second.proxy, type.toUtf8().constData(), fd);
    }

    void destroyOffer(OfferId offer) override
    {
        if (const auto it = m_offers.find(offer); it != m_offers.end()) {
            P::destroyOffer(it->second.proxy);
            m_offers.erase(it);
        }
    }

    SourceId createSource(const QStringList &types) override
    {
        typename P::Source *proxy = P::createSource(m_manager);
        const SourceId id = ++m_lastSource;
        auto &record = m_sources[id];
        record = {this, id, proxy};
        P::addListener(proxy, &sourceListener, &record);
        for (const QString &type : types)
            P::offer(proxy, type.toUtf8().constData());
        return id;
    }

    void setSelection(SourceId source) override
    {
        if (m_device)
            P::setSelection(m_device, sourceProxy(source));
    }

    void setPrimarySelection(SourceId source) override
    {
        if (m_device && supportsPrimarySelection())
            P::setPrimarySelection(m_device, sourceProxy(source));
    }

    void destroySource(SourceId source) override
    {
        if (const auto it = m_sources.find(source); it != m_sources.end()) {
            P::destroySource(it->second.proxy);
            m_sources.erase(it);
        }
    }

    void flush() override { m_connection.flush(); }
    bool roundtrip() override { return m_connection.roundtrip(); }

private:
    struct OfferRecord {
        WaylandDataControlDevice *device = nullptr;
        OfferId id = 0;
        typename P::Offer *proxy = nullptr;
    };
    struct SourceRecord {
        WaylandDataControlDevice *device = nullptr;
        SourceId id = 0;
        typename P::Source *proxy = nullptr;
    };

    typename P::Source *sourceProxy(SourceId source) const
    {
        const auto it = m_sources.find(source);
        return it == m_sources.end() ? nullptr : it->second.proxy;
    }

    OfferId idOf(typename P::Offer *proxy) const
    {
        for (const auto &[id, offer] : m_offers) {
            if (offer.proxy == proxy)
                return id;
        }
        return 0;
    }

    static void onDataOffer(void *data, typename P::Device *, typename P::Offer *proxy)
    {
        auto *self = static_cast<WaylandDataControlDevice *>(data);
        const OfferId id = ++self->m_lastOffer;
        auto &record = self->m_offers[id];
        record = {self, id, proxy};
        P::addListener(proxy, &offerListener, &record);
    }
    static void onSelection(void *data, typename P::Device *, typename P::Offer *proxy)
    {
        auto *self = static_cast<WaylandDataControlDevice *>(data);
        if (self->m_listener)
            self->m_listener->selection(proxy ? self->idOf(proxy) : 0);
    }
    static void onPrimarySelection(void *data, typename P::Device *, typename P::Offer *proxy)
    {
        auto *self = static_cast<WaylandDataControlDevice *>(data);
        if (self->m_listener)
            self->m_listener->primarySelection(proxy ? self->idOf(proxy) : 0);
    }
    static void onFinished(void *data, typename P::Device *)
    {
        auto *self = static_cast<WaylandDataControlDevice *>(data);
        P::destroyDevice(self->m_device);
        self->m_device = nullptr;
        if (self->m_listener)
            self->m_listener->deviceFinished();
    }
    static void onOfferType(void *data, typename P::Offer *, const char *type)
    {
        auto *record = static_cast<OfferRecord *>(data);
        if (record->device->m_listener)
            record->device->m_listener->offerType(record->id, QString::fromUtf8(type));
    }
    static void onSend(void *data, typename P::Source *, const char *type, int32_t fd)
    {
        auto *record = static_cast<SourceRecord *>(data);
        if (record->device->m_listener)
            record->device->m_listener->sendRequested(record->id, QString::fromUtf8(type), fd);
        else
            ::close(fd);
    }
    static void onCancelled(void *data, typename P::Source *)
    {
        auto *record = static_cast<SourceRecord *>(data);
        if (record->device->m_listener)
            record->device->m_listener->sourceCancelled(record->id);
    }

    static constexpr typename P::DeviceListener deviceListener = {&onDataOffer, &onSelection, &onFinished,
                                                                  &onPrimarySelection};
    static constexpr typename P::SourceListener sourceListener = {&onSend, &onCancelled};
    static constexpr typename P::OfferListener offerListener = {&onOfferType};

    WaylandConnection &m_connection;
    DataControlChoice m_choice;
    typename P::Manager *m_manager = nullptr;
    typename P::Device *m_device = nullptr;
    Listener *m_listener = nullptr;
    // Records live in maps of stable nodes: the protocol objects point at them.
    std::map<OfferId, OfferRecord> m_offers;
    std::map<SourceId, SourceRecord> m_sources;
    OfferId m_lastOffer = 0;
    SourceId m_lastSource = 0;
};

template <typename P>
std::unique_ptr<DataControlDevice> open(WaylandConnection &connection, DataControlChoice choice)
{
    auto *manager = static_cast<typename P::Manager *>(connection.bind(P::managerInterface(), choice.version));
    if (!manager)
        return nullptr;
    return std::make_unique<WaylandDataControlDevice<P>>(connection, choice, manager);
}

} // namespace

DataControlOpening openDataControlDevice(WaylandConnection &connection)
{
    if (!connection.isValid())
        return {nullptr, connection.failureReason()};
    const DataControlChoice choice = chooseDataControl(connection.globals());
    if (choice.protocol == DataControlChoice::Protocol::none)
        return {nullptr, QStringLiteral("the compositor offers no data-control protocol (GNOME's compositor has none)")};
    if (!connection.seat())
        return {nullptr, QStringLiteral("the compositor announced no seat")};
    std::unique_ptr<DataControlDevice> device = choice.protocol == DataControlChoice::Protocol::ext
                                                    ? open<ExtProtocol>(connection, choice)
                                                    : open<WlrProtocol>(connection, choice);
    if (!device)
        return {nullptr, QStringLiteral("could not bind ") + choice.interfaceName()};
    return {std::move(device), {}};
}

} // namespace snipbrook
