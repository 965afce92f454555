#include "AppMessages.h"

#include <QStringList>

namespace snipbrook::messages {

QString helpTitle() { return QStringLiteral("Snipbrook Help"); }

QString helpText(const QString &shortcut)
{
    return QStringList{
        QStringLiteral("🔍 Global Search: Press ") + shortcut + QStringLiteral(" anywhere to search your clipboard"),
        QStringLiteral("📋 Tray: Click the clipboard icon in your panel's tray for quick access"),
        QStringLiteral("🚀 Auto-Start: Toggle in Settings to start when you log in"),
        QStringLiteral("❤️ Favorites: Right-click items to add to favorites"),
        QStringLiteral("🏷️ Categories: Content is automatically categorized by type"),
        QStringLiteral("🧠 Smart Search: Use semantic search to find content by meaning"),
        QString(),
        QStringLiteral("💾 All data is stored locally on your computer for privacy."),
        QString(),
        QStringLiteral("For more help, visit the Settings panel."),
    }.join(QLatin1Char('\n'));
}

QString welcomeTitle() { return QStringLiteral("Welcome to Snipbrook! 🎉"); }

QString welcomeText(const QString &shortcut)
{
    return QStringList{
        QStringLiteral("Your smart clipboard manager is ready!"),
        QString(),
        QStringLiteral("✨ Features:"),
        QStringLiteral("• Tray icon for quick access"),
        QStringLiteral("• Global search with ") + shortcut,
        QStringLiteral("• Auto-categorization of content"),
        QStringLiteral("• Semantic search for better results"),
        QStringLiteral("• Auto-start when you log in"),
        QString(),
        QStringLiteral("💡 Tip: Press ") + shortcut + QStringLiteral(" from anywhere to search your clipboard history!"),
    }.join(QLatin1Char('\n'));
}

QString welcomeDismissButton() { return QStringLiteral("Get Started"); }
QString welcomeAutoStartButton() { return QStringLiteral("Enable Auto-Start"); }

QString pasteUnavailableTitle() { return QStringLiteral("Pasting Is Not Available"); }

QString pasteUnavailableText(bool wayland)
{
    if (wayland)
        return QStringLiteral("Snipbrook pastes by sending Ctrl+V to the window you worked in. On Wayland that "
                              "needs the wtype program and a compositor with the virtual-keyboard protocol (sway, "
                              "Hyprland, KDE Plasma). This session does not offer it, so items are copied to the "
                              "clipboard and you paste them yourself.\n\n"
                              "Install wtype (sudo apt install wtype) to paste directly.");
    return QStringLiteral("Snipbrook pastes by sending Ctrl+V to the window you worked in, which needs an X11 "
                          "session with the XTest extension. This session does not offer it, so items are "
                          "copied to the clipboard and you paste them yourself.\n\n"
                          "Log in to an X11 session (or enable XTest in your X server) to paste directly.");
}

} // namespace snipbrook::messages
