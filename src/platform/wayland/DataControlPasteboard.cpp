#include "DataControlPasteboard.h"

#include "WaylandConnection.h"
#include "core/Async.h"
#include "model/Diagnostics.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

namespace snipbrook {
namespace {

// Text is offered under every name Wayland and X11 (through XWayland) applications ask for.
const QStringList utf8TextTypes{QStringLiteral("text/plain;charset=utf-8"), mime::plainText,
                                QStringLiteral("UTF8_STRING"), QStringLiteral("TEXT")};
const QString latin1TextType = QStringLiteral("STRING");

QString urlsAsText(const QList<QUrl> &urls)
{
    QStringList lines;
    for (const QUrl &url : urls)
        lines.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    return lines.join(QLatin1Char('\n'));
}

QString ownTypeName()
{
    static std::atomic<int> pasteboards{0};
    return QStringLiteral("application/x-snipbrook-source-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++pasteboards);
}

void addText(std::map<QString, QByteArray> &representations, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const QString &type : utf8TextTypes)
        representations[type] = utf8;
    representations[latin1TextType] = text.toLatin1();
}

} // namespace

DataControlPasteboard::DataControlPasteboard(WaylandConnection &connection, Options options, QObject *parent)
    : Pasteboard(parent), m_options(options)
{
    DataControlOpening opening = openDataControlDevice(connection);
    m_device = std::move(opening.device);
    m_failure = opening.failure;
    connect(&connection, &WaylandConnection::disconnected, this,
            [this, &connection] { becomeUnavailable(connection.failureReason()); });
    start();
}

DataControlPasteboard::DataControlPasteboard(std::unique_ptr<DataControlDevice> device, Options options,
                                             QObject *parent)
    : Pasteboard(parent), m_device(std::move(device)), m_options(options)
{
    if (!m_device && m_failure.isEmpty())
        m_failure = QStringLiteral("no data-control device");
    start();
}

void DataControlPasteboard::start()
{
    m_ownType = ownTypeName();
    m_shutdown = std::make_shared<TransferCancel>();
    // Transfers wait on other applications; a few at once, never the program's background pool.
    m_pool.setMaxThreadCount(4);
    if (!isAvailable()) {
        diag(QStringLiteral("⚠️ The Wayland clipboard is not watched: ") + m_failure);
        return;
    }
    m_device->setListener(this);
    // The compositor answers a new device with the current selection: it is where we start, not
    // a change.
    m_settling = true;
    if (!m_device->roundtrip())
        becomeUnavailable(QStringLiteral("the connection to the compositor broke"));
    m_settling = false;
    if (isAvailable())
        diag(QStringLiteral("ℹ️ The Wayland clipboard is watched through ") + m_device->protocolName());
}

DataControlPasteboard::~DataControlPasteboard()
{
    m_shutdown->cancel();
    abandonRead();
    delete m_reader;
    m_pool.waitForDone();
    m_device.reset();
}

void DataControlPasteboard::becomeUnavailable(const QString &reason)
{
    if (!m_failure.isEmpty())
        return;
    m_failure = reason.isEmpty() ? QStringLiteral("the connection to the compositor broke") : reason;
    diag(QStringLiteral("⚠️ The Wayland clipboard is no longer watched: ") + m_failure);
    abandonRead();
}

// --- Changes --------------------------------------------------------------------------------

void DataControlPasteboard::offerType(DataControlDevice::OfferId offer, const QString &type)
{
    m_announced[offer].append(type);
}

void DataControlPasteboard::selection(DataControlDevice::OfferId offer)
{
    QStringList types;
    if (const auto it = m_announced.find(offer); it != m_announced.end()) {
        types = std::move(it->second);
        m_announced.erase(it);
    }
    const bool ours = offer != 0 && types.contains(m_ownType);
    const bool replacedOurs = m_currentIsOurs;
    // A read of the old offer gets nothing (a newer change is on its way); only now may the offer
    // go, since its read no longer asks for anything.
    abandonRead();
    if (m_current)
        m_device->destroyOffer(m_current);
    m_current = offer;
    m_currentTypes = types;
    m_currentIsOurs = ours;
    ++m_selections;
    // Our own writes were counted when made.
    if (m_settling || ours)
        return;
    ++m_changeCount;
    const bool emptied = offer == 0 && !replacedOurs;
    const quint64 selections = m_selections;
    // Signals leave the compositor's event dispatch first: their slots may write or read at once.
    QMetaObject::invokeMethod(
        this,
        [this, emptied, selections] {
            emit changed();
            // Only a clipboard that is still empty is worth filling again.
            if (emptied && m_selections == selections && m_current == 0 && !m_currentIsOurs)
                emit becameEmpty();
        },
        Qt::QueuedConnection);
}

void DataControlPasteboard::primarySelection(DataControlDevice::OfferId offer)
{
    // The primary selection is written, never watched.
    m_announced.erase(offer);
    if (offer)
        m_device->destroyOffer(offer);
}

void DataControlPasteboard::deviceFinished()
{
    becomeUnavailable(QStringLiteral("the compositor withdrew the clipboard device (the seat went away)"));
}

// --- Reading --------------------------------------------------------------------------------

void DataControlPasteboard::requestSnapshot(QObject *context, SnapshotHandler handler)
{
    Waiter waiter{context, std::move(handler)};
    if (!isAvailable()) {
        deliver(waiter, std::nullopt);
        return;
    }
    if (m_currentIsOurs) {
        deliver(waiter, snapshotOfRepresentations(representationsOf(m_written)));
        return;
    }
    if (m_current == 0) {
        deliver(waiter, PasteboardSnapshot{});
        return;
    }
    // Requests that wait together share one read.
    m_waiters.push_back(std::move(waiter));
    if (!m_reader)
        startRead();
}

void DataControlPasteboard::startRead()
{
    const DataControlDevice::OfferId offer = m_current;
    m_reader = new OfferReader(
        m_currentTypes, [this, offer](const QString &type) { return openRepresentation(offer, type); }, m_pool,
        m_options.limits, this);
    OfferReader *reader = m_reader;
    reader->start([this, reader](std::optional<PasteboardSnapshot> snapshot) {
        readFinished(reader, std::move(snapshot));
    });
}

int DataControlPasteboard::openRepresentation(DataControlDevice::OfferId offer, const QString &type)
{
    if (offer != m_current || !isAvailable())
        return -1;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        diag(QStringLiteral("❌ No pipe for reading the clipboard: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    m_device->receive(offer, type, fds[1]);
    // The request holds its own copy of the write end; ours must go or the read never ends.
    ::close(fds[1]);
    m_device->flush();
    return fds[0];
}

void DataControlPasteboard::readFinished(OfferReader *reader, std::optional<PasteboardSnapshot> snapshot)
{
    if (reader != m_reader)
        return; // abandoned; its waiters were answered then
    m_reader = nullptr;
    reader->deleteLater();
    for (const Waiter &waiter : std::exchange(m_waiters, {}))
        deliver(waiter, snapshot);
}

void DataControlPasteboard::abandonRead()
{
    OfferReader *reader = std::exchange(m_reader, nullptr);
    const std::vector<Waiter> waiters = std::exchange(m_waiters, {});
    if (reader) {
        reader->abandon();
        reader->deleteLater();
    }
    for (const Waiter &waiter : waiters)
        deliver(waiter, std::nullopt);
}

void DataControlPasteboard::deliver(const Waiter &waiter, std::optional<PasteboardSnapshot> snapshot)
{
    // Posted to the context: it runs on the context's thread, later, and not at all once the
    // context is gone.
    if (!waiter.context)
        return;
    QMetaObject::invokeMethod(
        waiter.context.data(),
        [handler = waiter.handler, snapshot = std::move(snapshot)]() mutable { handler(std::move(snapshot)); },
        Qt::QueuedConnection);
}

// --- Writing --------------------------------------------------------------------------------

void DataControlPasteboard::clearContents()
{
    m_written = {};
    publish();
}

bool DataControlPasteboard::writeText(const QString &text)
{
    m_written.text = text;
    return publish();
}

bool DataControlPasteboard::writeData(const QString &type, const QByteArray &bytes)
{
    m_written.data[type] = bytes;
    return publish();
}

bool DataControlPasteboard::writeUrls(const QList<QUrl> &urls)
{
    m_written.urls = urls;
    return publish();
}

bool DataControlPasteboard::writePrimaryText(const QString &text)
{
    if (!isAvailable() || !m_device->supportsPrimarySelection())
        return false;
    auto representations = std::make_shared<Representations>();
    addText(*representations, text);
    m_device->setPrimarySelection(offerSource(std::move(representations)));
    m_device->flush();
    return true;
}

bool DataControlPasteboard::publish()
{
    if (!isAvailable()) {
        // Said once: a desktop without data-control would otherwise repeat it on every copy.
        if (!m_reportedWriteFailure)
            diag(QStringLiteral("⚠️ Nothing is written to the Wayland clipboard: ") + m_failure);
        m_reportedWriteFailure = true;
        return false;
    }
    m_device->setSelection(offerSource(std::make_shared<const Representations>(representationsOf(m_written))));
    m_device->flush();
    // The compositor's selection event for it follows; until then reads answer from what we
    // wrote, and a read of the replaced offer is stale.
    m_currentIsOurs = true;
    abandonRead();
    ++m_changeCount;
    emit changed();
    return true;
}

DataControlPasteboard::Representations DataControlPasteboard::representationsOf(const Written &written)
{
    Representations representations;
    if (written.urls) {
        representations[mime::uriList] =
            QUrl::toStringList(*written.urls, QUrl::FullyEncoded).join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
        if (!written.text)
            addText(representations, urlsAsText(*written.urls));
    }
    if (written.text)
        addText(representations, *written.text);
    for (const auto &[type, bytes] : written.data)
        representations[type] = bytes;
    return representations;
}

DataControlDevice::SourceId DataControlPasteboard::offerSource(std::shared_ptr<const Representations> representations)
{
    QStringList types;
    for (const auto &[type, bytes] : *representations)
        types.append(type);
    types.append(m_ownType);
    const DataControlDevice::SourceId source = m_device->createSource(types);
    m_sources[source] = std::move(representations);
    return source;
}

void DataControlPasteboard::sendRequested(DataControlDevice::SourceId source, const QString &type, int fd)
{
    QByteArray bytes;
    if (const auto it = m_sources.find(source); it != m_sources.end()) {
        if (const auto found = it->second->find(type); found != it->second->end())
            bytes = found->second;
    }
    // The pasting application may be slow or never read: the main thread does not wait for it.
    const std::chrono::milliseconds stepTimeout = m_options.limits.pipe.stepTimeout;
    std::shared_ptr<TransferCancel> shutdown = m_shutdown;
    runOnPool(m_pool, [fd, bytes, stepTimeout, shutdown] {
        if (writePipe(fd, bytes, stepTimeout, shutdown.get()) == PipeStatus::timedOut)
            diag(QStringLiteral("⚠️ An application pasting from us stopped reading; the paste was cut short"));
    });
}

void DataControlPasteboard::sourceCancelled(DataControlDevice::SourceId source)
{
    m_sources.erase(source);
    m_device->destroySource(source);
}

} // namespace snipbrook
