#pragma once

#include "SelectionReader.h"
#include "platform/Pasteboard.h"

#include <QColor>

#include <xcb/xproto.h>

#include <map>
#include <memory>

namespace snipbrook {

class SelectionOwnerWatcher;
struct SelectionOwnerChange;

// The X11 CLIPBOARD selection. Changes are seen through XFixes on a connection of our own and
// reach changed() on the main thread at once; snapshots are read by a SelectionReader off the
// main thread; writes go through QClipboard (the toolkit then serves the data), which needs a
// QGuiApplication on the xcb platform. Without a display everything stays inert: the count
// never moves, reads give nothing, writes fail. Call it on the main thread only.
class X11Pasteboard : public Pasteboard {
    Q_OBJECT
public:
    struct Options {
        // Empty: $DISPLAY.
        QString displayName;
        SelectionReader::Limits limits;
    };

    explicit X11Pasteboard(QObject *parent = nullptr);
    explicit X11Pasteboard(Options options, QObject *parent = nullptr);
    ~X11Pasteboard() override;

    // The X clipboard is watched and can be read.
    bool isConnected() const { return m_watcher != nullptr; }

    qint64 changeCount() const override { return m_changeCount; }
    void requestSnapshot(QObject *context, SnapshotHandler handler) override;
    void clearContents() override;
    bool writeText(const QString &text) override;
    bool writeData(const QString &type, const QByteArray &bytes) override;
    bool writeUrls(const QList<QUrl> &urls) override;
    // PRIMARY is served by the toolkit too; it is not watched, so the change count stays.
    bool writePrimaryText(const QString &text) override;

private:
    // What this program has written since the last clear; every write publishes all of it.
    struct Written {
        std::optional<QString> text;
        std::optional<QList<QUrl>> urls;
        std::optional<QColor> color;
        std::map<QString, QByteArray> data;
    };

    void onOwnerChange(const SelectionOwnerChange &change, quint64 generation);
    bool publish();

    std::unique_ptr<SelectionReader> m_reader;
    std::unique_ptr<SelectionOwnerWatcher> m_watcher;
    qint64 m_changeCount = 0;
    // The reader's owner generation as far as the main thread has taken notice of it.
    quint64 m_seenGeneration = 0;
    // The toolkit's selection window once we have written; its ownership events were counted
    // when the write was made.
    xcb_window_t m_ownOwner = XCB_WINDOW_NONE;
    Written m_written;
    bool m_reportedWriteFailure = false;
};

} // namespace snipbrook
