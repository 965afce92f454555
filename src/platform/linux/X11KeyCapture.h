#pragma once

#include "XcbConnection.h"
#include "platform/KeyCapture.h"

#include <QHash>

#include <memory>

class QSocketNotifier;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace snipbrook {

// The key capture as an active keyboard grab on the root window, made on an X connection of our
// own that the main thread reads. Key names come from the keymap of the current layout (XKB), in
// the layout group the press reports, so the stored letter is the one printed on the key.
// Without a display it stays inert and every start() fails.
class X11KeyCapture : public KeyCapture {
    Q_OBJECT
public:
    // An empty name means $DISPLAY.
    explicit X11KeyCapture(const QString &displayName = {}, QObject *parent = nullptr);
    // Gives the keyboard back.
    ~X11KeyCapture() override;

    bool isConnected() const { return m_connection.isValid(); }

    bool start() override;
    void stop() override;
    bool isCapturing() const override { return m_capturing; }

private:
    struct XkbFree {
        void operator()(xkb_context *context) const;
        void operator()(xkb_keymap *keymap) const;
        void operator()(xkb_state *state) const;
    };

    // Reads the keymap and modifier map afresh: the layout may have changed since last time.
    bool loadKeyboard();
    void readEvents();
    void handleKey(const xcb_key_press_event_t *event, bool press);
    Qt::KeyboardModifiers qtModifiers(uint16_t state) const;
    void fail(const QString &reason);
    // Round trips may have queued events the socket notifier will not announce again.
    void scheduleRead();

    XcbConnection m_connection;
    QSocketNotifier *m_notifier = nullptr;
    bool m_capturing = false;
    bool m_xkbAvailable = false;
    int32_t m_deviceId = -1;
    std::unique_ptr<xkb_context, XkbFree> m_context;
    std::unique_ptr<xkb_keymap, XkbFree> m_keymap;
    // Keymap state with no modifier held, only the layout group set.
    std::unique_ptr<xkb_state, XkbFree> m_plainState;
    uint16_t m_altBit = XCB_MOD_MASK_1;
    uint16_t m_superBit = XCB_MOD_MASK_4;
    // The modifier bit each modifier key sets.
    QHash<xcb_keycode_t, uint16_t> m_modifierBits;
};

} // namespace snipbrook
