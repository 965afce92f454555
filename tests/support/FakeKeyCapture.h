#pragma once

#include "platform/KeyCapture.h"

namespace snipbrook::test {

// A key capture the test drives: it grants or refuses the keyboard and replays key events.
class FakeKeyCapture : public KeyCapture {
public:
    bool refuse = false;
    int starts = 0;
    int stops = 0;

    bool start() override
    {
        ++starts;
        if (refuse) {
            emit captureLost(QStringLiteral("refused by the test"));
            return false;
        }
        m_capturing = true;
        return true;
    }
    void stop() override
    {
        if (!m_capturing)
            return;
        ++stops;
        m_capturing = false;
    }
    bool isCapturing() const override { return m_capturing; }

    // Events reach the listeners only while capturing, as a real grab's would.
    void press(const CapturedKey &key)
    {
        if (m_capturing)
            emit keyPressed(key);
    }
    void changeModifiers(Qt::KeyboardModifiers modifiers)
    {
        if (m_capturing)
            emit modifiersChanged(modifiers);
    }
    void lose()
    {
        m_capturing = false;
        emit captureLost(QStringLiteral("taken away by the test"));
    }

private:
    bool m_capturing = false;
};

} // namespace snipbrook::test
