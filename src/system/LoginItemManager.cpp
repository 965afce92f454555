#include "LoginItemManager.h"

#include "model/Diagnostics.h"
#include "platform/Autostart.h"

namespace snipbrook {

// The log lines keep the names of the two registration calls the other desktop offers (a service
// call and an older per-identifier call). Linux has one mechanism, the autostart entry, so the
// "legacy" fallback writes (or removes) that entry a second time: the usual cause of a first
// failure here is passing (a folder being created or replaced at the same moment), and a second
// attempt costs nothing. Its outcome gets the legacy line, so the log reads the same everywhere.
namespace {

bool attempt(Autostart &autostart, bool enabled, QString *error)
{
    error->clear();
    const bool ok = autostart.setEnabled(enabled, error);
    if (!ok && error->isEmpty())
        *error = QStringLiteral("unknown error");
    return ok;
}

} // namespace

LoginItemManager::LoginItemManager(Autostart &autostart, QObject *parent)
    : QObject(parent), m_autostart(autostart), m_enabled(autostart.isEnabled())
{
}

void LoginItemManager::toggleAutoStart()
{
    if (m_enabled)
        disableAutoStart();
    else
        enableAutoStart();
    refresh();
}

void LoginItemManager::enableAutoStart()
{
    QString error;
    if (attempt(m_autostart, true, &error)) {
        diag(QStringLiteral("✅ Auto-start enabled using SMAppService"));
        return;
    }
    diag(QStringLiteral("❌ Failed to enable auto-start with SMAppService: ") + error);
    if (attempt(m_autostart, true, &error))
        diag(QStringLiteral("✅ Auto-start enabled using legacy SMLoginItemSetEnabled"));
    else
        diag(QStringLiteral("❌ Failed to enable auto-start with legacy method"));
}

void LoginItemManager::disableAutoStart()
{
    QString error;
    if (attempt(m_autostart, false, &error)) {
        diag(QStringLiteral("✅ Auto-start disabled using SMAppService"));
        return;
    }
    diag(QStringLiteral("❌ Failed to disable auto-start with SMAppService: ") + error);
    if (attempt(m_autostart, false, &error))
        diag(QStringLiteral("✅ Auto-start disabled using legacy SMLoginItemSetEnabled"));
    else
        diag(QStringLiteral("❌ Failed to disable auto-start with legacy method"));
}

void LoginItemManager::refresh()
{
    const bool enabled = m_autostart.isEnabled();
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit autoStartEnabledChanged(enabled);
}

} // namespace snipbrook
