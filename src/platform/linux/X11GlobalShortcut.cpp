#include "X11GlobalShortcut.h"

#include "model/Diagnostics.h"

#include <QPointer>
#include <QSocketNotifier>

#include <X11/keysym.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

namespace snipbrook {
namespace {

struct KeySymbolsFree {
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsFree>;

std::optional<xcb_keysym_t> keysymFor(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return XK_0 + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Space: return XK_space;
    case Qt::Key_Return: return XK_Return;
    case Qt::Key_Enter: return XK_KP_Enter;
    case Qt::Key_Tab: return XK_Tab;
    case Qt::Key_Backspace: return XK_BackSpace;
    case Qt::Key_Delete: return XK_Delete;
    case Qt::Key_Insert: return XK_Insert;
    case Qt::Key_Escape: return XK_Escape;
    case Qt::Key_Left: return XK_Left;
    case Qt::Key_Right: return XK_Right;
    case Qt::Key_Up: return XK_Up;
    case Qt::Key_Down: return XK_Down;
    case Qt::Key_Home: return XK_Home;
    case Qt::Key_End: return XK_End;
    case Qt::Key_PageUp: return XK_Prior;
    case Qt::Key_PageDown: return XK_Next;
    default: return std::nullopt;
    }
}

QList<xcb_keycode_t> keycodesFor(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    QList<xcb_keycode_t> result;
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    for (xcb_keycode_t *code = codes; code && *code != XCB_NO_SYMBOL; ++code)
        if (!result.contains(*code))
            result.append(*code);
    std::free(codes);
    return result;
}

// The modifier bit the keyboard map gives any of these keys, else `fallback`.
uint16_t modifierBitOf(xcb_key_symbols_t *symbols, const xcb_get_modifier_mapping_reply_t *mapping,
                       std::initializer_list<xcb_keysym_t> keysyms, uint16_t fallback)
{
    const xcb_keycode_t *mapped = xcb_get_modifier_mapping_keycodes(mapping);
    const int perModifier = mapping->keycodes_per_modifier;
    for (const xcb_keysym_t keysym : keysyms) {
        const QList<xcb_keycode_t> codes = keycodesFor(symbols, keysym);
        for (int i = 0; i < 8 * perModifier; ++i)
            if (mapped[i] != XCB_NO_SYMBOL && codes.contains(mapped[i]))
                return static_cast<uint16_t>(1u << (i / perModifier));
    }
    return fallback;
}

// Every combination of the lock modifiers outside `mask`, none included.
QList<uint16_t> lockVariants(uint16_t numLock, uint16_t scrollLock, uint16_t mask)
{
    QList<uint16_t> bits;
    for (const uint16_t bit : {uint16_t(XCB_MOD_MASK_LOCK), numLock, scrollLock})
        if (bit && !(bit & mask) && !bits.contains(bit))
            bits.append(bit);
    QList<uint16_t> variants;
    for (unsigned subset = 0; subset < (1u << bits.size()); ++subset) {
        uint16_t variant = 0;
        for (qsizetype i = 0; i < bits.size(); ++i)
            if (subset & (1u << i))
                variant |= bits[i];
        variants.append(variant);
    }
    return variants;
}

} // namespace

X11GlobalShortcut::X11GlobalShortcut(const QString &displayName, QObject *parent)
    : GlobalShortcut(parent), m_connection(displayName)
{
    if (!m_connection.isValid()) {
        diag(QStringLiteral("⚠️ No X display for the global shortcut (") + m_connection.displayName()
             + QStringLiteral("): ") + m_connection.failureReason());
        return;
    }
    m_notifier = new QSocketNotifier(m_connection.fileDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11GlobalShortcut::readEvents);
}

X11GlobalShortcut::~X11GlobalShortcut() { unregisterShortcut(); }

int X11GlobalShortcut::registerShortcut(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (!m_connection.isValid())
        return noDisplay;
    // Grabbing the same combination again would succeed; releasing the old grabs would then
    // release the new ones.
    if (m_registration && m_registration->key == key && m_registration->modifiers == modifiers)
        return success;
    const std::optional<xcb_keysym_t> keysym = keysymFor(key);
    if (!keysym)
        return keyUnavailable;

    xcb_connection_t *c = m_connection.get();
    // The keyboard map is read afresh: the layout may have changed since the last registration.
    const KeySymbols symbols(xcb_key_symbols_alloc(c));
    if (xcb_get_modifier_mapping_reply_t *mapping =
            xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr)) {
        const ModifierBits usual;
        m_bits.alt = modifierBitOf(symbols.get(), mapping, {XK_Alt_L, XK_Alt_R}, usual.alt);
        m_bits.super = modifierBitOf(symbols.get(), mapping, {XK_Super_L, XK_Super_R}, usual.super);
        m_bits.numLock = modifierBitOf(symbols.get(), mapping, {XK_Num_Lock}, usual.numLock);
        m_bits.scrollLock = modifierBitOf(symbols.get(), mapping, {XK_Scroll_Lock}, 0);
        std::free(mapping);
    }
    const QList<xcb_keycode_t> keycodes = keycodesFor(symbols.get(), *keysym);
    if (keycodes.isEmpty())
        return keyUnavailable;

