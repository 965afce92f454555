#include "FakeDataControlDevice.h"
#include "platform/wayland/PipeTransfer.h"
#include "support/WaitFor.h"

#include <fcntl.h>
#include <unistd.h>

namespace snipbrook::test {

FakeDataControlDevice::~FakeDataControlDevice()
{
    for (int fd : m_hung)
        ::close(fd);
}

DataControlDevice::OfferId FakeDataControlDevice::copy(
    const std::vector<std::pair<QString, std::optional<QByteArray>>> &types)
{
    const OfferId offer = ++m_lastOffer;
    for (const auto &[type, answer] : types) {
        m_answers[offer][type] = answer;
        m_listener->offerType(offer, type);
    }
    m_listener->selection(offer);
    return offer;
}

void FakeDataControlDevice::confirmOwnSelection()
{
    const OfferId offer = ++m_lastOffer;
    for (const QString &type : sources.at(selectionSource))
        m_listener->offerType(offer, type);
    m_listener->selection(offer);
}

int FakeDataControlDevice::paste(SourceId source, const QString &type)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    m_listener->sendRequested(source, type, fds[1]);
    return fds[0];
}

void FakeDataControlDevice::receive(OfferId offer, const QString &type, int fd)
{
    received.append(type);
    // The caller closes its descriptor; the owner holds its own copy, as over the wire.
    const int owner = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    const std::optional<QByteArray> answer = m_answers[offer][type];
    if (!answer) {
        m_hung.push_back(owner);
        return;
    }
    // Small answers fit the pipe's buffer, so the owner writes them at once.
    [[maybe_unused]] const ssize_t written = ::write(owner, answer->constData(), static_cast<size_t>(answer->size()));
    ::close(owner);
}

DataControlDevice::SourceId FakeDataControlDevice::createSource(const QStringList &types)
{
    const SourceId source = ++m_lastSource;
    sources[source] = types;
    return source;
}

void DataControlPasteboardTest::open(bool primarySelection, PipeLimits limits)
{
    auto fake = std::make_unique<FakeDataControlDevice>(primarySelection);
    device = fake.get();
    pasteboard = std::make_unique<DataControlPasteboard>(std::move(fake), DataControlPasteboard::Options{{limits}});
}

std::optional<PasteboardSnapshot> DataControlPasteboardTest::read()
{
    QObject context;
    bool done = false;
    std::optional<PasteboardSnapshot> result;
    pasteboard->requestSnapshot(&context, [&](std::optional<PasteboardSnapshot> snapshot) {
        done = true;
        result = std::move(snapshot);
    });
    EXPECT_TRUE(waitFor([&] { return done; })) << "the handler never ran";
    return result;
}

QByteArray DataControlPasteboardTest::paste(const QString &type, DataControlDevice::SourceId source)
{
    const PipeRead read = readPipe(device->paste(source ? source : device->selectionSource, type), PipeLimits{},
                                   std::chrono::steady_clock::now() + std::chrono::seconds(10));
    EXPECT_EQ(read.status, PipeStatus::complete);
    return read.bytes;
}

} // namespace snipbrook::test
