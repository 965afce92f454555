#include "StartupFlow.h"

#include "model/Diagnostics.h"
#include "platform/Preferences.h"

namespace snipbrook {

StartupFlow::StartupFlow(Preferences &preferences, bool canPaste, Hooks hooks, StartupTimings timings, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_canPaste(canPaste), m_hooks(std::move(hooks)), m_timings(timings)
{
}

void StartupFlow::run()
{
    if (std::exchange(m_ran, true))
        return;

    if (m_preferences.boolean(startInBackgroundKey)) {
        QTimer::singleShot(m_timings.hideDelayMs, this, [this] {
            diag(QStringLiteral("ℹ️ Started in the background: the main window goes to the tray"));
            if (m_hooks.hideMainWindow)
                m_hooks.hideMainWindow();
        });
    }

    if (!m_preferences.boolean(hasShownWelcomeKey))
        QTimer::singleShot(m_timings.welcomeDelayMs, this, &StartupFlow::showWelcome);

    if (!m_canPaste && !m_preferences.boolean(hasPromptedForAccessibilityKey)) {
        // Stored first: whatever happens to the message, it is not shown again.
        m_preferences.setBoolean(hasPromptedForAccessibilityKey, true);
        m_preferences.sync();
        if (m_hooks.showAccessibilityMessage)
            m_hooks.showAccessibilityMessage();
    }

    if (m_hooks.checkForUpdates)
        m_hooks.checkForUpdates();
    else
        diag(QStringLiteral("ℹ️ No update checker yet: skipping the update check"));
}

void StartupFlow::showWelcome()
{
    auto closed = [this](bool enableAutoStart) {
        m_preferences.setBoolean(hasShownWelcomeKey, true);
        m_preferences.sync();
        if (!enableAutoStart)
            return;
        if (m_hooks.enableAutoStart)
            m_hooks.enableAutoStart();
        else
            diag(QStringLiteral("⚠️ Launch at login is not available yet: auto-start stays off"));
    };
    if (m_hooks.showWelcome)
        m_hooks.showWelcome(std::move(closed));
    else
        closed(false);
}

} // namespace snipbrook
