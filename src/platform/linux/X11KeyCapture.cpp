#include "X11KeyCapture.h"

#include "model/Diagnostics.h"

#include <QPointer>
#include <QSocketNotifier>

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <optional>

namespace snipbrook {
namespace {

// The Mac virtual key codes of the named keys and of the modifier keys, by keysym. Modifier keys
// with no Mac counterpart (Num Lock, AltGr's level shifts, Hyper) count as Function, which the
// recorder also treats as never being a main key.
std::optional<quint16> macKeyCode(xkb_keysym_t sym)
{
    if (sym >= XKB_KEY_F1 && sym <= XKB_KEY_F12) {
        static constexpr quint16 functionKeys[12] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
        return functionKeys[sym - XKB_KEY_F1];
    }
    switch (sym) {
    case XKB_KEY_space: return 49;
    case XKB_KEY_Return: return 36;
    case XKB_KEY_Tab:
    case XKB_KEY_ISO_Left_Tab: return 48;
    case XKB_KEY_BackSpace: return 51;
    case XKB_KEY_Delete: return 117;
    case XKB_KEY_Escape: return 53;
    case XKB_KEY_Left: return 123;
    case XKB_KEY_Right: return 124;
    case XKB_KEY_Up: return 126;
    case XKB_KEY_Down: return 125;
    // Control is "cmd", Super is "ctrl", Alt is "opt".
    case XKB_KEY_Control_L: return 55;
    case XKB_KEY_Control_R: return 54;
    case XKB_KEY_Alt_L:
    case XKB_KEY_Meta_L: return 58;
    case XKB_KEY_Alt_R:
    case XKB_KEY_Meta_R: return 61;
    case XKB_KEY_Super_L: return 59;
    case XKB_KEY_Super_R: return 62;
    case XKB_KEY_Shift_L: return 56;
    case XKB_KEY_Shift_R: return 60;
    case XKB_KEY_Caps_Lock:
    case XKB_KEY_Shift_Lock: return 57;
    default: break;
    }
    const bool otherModifier = (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R)
                               || (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Level5_Lock)
                               || sym == XKB_KEY_Mode_switch || sym == XKB_KEY_Num_Lock;
    if (otherModifier)
        return 63;
    return std::nullopt;
}

bool isModifierCode(quint16 code) { return code >= 54 && code <= 63; }

QString grabStatusText(uint8_t status)
{
    switch (status) {
    case XCB_GRAB_STATUS_ALREADY_GRABBED: return QStringLiteral("another program holds the keyboard");
    case XCB_GRAB_STATUS_FROZEN: return QStringLiteral("the keyboard is frozen by another grab");
    case XCB_GRAB_STATUS_NOT_VIEWABLE: return QStringLiteral("the screen is not viewable");
    case XCB_GRAB_STATUS_INVALID_TIME: return QStringLiteral("the grab came too late");
    default: return QStringLiteral("grab status %1").arg(status);
    }
}

} // namespace

void X11KeyCapture::XkbFree::operator()(xkb_context *context) const { xkb_context_unref(context); }
void X11KeyCapture::XkbFree::operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
void X11KeyCapture::XkbFree::operator()(xkb_state *state) const { xkb_state_unref(state); }

X11KeyCapture::X11KeyCapture(const QString &displayName, QObject *parent)
    : KeyCapture(parent), m_connection(displayName)
{
    if (!m_connection.isValid()) {
        diag(QStringLiteral("⚠️ No X display for recording shortcuts (") + m_connection.displayName()
             + QStringLiteral("): ") + m_connection.failureReason());
        return;
    }
    m_xkbAvailable = xkb_x11_setup_xkb_extension(m_connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION,
                                                 XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                                                 nullptr, nullptr, nullptr, nullptr);
    if (m_xkbAvailable) {
        m_deviceId = xkb_x11_get_core_keyboard_device_id(m_connection.get());
        m_context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    }
    if (!m_xkbAvailable || m_deviceId < 0 || !m_context)
        diag(QStringLiteral("⚠️ The X server has no usable keyboard extension (XKB); shortcuts cannot be recorded"));
    m_notifier = new QSocketNotifier(m_connection.fileDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11KeyCapture::readEvents);
}

X11KeyCapture::~X11KeyCapture() { stop(); }

bool X11KeyCapture::loadKeyboard()
{
    if (!m_context || m_deviceId < 0)
        return false;
    xcb_connection_t *c = m_connection.get();
    m_keymap.reset(xkb_x11_keymap_new_from_device(m_context.get(), c, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!m_keymap)
        return false;
    m_plainState.reset(xkb_state_new(m_keymap.get()));
    if (!m_plainState)
        return false;

    // Which of Mod1..Mod5 Alt and Super set, and the bit of every modifier key.
    m_modifierBits.clear();
    m_altBit = XCB_MOD_MASK_1;
    m_superBit = XCB_MOD_MASK_4;
    bool altFound = false;
    bool superFound = false;
    if (xcb_get_modifier_mapping_reply_t *mapping =
            xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr)) {
        const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(mapping);
        const int perModifier = mapping->keycodes_per_modifier;
        for (int i = 0; i < 8 * perModifier; ++i) {
            if (keycodes[i] == XCB_NO_SYMBOL)
                continue;
            const auto bit = static_cast<uint16_t>(1u << (i / perModifier));
            m_modifierBits[keycodes[i]] |= bit;
            const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_plainState.get(), keycodes[i]);
            if (!altFound && (sym == XKB_KEY_Alt_L || sym == XKB_KEY_Alt_R)) {
                m_altBit = bit;
                altFound = true;
            } else if (!superFound && (sym == XKB_KEY_Super_L || sym == XKB_KEY_Super_R)) {
                m_superBit = bit;
                superFound = true;
            }
        }
        std::free(mapping);
    }
    return true;
}

