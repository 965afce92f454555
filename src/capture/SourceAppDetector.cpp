#include "SourceAppDetector.h"

namespace snipbrook {
namespace {

SourceAppInfo infoOf(const RunningApplication &app)
{
    return {app.localizedName, app.bundleIdentifier, app.processIdentifier};
}

} // namespace

const QStringList &SourceAppDetector::systemBundleIdentifiers()
{
    static const QStringList identifiers{
        QStringLiteral("com.apple.finder"),   QStringLiteral("com.apple.dock"),
        QStringLiteral("com.apple.systemuiserver"), QStringLiteral("com.apple.menuextra"),
        QStringLiteral("com.apple.controlcenter"),
        // The shell parts of the Linux desktops.
        QStringLiteral("gnome-shell"),        QStringLiteral("org.gnome.Shell"),
        QStringLiteral("plasmashell"),        QStringLiteral("org.kde.plasmashell"),
        QStringLiteral("xfce4-panel"),        QStringLiteral("xfdesktop"),
        QStringLiteral("lxpanel"),
    };
    return identifiers;
}

SourceAppInfo SourceAppDetector::detectSourceApp() const
{
    if (const auto front = m_workspace.frontmostApplication())
        return infoOf(*front);

    const std::optional<QString> own = m_workspace.ownBundleIdentifier();
    const QList<RunningApplication> running = m_workspace.runningApplications();
    const RunningApplication *chosen = nullptr;
    for (const RunningApplication &app : running) {
        if (!app.bundleIdentifier || !app.isRegular || (own && *app.bundleIdentifier == *own))
            continue;
        const QString &bundle = *app.bundleIdentifier;
        const bool isSystem = std::any_of(systemBundleIdentifiers().begin(), systemBundleIdentifiers().end(),
                                          [&](const QString &system) { return bundle.contains(system); });
        if (isSystem)
            continue;
        // The first active candidate wins; without one, the first candidate.
        if (!chosen || (app.isActive && !chosen->isActive))
            chosen = &app;
    }
    if (!chosen)
        return {QStringLiteral("Unknown"), std::nullopt, std::nullopt};
    return infoOf(*chosen);
}

} // namespace snipbrook
