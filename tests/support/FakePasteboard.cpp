#include "FakePasteboard.h"

#include <QTimer>

namespace snipbrook::test {

void FakePasteboard::copy(PasteboardSnapshot contents)
{
    m_contents = std::move(contents);
    ++m_changeCount;
    emit changed();
}

void FakePasteboard::copyText(const QString &text)
{
    PasteboardSnapshot snapshot;
    snapshot.text = text;
    copy(std::move(snapshot));
}

void FakePasteboard::requestSnapshot(QObject *context, SnapshotHandler handler)
{
    ++m_requests;
    if (holdSnapshots) {
        m_pending.emplace_back(context, std::move(handler));
        return;
    }
    answer(context, std::move(handler));
}

void FakePasteboard::releaseSnapshots()
{
    holdSnapshots = false;
    while (!m_pending.empty()) {
        auto [context, handler] = std::move(m_pending.front());
        m_pending.pop_front();
        if (context)
            answer(context, std::move(handler));
    }
}

void FakePasteboard::answer(QObject *context, SnapshotHandler handler)
{
    std::optional<PasteboardSnapshot> snapshot;
    if (failNextSnapshot)
        failNextSnapshot = false;
    else
        snapshot = m_contents;
    // Delivered later from the event loop, as the real reader thread would.
    QTimer::singleShot(0, context, [this, handler = std::move(handler), snapshot = std::move(snapshot)] {
        ++m_delivered;
        handler(snapshot);
    });
}

void FakePasteboard::clearContents()
{
    m_contents = {};
    ++m_changeCount;
    emit changed();
}

bool FakePasteboard::writeText(const QString &text)
{
    if (failWrites)
        return false;
    m_contents.text = text;
    m_writeLog.append(mime::plainText);
    return true;
}

bool FakePasteboard::writeData(const QString &type, const QByteArray &bytes)
{
    if (failWrites)
        return false;
    m_contents.data[type] = bytes;
    m_writeLog.append(type);
    return true;
}

bool FakePasteboard::writeUrls(const QList<QUrl> &urls)
{
    if (failWrites)
        return false;
    m_contents.urls = urls;
    m_writeLog.append(mime::uriList);
    return true;
}

bool FakePasteboard::writePrimaryText(const QString &text)
{
    if (failWrites)
        return false;
    primaryText = text;
    return true;
}

} // namespace snipbrook::test