bool X11KeyCapture::start()
{
    if (m_capturing)
        return true;
    if (!m_connection.isValid()) {
        fail(QStringLiteral("no X display"));
        return false;
    }
    if (!loadKeyboard()) {
        fail(QStringLiteral("the keyboard map could not be read"));
        return false;
    }
    xcb_connection_t *c = m_connection.get();
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, m_connection.root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const std::optional<uint8_t> status = reply ? std::optional(reply->status) : std::nullopt;
    std::free(reply);
    scheduleRead();
    if (status != XCB_GRAB_STATUS_SUCCESS) {
        fail(status ? grabStatusText(*status) : QStringLiteral("the X connection broke"));
        return false;
    }
    m_capturing = true;
    return true;
}

void X11KeyCapture::stop()
{
    if (!m_capturing)
        return;
    m_capturing = false;
    if (!m_connection.isValid())
        return;
    xcb_ungrab_keyboard(m_connection.get(), XCB_CURRENT_TIME);
    xcb_flush(m_connection.get());
}

void X11KeyCapture::fail(const QString &reason)
{
    m_capturing = false;
    diag(QStringLiteral("⚠️ Could not take the keyboard to record a shortcut (") + m_connection.displayName()
         + QStringLiteral("): ") + reason);
    emit captureLost(reason);
}

void X11KeyCapture::readEvents()
{
    if (!m_notifier->isEnabled())
        return;
    QPointer<X11KeyCapture> self(this);
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection.get())) {
        const uint8_t type = event->response_type & 0x7f;
        // Events queued after the recording ended (key releases, repeats) are dropped.
        if (m_capturing && (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE))
            handleKey(reinterpret_cast<const xcb_key_press_event_t *>(event), type == XCB_KEY_PRESS);
        std::free(event);
        if (!self)
            return;
    }
    if (!m_connection.isValid()) {
        m_notifier->setEnabled(false);
        if (m_capturing)
            fail(QStringLiteral("lost the X display"));
    }
}

void X11KeyCapture::handleKey(const xcb_key_press_event_t *event, bool press)
{
    const xcb_keycode_t keycode = event->detail;
    // The layout group of the press sits in bits 13 and 14 of the state.
    const xkb_layout_index_t group = (event->state >> 13) & 0x3;
    xkb_state_update_mask(m_plainState.get(), 0, 0, 0, 0, 0, group);
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_plainState.get(), keycode);
    const std::optional<quint16> code = macKeyCode(sym);

    if (code && isModifierCode(*code)) {
        // The state of the event is the one before this key went down or up.
        const uint16_t bit = m_modifierBits.value(keycode);
        const uint16_t now = press ? uint16_t(event->state | bit) : uint16_t(event->state & ~bit);
        QPointer<X11KeyCapture> self(this);
        emit modifiersChanged(qtModifiers(now));
        if (!self || !m_capturing || !press)
            return;
    } else if (!press) {
        return;
    }
    CapturedKey key{code, QString(), qtModifiers(event->state)};
    if (!code) {
        const uint32_t character = xkb_keysym_to_utf32(sym);
        // Control characters (keypad Enter, Delete on some layouts) are no name.
        if (character >= 0x20 && character != 0x7f)
            key.text = QString::fromUcs4(reinterpret_cast<const char32_t *>(&character), 1);
    }
    emit keyPressed(key);
}

Qt::KeyboardModifiers X11KeyCapture::qtModifiers(uint16_t state) const
{
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ShiftModifier, state & XCB_MOD_MASK_SHIFT);
    modifiers.setFlag(Qt::ControlModifier, state & XCB_MOD_MASK_CONTROL);
    modifiers.setFlag(Qt::AltModifier, state & m_altBit);
    modifiers.setFlag(Qt::MetaModifier, state & m_superBit);
    return modifiers;
}

void X11KeyCapture::scheduleRead()
{
    if (m_notifier)
        QMetaObject::invokeMethod(m_notifier, [this] { readEvents(); }, Qt::QueuedConnection);
}

} // namespace snipbrook
