#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <optional>

namespace snipbrook {

// MIME names of the representations the reader and the write-back use.
namespace mime {
inline const QString png = QStringLiteral("image/png");
inline const QString jpeg = QStringLiteral("image/jpeg");
inline const QString tiff = QStringLiteral("image/tiff");
inline const QString uriList = QStringLiteral("text/uri-list");
inline const QString gnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
inline const QString plainText = QStringLiteral("text/plain");
// Four 16-bit unsigned components red, green, blue, alpha in native byte order, as X11
// toolkits exchange colours.
inline const QString color = QStringLiteral("application/x-color");
// Password managers mark secrets with one of these, value "secret".
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
inline const QString passwordManagerHintText = QStringLiteral("text/x-kde-passwordManagerHint");
} // namespace mime

// The clipboard's representations as read once for one change. Taken off the main thread on
// X11, so the reader works on this value and never waits on the copying application.
struct PasteboardSnapshot {
    // Raw bytes by MIME type, for the types the reader asks for.
    std::map<QString, QByteArray> data;
    // The items readable as URLs; nothing when the clipboard offered none.
    std::optional<QList<QUrl>> urls;
    // The plain-text representation, or nothing.
    std::optional<QString> text;
    // The copying application marked the content as secret (password-manager hint).
    bool isSecret = false;

    std::optional<QByteArray> dataForType(const QString &type) const
    {
        const auto it = data.find(type);
        return it == data.end() ? std::nullopt : std::optional(it->second);
    }
};

// The system clipboard: a change counter, snapshots for reading, and writes that replace the
// contents. Writes between two clearContents() calls add representations to the same contents.
class Pasteboard : public QObject {
    Q_OBJECT
public:
    using SnapshotHandler = std::function<void(std::optional<PasteboardSnapshot>)>;

    using QObject::QObject;
    ~Pasteboard() override = default;

    // Goes up whenever the clipboard's contents are replaced, by anyone.
    virtual qint64 changeCount() const = 0;

    // Reads the current contents without blocking the caller. The handler runs later on the
    // thread of `context` (the main thread), unless `context` is gone by then; it gets nothing
    // when the read failed or timed out.
    virtual void requestSnapshot(QObject *context, SnapshotHandler handler) = 0;

    // Empties the clipboard and takes ownership of it.
    virtual void clearContents() = 0;
    virtual bool writeText(const QString &text) = 0;
    virtual bool writeData(const QString &type, const QByteArray &bytes) = 0;
    virtual bool writeUrls(const QList<QUrl> &urls) = 0;
    // Offers text as the primary selection too (what a middle click, or xterm's Shift+Insert,
    // pastes), apart from the clipboard and its change count. False where there is none.
    virtual bool writePrimaryText(const QString &text)
    {
        Q_UNUSED(text);
        return false;
    }

signals:
    // Emitted on the main thread as soon as the platform reports a change, so the monitor can
    // tick at once instead of waiting for its poll.
    void changed();
    // Emitted on the main thread (after changed()) when the clipboard lost its contents because
    // the application that held them quit, and is still empty. Not emitted when an application
    // empties the clipboard on purpose (a password manager clearing a secret). The history
    // answers by offering its newest item again, as its own write.
    void becameEmpty();
};

} // namespace snipbrook
