#pragma once

#include "platform/KeyCapture.h"

class QKeyEvent;

namespace snipbrook {

// The key capture where programs cannot grab the keyboard (Wayland): while recording, our own
// settings window has the focus, so the key events of this application are read through an
// event filter on it and swallowed, so that neither the focused widget nor a menu shortcut acts
// on them. The application losing the focus loses the capture. Main thread only.
class WindowKeyCapture : public KeyCapture {
    Q_OBJECT
public:
    using KeyCapture::KeyCapture;
    ~WindowKeyCapture() override;

    // Fails only without a running application.
    bool start() override;
    void stop() override;
    bool isCapturing() const override { return m_capturing; }

    // The captured form of a key event; nothing for keys with neither a code nor a character.
    static CapturedKey capturedKey(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void handleKey(const QKeyEvent &event, bool press);

    bool m_capturing = false;
};

} // namespace snipbrook
