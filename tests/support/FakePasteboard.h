#pragma once

#include "platform/Pasteboard.h"

#include <QList>

#include <deque>

namespace snipbrook::test {

// An in-memory clipboard. Tests set what "another application" copied with copy(), which bumps
// the change count and emits changed(). Snapshot requests are answered from the event loop (as
// a reader thread would), or held back while `holdSnapshots` is set so tests can order events.
class FakePasteboard : public Pasteboard {
    Q_OBJECT
public:
    using Pasteboard::Pasteboard;

    // Replaces the contents as another application would.
    void copy(PasteboardSnapshot contents);
    void copyText(const QString &text);

    // The contents as they stand, including what the program itself wrote.
    const PasteboardSnapshot &contents() const { return m_contents; }
    // Every write, in order, as "type" names ("text/plain", "image/png", "text/uri-list").
    const QStringList &writeLog() const { return m_writeLog; }

    // While set, requested snapshots wait until releaseSnapshots(); failNextSnapshot makes the
    // next answered request report a failed read.
    bool holdSnapshots = false;
    bool failNextSnapshot = false;
    bool failWrites = false;
    void releaseSnapshots();
    int pendingSnapshotCount() const { return static_cast<int>(m_pending.size()); }
    int snapshotRequestCount() const { return m_requests; }
    // Snapshots handed to their requester so far.
    int deliveredSnapshotCount() const { return m_delivered; }

    qint64 changeCount() const override { return m_changeCount; }
    void requestSnapshot(QObject *context, SnapshotHandler handler) override;
    void clearContents() override;
    bool writeText(const QString &text) override;
    bool writeData(const QString &type, const QByteArray &bytes) override;
    bool writeUrls(const QList<QUrl> &urls) override;
    // Kept apart from the clipboard, as on X11.
    bool writePrimaryText(const QString &text) override;
    std::optional<QString> primaryText;

private:
    void answer(QObject *context, SnapshotHandler handler);

    qint64 m_changeCount = 0;
    PasteboardSnapshot m_contents;
    QStringList m_writeLog;
    std::deque<std::pair<QPointer<QObject>, SnapshotHandler>> m_pending;
    int m_requests = 0;
    int m_delivered = 0;
};

} // namespace snipbrook::test
