#include "XTestKeySynthesizer.h"

#include "model/Diagnostics.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>

namespace snipbrook {
namespace {

// X keysyms of the keys a chord may use.
constexpr xcb_keysym_t keysymShiftL = 0xffe1;
constexpr xcb_keysym_t keysymControlL = 0xffe3;
constexpr xcb_keysym_t keysymAltL = 0xffe9;
constexpr xcb_keysym_t keysymSuperL = 0xffeb;
constexpr xcb_keysym_t keysymInsert = 0xff63;
constexpr xcb_keysym_t keysymReturn = 0xff0d;

constexpr std::pair<Qt::KeyboardModifier, xcb_keysym_t> modifierKeysyms[] = {
    {Qt::ControlModifier, keysymControlL},
    {Qt::ShiftModifier, keysymShiftL},
    {Qt::AltModifier, keysymAltL},
    {Qt::MetaModifier, keysymSuperL},
};

xcb_keysym_t keysymFor(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'a' + (key - Qt::Key_A); // letter keys carry the lower-case symbol first
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Insert: return keysymInsert;
    case Qt::Key_Return: return keysymReturn;
    case Qt::Key_Space: return ' ';
    default: return 0;
    }
}

// The rows of the server's modifier map: Shift, Lock, Control, Mod1 … Mod5.
Qt::KeyboardModifier modifierOfRow(int row)
{
    switch (row) {
    case 0: return Qt::ShiftModifier;
    case 2: return Qt::ControlModifier;
    case 3: return Qt::AltModifier;  // Mod1
    case 6: return Qt::MetaModifier; // Mod4
    default: return Qt::NoModifier;  // Lock, NumLock (Mod2) and the rest change no chord
    }
}

} // namespace

XTestKeySynthesizer::XTestKeySynthesizer() : XTestKeySynthesizer(Options{}) {}

XTestKeySynthesizer::XTestKeySynthesizer(Options options)
    : m_connection(std::make_unique<XcbConnection>(options.displayName)), m_releaseDelayMs(options.releaseDelayMs)
{
    m_releaseTimer.setSingleShot(true);
    QObject::connect(&m_releaseTimer, &QTimer::timeout, &m_releaseTimer, [this] { releasePending(); });
    if (!m_connection->isValid()) {
        diag(QStringLiteral("⚠️ No X display, pasting only copies: ") + m_connection->displayName()
             + QStringLiteral(" (") + m_connection->failureReason() + QStringLiteral(")"));
        return;
    }
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(m_connection->get(), &xcb_test_id);
    m_hasXTest = extension && extension->present;
    if (!m_hasXTest)
        diag(QStringLiteral("⚠️ The X display has no XTest extension, pasting only copies"));
}

XTestKeySynthesizer::~XTestKeySynthesizer()
{
    // Never leave a key down behind us.
    releasePending();
}

bool XTestKeySynthesizer::isAvailable() const { return m_hasXTest && m_connection->isValid(); }

QList<XTestKeySynthesizer::HeldKey> XTestKeySynthesizer::heldModifierKeys() const
{
    QList<HeldKey> held;
    if (!m_connection->isValid())
        return held;
    xcb_connection_t *c = m_connection->get();
    const auto mapCookie = xcb_get_modifier_mapping(c);
    const auto keymapCookie = xcb_query_keymap(c);
    xcb_get_modifier_mapping_reply_t *map = xcb_get_modifier_mapping_reply(c, mapCookie, nullptr);
    xcb_query_keymap_reply_t *keymap = xcb_query_keymap_reply(c, keymapCookie, nullptr);
    if (map && keymap) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
        const int perRow = map->keycodes_per_modifier;
        for (int row = 0; row < 8; ++row) {
            const Qt::KeyboardModifier modifier = modifierOfRow(row);
            if (modifier == Qt::NoModifier)
                continue;
            for (int i = 0; i < perRow; ++i) {
                const xcb_keycode_t code = codes[row * perRow + i];
                if (code != 0 && (keymap->keys[code / 8] & (1 << (code % 8))))
                    held.append({code, modifier});
            }
        }
    }
    std::free(map);
    std::free(keymap);
    return held;
}

Qt::KeyboardModifiers XTestKeySynthesizer::heldModifiers() const
{
    Qt::KeyboardModifiers modifiers;
    for (const HeldKey &key : heldModifierKeys())
        modifiers |= key.modifier;
    return modifiers;
}

void XTestKeySynthesizer::fake(uint8_t type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(m_connection->get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

bool XTestKeySynthesizer::sendChord(const KeyChord &chord)
{
    if (!isAvailable())
        return false;
    releasePending();
    // Read the keyboard map afresh: the user may have switched layouts since the last paste.
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection->get());
    const auto keycodeOf = [symbols](xcb_keysym_t keysym) -> xcb_keycode_t {
        xcb_keycode_t *codes = keysym ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        return code;
    };
    QList<xcb_keycode_t> down;
    for (const auto &[modifier, keysym] : modifierKeysyms) {
        if (chord.modifiers.testFlag(modifier))
            down.append(keycodeOf(keysym));
    }
    down.append(keycodeOf(keysymFor(chord.key)));
    xcb_key_symbols_free(symbols);
    if (down.contains(0)) {
        diag(QStringLiteral("❌ The keyboard map has no key for ") + chord.toString());
        return false;
    }

    for (const HeldKey &key : heldModifierKeys()) {
        if (!chord.modifiers.testFlag(key.modifier))
            fake(XCB_KEY_RELEASE, key.keycode);
    }
    for (xcb_keycode_t code : down)
        fake(XCB_KEY_PRESS, code);
    xcb_flush(m_connection->get());
    if (!m_connection->isValid())
        return false;
    m_pendingRelease = QList<xcb_keycode_t>(down.rbegin(), down.rend());
    m_releaseTimer.start(m_releaseDelayMs);
    return true;
}

void XTestKeySynthesizer::releasePending()
{
    m_releaseTimer.stop();
    if (m_pendingRelease.isEmpty() || !m_connection->isValid())
        return;
    for (xcb_keycode_t code : std::as_const(m_pendingRelease))
        fake(XCB_KEY_RELEASE, code);
    m_pendingRelease.clear();
    xcb_flush(m_connection->get());
}

} // namespace snipbrook
