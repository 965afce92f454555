#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <memory>
#include <mutex>
#include <optional>

namespace snipbrook {

// One X connection of our own, apart from the toolkit's, so that waiting on it never stalls the
// event loop. Requests may be made from any thread; atoms are interned once and cached.
class XcbConnection {
public:
    // An empty name means $DISPLAY.
    explicit XcbConnection(const QString &displayName = {});
    ~XcbConnection();
    XcbConnection(const XcbConnection &) = delete;
    XcbConnection &operator=(const XcbConnection &) = delete;

    // Connected, and the connection has not failed since.
    bool isValid() const;
    // Why the connection could not be made or broke, for log lines.
    QString failureReason() const;
    // The display as the user would name it (":1"), "$DISPLAY" spelled out when it was unset.
    const QString &displayName() const { return m_displayName; }

    xcb_connection_t *get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    int fileDescriptor() const;

    xcb_atom_t atom(const QByteArray &name) const;
    // Interns several atoms in one round trip.
    QList<xcb_atom_t> atoms(const QList<QByteArray> &names) const;
    // Names of atoms (an empty string for an unknown atom), asked in one round trip.
    QStringList atomNames(const QList<xcb_atom_t> &atoms) const;

    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        uint8_t format = 0;
        QByteArray bytes;
    };
    // Requests a property without waiting, so several can be in flight at once.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property,
                                              uint32_t maxBytes = 64 * 1024) const;
    // Nothing when the window is gone or the property is not set.
    std::optional<Property> takeProperty(xcb_get_property_cookie_t cookie) const;

    // Views of property values.
    static std::optional<quint32> firstCardinal(const std::optional<Property> &property);
    static QList<quint32> cardinals(const std::optional<Property> &property);
    // WM_CLASS and similar lists of NUL-terminated strings.
    static QStringList strings(const std::optional<Property> &property);

private:
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    int m_screenNumber = 0;
    QString m_displayName;
    int m_connectError = 0;
    mutable std::mutex m_atomMutex;
    mutable QHash<QByteArray, xcb_atom_t> m_atoms;
    mutable QHash<xcb_atom_t, QString> m_atomNames;
};

} // namespace snipbrook
