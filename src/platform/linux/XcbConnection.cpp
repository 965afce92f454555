#include "XcbConnection.h"

#include <cstdlib>
#include <cstring>

namespace snipbrook {
namespace {

QString describeConnectionError(int error)
{
    switch (error) {
    case 0: return {};
    case XCB_CONN_ERROR: return QStringLiteral("connection failed or broke");
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED: return QStringLiteral("extension not supported");
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT: return QStringLiteral("out of memory");
    case XCB_CONN_CLOSED_REQ_LEN_EXCEED: return QStringLiteral("request too long");
    case XCB_CONN_CLOSED_PARSE_ERR: return QStringLiteral("no such display");
    case XCB_CONN_CLOSED_INVALID_SCREEN: return QStringLiteral("no such screen");
    default: return QStringLiteral("error %1").arg(error);
    }
}

} // namespace

XcbConnection::XcbConnection(const QString &displayName)
{
    const QByteArray name = displayName.toLocal8Bit();
    if (displayName.isEmpty()) {
        const char *env = std::getenv("DISPLAY");
        m_displayName = env && *env ? QString::fromLocal8Bit(env) : QStringLiteral("$DISPLAY (unset)");
    } else {
        m_displayName = displayName;
    }
    int screenNumber = 0;
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : name.constData(), &screenNumber);
    m_screenNumber = screenNumber;
    m_connectError = xcb_connection_has_error(m_connection);
    if (m_connectError)
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (it.rem)
        m_root = it.data->root;
    else
        m_connectError = XCB_CONN_CLOSED_INVALID_SCREEN;
}

XcbConnection::~XcbConnection()
{
    // xcb_connect always returns an object that must be released, even on failure.
    xcb_disconnect(m_connection);
}

bool XcbConnection::isValid() const
{
    return m_connectError == 0 && xcb_connection_has_error(m_connection) == 0;
}

QString XcbConnection::failureReason() const
{
    return describeConnectionError(m_connectError ? m_connectError : xcb_connection_has_error(m_connection));
}

int XcbConnection::fileDescriptor() const { return xcb_get_file_descriptor(m_connection); }

xcb_atom_t XcbConnection::atom(const QByteArray &name) const
{
    return atoms({name}).value(0, XCB_ATOM_NONE);
}

QList<xcb_atom_t> XcbConnection::atoms(const QList<QByteArray> &names) const
{
    QList<xcb_atom_t> result(names.size(), XCB_ATOM_NONE);
    QList<std::pair<qsizetype, xcb_intern_atom_cookie_t>> pending;
    {
        std::lock_guard lock(m_atomMutex);
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (const auto it = m_atoms.constFind(names[i]); it != m_atoms.constEnd())
                result[i] = *it;
            else if (isValid())
                pending.append({i, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(names[i].size()),
                                                   names[i].constData())});
        }
    }
    for (const auto &[index, cookie] : pending) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        if (!reply)
            continue;
        result[index] = reply->atom;
        std::free(reply);
        std::lock_guard lock(m_atomMutex);
        m_atoms.insert(names[index], result[index]);
        m_atomNames.insert(result[index], QString::fromLatin1(names[index]));
    }
    return result;
}

QStringList XcbConnection::atomNames(const QList<xcb_atom_t> &atoms) const
{
    QStringList result(atoms.size());
    QList<std::pair<qsizetype, xcb_get_atom_name_cookie_t>> pending;
    {
        std::lock_guard lock(m_atomMutex);
        for (qsizetype i = 0; i < atoms.size(); ++i) {
            if (const auto it = m_atomNames.constFind(atoms[i]); it != m_atomNames.constEnd())
                result[i] = *it;
            else if (atoms[i] != XCB_ATOM_NONE && isValid())
                pending.append({i, xcb_get_atom_name(m_connection, atoms[i])});
        }
    }
    for (const auto &[index, cookie] : pending) {
        xcb_get_atom_name_reply_t *reply = xcb_get_atom_name_reply(m_connection, cookie, nullptr);
        if (!reply)
            continue;
        result[index] = QString::fromLatin1(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        std::free(reply);
        std::lock_guard lock(m_atomMutex);
        m_atomNames.insert(atoms[index], result[index]);
        m_atoms.insert(result[index].toLatin1(), atoms[index]);
    }
    return result;
}

xcb_get_property_cookie_t XcbConnection::requestProperty(xcb_window_t window, xcb_atom_t property,
                                                         uint32_t maxBytes) const
{
    return xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, (maxBytes + 3) / 4);
}

std::optional<XcbConnection::Property> XcbConnection::takeProperty(xcb_get_property_cookie_t cookie) const
{
    xcb_generic_error_t *error = nullptr;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(m_connection, cookie, &error);
    std::free(error);
    if (!reply)
        return std::nullopt;
    std::optional<Property> result;
    if (reply->type != XCB_ATOM_NONE) {
        const auto *value = static_cast<const char *>(xcb_get_property_value(reply));
        result = Property{reply->type, reply->format,
                          QByteArray(value, xcb_get_property_value_length(reply))};
    }
    std::free(reply);
    return result;
}

std::optional<quint32> XcbConnection::firstCardinal(const std::optional<Property> &property)
{
    const QList<quint32> values = cardinals(property);
    return values.isEmpty() ? std::nullopt : std::optional(values.first());
}

QList<quint32> XcbConnection::cardinals(const std::optional<Property> &property)
{
    QList<quint32> values;
    if (!property || property->format != 32 || property->bytes.size() < 4)
        return values;
    values.resize(property->bytes.size() / 4);
    std::memcpy(values.data(), property->bytes.constData(), static_cast<size_t>(values.size()) * 4);
    return values;
}

QStringList XcbConnection::strings(const std::optional<Property> &property)
{
    QStringList values;
    if (!property || property->format != 8)
        return values;
    QByteArray bytes = property->bytes;
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    for (const QByteArray &part : bytes.split('\0'))
        values.append(QString::fromUtf8(part));
    return values;
}

} // namespace snipbrook
