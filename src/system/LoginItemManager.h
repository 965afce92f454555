#pragma once

#include <QObject>

namespace snipbrook {

class Autostart;

// Whether Snipbrook starts when the user logs in. The state is read at creation and after each
// toggle, not watched in between. Every outcome is one log line; errors never reach the caller.
// Main thread only.
class LoginItemManager : public QObject {
    Q_OBJECT
public:
    // `autostart` must outlive the manager.
    explicit LoginItemManager(Autostart &autostart, QObject *parent = nullptr);

    bool isAutoStartEnabled() const { return m_enabled; }

    // Enables when off, disables when on, then reads the state again.
    void toggleAutoStart();
    // These two leave isAutoStartEnabled() as it was until the next toggle.
    void enableAutoStart();
    void disableAutoStart();

signals:
    void autoStartEnabledChanged(bool enabled);

private:
    void refresh();

    Autostart &m_autostart;
    bool m_enabled = false;
};

} // namespace snipbrook