    const uint16_t mask = modifierMask(modifiers);
    QList<KeyGrab> grabs;
    for (const xcb_keycode_t keycode : keycodes)
        for (const uint16_t variant : lockVariants(m_bits.numLock, m_bits.scrollLock, mask))
            grabs.append({keycode, uint16_t(mask | variant)});
    // Checked requests: an unchecked grab that another client already holds fails silently.
    QList<xcb_void_cookie_t> cookies;
    for (const KeyGrab &grab : grabs)
        cookies.append(xcb_grab_key_checked(c, 0, m_connection.root(), grab.modifiers, grab.keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    int status = success;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            if (status == success)
                status = error->error_code;
            std::free(error);
        }
    }
    // A failed check of a broken connection comes back without an error.
    if (status == success && !m_connection.isValid())
        status = noDisplay;
    const QList<KeyGrab> previous = m_registration ? m_registration->grabs : QList<KeyGrab>();
    if (status == success) {
        ungrab(previous, grabs);
        m_registration = Registration{key, modifiers, grabs};
    } else {
        // Some variants may have been granted; the combination is all or nothing.
        ungrab(grabs, previous);
    }
    scheduleRead();
    return status;
}

void X11GlobalShortcut::unregisterShortcut()
{
    if (!m_registration)
        return;
    ungrab(m_registration->grabs, {});
    m_registration.reset();
}

Qt::KeyboardModifiers X11GlobalShortcut::heldModifiers() const
{
    Qt::KeyboardModifiers held;
    if (!m_connection.isValid())
        return held;
    xcb_connection_t *c = m_connection.get();
    xcb_query_pointer_reply_t *pointer = xcb_query_pointer_reply(c, xcb_query_pointer(c, m_connection.root()), nullptr);
    scheduleRead();
    if (!pointer)
        return held;
    const uint16_t state = pointer->mask;
    std::free(pointer);
    held.setFlag(Qt::ShiftModifier, state & XCB_MOD_MASK_SHIFT);
    held.setFlag(Qt::ControlModifier, state & XCB_MOD_MASK_CONTROL);
    held.setFlag(Qt::AltModifier, state & m_bits.alt);
    held.setFlag(Qt::MetaModifier, state & m_bits.super);
    return held;
}

uint16_t X11GlobalShortcut::modifierMask(Qt::KeyboardModifiers modifiers) const
{
    uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= m_bits.alt;
    if (modifiers & Qt::MetaModifier)
        mask |= m_bits.super;
    return mask;
}

void X11GlobalShortcut::ungrab(const QList<KeyGrab> &grabs, const QList<KeyGrab> &keep)
{
    if (!m_connection.isValid())
        return;
    for (const KeyGrab &grab : grabs)
        if (!keep.contains(grab))
            xcb_ungrab_key(m_connection.get(), grab.keycode, m_connection.root(), grab.modifiers);
    // A round trip: once we return the combination is free for any other client to take.
    std::free(xcb_get_input_focus_reply(m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr));
    scheduleRead();
}

void X11GlobalShortcut::readEvents()
{
    if (!m_notifier->isEnabled())
        return;
    xcb_connection_t *c = m_connection.get();
    int presses = 0;
    while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_KEY_PRESS && m_registration) {
            const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
            presses += m_registration->grabs.contains(KeyGrab{press->detail, uint16_t(press->state & 0xff)});
        }
        std::free(event);
    }
    if (!m_connection.isValid()) {
        m_notifier->setEnabled(false);
        diag(QStringLiteral("⚠️ Lost the X display, the global shortcut no longer works: ") + m_connection.displayName());
        return;
    }
    if (presses == 0)
        return;
    // The press made the grab take the whole keyboard until the key goes up. Let go of it at
    // once, so the panel this press opens can take the keyboard for itself.
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    QPointer<X11GlobalShortcut> self(this);
    for (int i = 0; i < presses && self; ++i)
        emit pressed();
}

void X11GlobalShortcut::scheduleRead() const
{
    if (m_notifier)
        QMetaObject::invokeMethod(m_notifier, [this] { const_cast<X11GlobalShortcut *>(this)->readEvents(); },
                                  Qt::QueuedConnection);
}

} // namespace snipbrook
