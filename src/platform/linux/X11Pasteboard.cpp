#include "X11Pasteboard.h"

#include "SelectionOwnerWatcher.h"
#include "model/Diagnostics.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cstring>

namespace snipbrook {
namespace {

std::optional<QColor> decodeColor(const QByteArray &bytes)
{
    if (bytes.size() == 8) {
        quint16 rgba[4];
        std::memcpy(rgba, bytes.constData(), sizeof rgba);
        return QColor::fromRgba64(rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    const QColor named = QColor::fromString(QString::fromUtf8(bytes).trimmed());
    return named.isValid() ? std::optional(named) : std::nullopt;
}

} // namespace

X11Pasteboard::X11Pasteboard(QObject *parent) : X11Pasteboard(Options{}, parent) {}

X11Pasteboard::X11Pasteboard(Options options, QObject *parent) : Pasteboard(parent)
{
    m_reader = std::make_unique<SelectionReader>(options.displayName, options.limits);
    if (!m_reader->isRunning()) {
        diag(QStringLiteral("⚠️ No X display, the clipboard is not watched: ")
             + (!options.displayName.isEmpty()     ? options.displayName
                : qEnvironmentVariableIsEmpty("DISPLAY") ? QStringLiteral("$DISPLAY (unset)")
                                                         : qEnvironmentVariable("DISPLAY"))
             + QStringLiteral(" (") + m_reader->failure() + QStringLiteral(")"));
        m_reader.reset();
        return;
    }
    SelectionReader *reader = m_reader.get();
    auto watcher = std::make_unique<SelectionOwnerWatcher>(
        options.displayName, [this, reader](const SelectionOwnerChange &change) {
            // The reader hears first, so a read stuck on the old owner ends at once.
            const quint64 generation = reader->ownerChanged();
            QMetaObject::invokeMethod(
                this, [this, change, generation] { onOwnerChange(change, generation); }, Qt::QueuedConnection);
        });
    if (!watcher->isWatching()) {
        diag(QStringLiteral("⚠️ Clipboard changes cannot be watched: ") + watcher->failure());
        m_reader.reset();
        return;
    }
    m_watcher = std::move(watcher);
}

X11Pasteboard::~X11Pasteboard()
{
    // The watcher feeds the reader, so it stops first.
    m_watcher.reset();
    m_reader.reset();
}

void X11Pasteboard::onOwnerChange(const SelectionOwnerChange &change, quint64 generation)
{
    m_seenGeneration = generation;
    if (!change.ownerQuit && change.owner != XCB_WINDOW_NONE && change.owner == m_ownOwner)
        return;
    ++m_changeCount;
    emit changed();
    // Only a clipboard that is still empty is worth filling again.
    if (change.ownerQuit && m_watcher && m_watcher->currentOwner() == XCB_WINDOW_NONE)
        emit becameEmpty();
}

void X11Pasteboard::requestSnapshot(QObject *context, SnapshotHandler handler)
{
    QPointer<QObject> guard(context);
    if (!m_reader) {
        QTimer::singleShot(0, this, [guard, handler = std::move(handler)] {
            if (guard)
                handler(std::nullopt);
        });
        return;
    }
    m_reader->read(m_seenGeneration, [this, guard, handler = std::move(handler)](
                                         std::optional<PasteboardSnapshot> snapshot) mutable {
        // On the reader thread: hand over to the main thread, which alone may look at `guard`.
        QMetaObject::invokeMethod(
            this,
            [guard, handler = std::move(handler), snapshot = std::move(snapshot)]() mutable {
                if (!guard)
                    return;
                if (guard->thread() == QThread::currentThread()) {
                    handler(std::move(snapshot));
                    return;
                }
                QMetaObject::invokeMethod(
                    guard.data(),
                    [handler = std::move(handler), snapshot = std::move(snapshot)]() mutable {
                        handler(std::move(snapshot));
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    });
}

void X11Pasteboard::clearContents()
{
    m_written = {};
    publish();
}

bool X11Pasteboard::writeText(const QString &text)
{
    m_written.text = text;
    return publish();
}

bool X11Pasteboard::writeData(const QString &type, const QByteArray &bytes)
{
    if (type == mime::color) {
        // The toolkit serves colours from a QColor, never from raw bytes.
        const std::optional<QColor> color = decodeColor(bytes);
        if (!color) {
            diag(QStringLiteral("⚠️ Unreadable colour data, not written to the clipboard: ")
                 + QString::number(bytes.size()) + QStringLiteral(" bytes"));
            return false;
        }
        m_written.color = color;
    } else {
        m_written.data[type] = bytes;
    }
    return publish();
}

bool X11Pasteboard::writeUrls(const QList<QUrl> &urls)
{
    m_written.urls = urls;
    return publish();
}

bool X11Pasteboard::writePrimaryText(const QString &text)
{
    if (!m_watcher || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        return false;
    clipboard->setText(text, QClipboard::Selection);
    return true;
}

bool X11Pasteboard::publish()
{
    const auto fail = [this](const QString &line) {
        // Said once: a program without a display would otherwise repeat it on every copy.
        if (!m_reportedWriteFailure)
            diag(line);
        m_reportedWriteFailure = true;
        return false;
    };
    if (!m_watcher)
        return fail(QStringLiteral("⚠️ No X display, nothing is written to the clipboard"));
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("⚠️ Writing the clipboard needs a GUI application, nothing written"));

    const std::optional<xcb_window_t> previousOwner = m_watcher->currentOwner();
    auto *data = new QMimeData;
    if (m_written.text)
        data->setText(*m_written.text);
    if (m_written.urls)
        data->setUrls(*m_written.urls);
    if (m_written.color)
        data->setColorData(*m_written.color);
    for (const auto &[type, bytes] : m_written.data)
        data->setData(type, bytes);
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);

    // The toolkit does not report a refused ownership (its timestamp may be older than the last
    // owner's), so ask the server: the owner must now be the toolkit's window, a new one or ours.
    const std::optional<xcb_window_t> owner = m_watcher->currentOwner();
    if (!owner || *owner == XCB_WINDOW_NONE || (*owner == previousOwner && *owner != m_ownOwner)) {
        diag(QStringLiteral("❌ Could not take over the X clipboard"));
        return false;
    }
    m_ownOwner = *owner;
    ++m_changeCount;
    emit changed();
    return true;
}

} // namespace snipbrook
