#include "PasteKeystroke.h"

#include <QSet>

namespace snipbrook {
namespace {

// WM_CLASS instances and classes, and Wayland app ids, in lower case, as the terminals set them
// by default.
const QSet<QString> &terminalClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("gnome-terminal"),     QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.terminal"), QStringLiteral("org.gnome.console"),
        QStringLiteral("kgx"),                QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("ptyxis"),             QStringLiteral("konsole"),
        QStringLiteral("org.kde.konsole"),    QStringLiteral("yakuake"),
        QStringLiteral("xfce4-terminal"),     QStringLiteral("tilix"),
        QStringLiteral("com.gexperts.tilix"), QStringLiteral("alacritty"),
        QStringLiteral("kitty"),              QStringLiteral("terminator"),
        QStringLiteral("foot"),               QStringLiteral("footclient"),
        QStringLiteral("wezterm"),            QStringLiteral("wezterm-gui"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("st"),
        QStringLiteral("st-256color"),        QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),      QStringLiteral("qterminal"),
        QStringLiteral("terminology"),        QStringLiteral("sakura"),
        QStringLiteral("guake"),              QStringLiteral("tilda"),
        QStringLiteral("deepin-terminal"),    QStringLiteral("cool-retro-term"),
        QStringLiteral("roxterm"),            QStringLiteral("termite"),
        QStringLiteral("blackbox"),           QStringLiteral("com.raggesilver.blackbox"),
        QStringLiteral("io.elementary.terminal"), QStringLiteral("contour"),
        QStringLiteral("ghostty"),            QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("rio"),                QStringLiteral("warp"),
        // App ids that only Wayland windows carry.
        QStringLiteral("org.kde.yakuake"),    QStringLiteral("org.xfce.terminal"),
        QStringLiteral("org.codeberg.dnkl.foot"), QStringLiteral("org.codeberg.dnkl.footclient"),
        QStringLiteral("com.system76.cosmicterm"), QStringLiteral("dev.warp.warp"),
        QStringLiteral("org.contourterminal.contour"), QStringLiteral("weston-terminal"),
    };
    return classes;
}

// Terminals whose only default paste key, Shift+Insert, reads the primary selection.
const QSet<QString> &primarySelectionClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("xterm"),  QStringLiteral("uxterm"),       QStringLiteral("urxvt"),
        QStringLiteral("urxvtc"), QStringLiteral("rxvt"),         QStringLiteral("rxvt-unicode"),
        QStringLiteral("aterm"),  QStringLiteral("urxvt-256color"),
    };
    return classes;
}

bool matches(const QSet<QString> &table, const WindowIdentity &window)
{
    return table.contains(window.className.toLower()) || table.contains(window.instanceName.toLower());
}

} // namespace

PasteStyle pasteStyleFor(const std::optional<WindowIdentity> &window)
{
    if (!window)
        return PasteStyle::clipboard;
    if (matches(primarySelectionClasses(), *window))
        return PasteStyle::primarySelection;
    if (matches(terminalClasses(), *window))
        return PasteStyle::terminal;
    return PasteStyle::clipboard;
}

KeyChord pasteChord(PasteStyle style)
{
    switch (style) {
    case PasteStyle::terminal:
        return {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_V};
    case PasteStyle::primarySelection:
        return {Qt::ShiftModifier, Qt::Key_Insert};
    case PasteStyle::clipboard:
        break;
    }
    return {Qt::ControlModifier, Qt::Key_V};
}

} // namespace snipbrook
