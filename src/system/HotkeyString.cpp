#include "HotkeyString.h"

#include "platform/XkbKeyNames.h"

#include <QHash>
#include <QStringList>

#include <array>

namespace snipbrook::hotkey {
namespace {

struct KeyName {
    const char *name;
    quint16 code;
    Qt::Key qtKey;
    // How the key cap reads here; empty: the name with its first letter in upper case.
    const char *capText;
};

// The 58 key names of the hot key strings.
constexpr std::array<KeyName, 58> keyNames{{
    {"space", 49, Qt::Key_Space, ""},
    {"return", 36, Qt::Key_Return, ""},
    {"tab", 48, Qt::Key_Tab, ""},
    // The Mac "delete" key erases backwards; "forwarddelete" is the Delete key of PC keyboards.
    {"delete", 51, Qt::Key_Backspace, "Backspace"},
    {"forwarddelete", 117, Qt::Key_Delete, "Delete"},
    {"escape", 53, Qt::Key_Escape, "Esc"},
    {"left", 123, Qt::Key_Left, ""},
    {"right", 124, Qt::Key_Right, ""},
    {"up", 126, Qt::Key_Up, ""},
    {"down", 125, Qt::Key_Down, ""},
    {"f1", 122, Qt::Key_F1, ""},
    {"f2", 120, Qt::Key_F2, ""},
    {"f3", 99, Qt::Key_F3, ""},
    {"f4", 118, Qt::Key_F4, ""},
    {"f5", 96, Qt::Key_F5, ""},
    {"f6", 97, Qt::Key_F6, ""},
    {"f7", 98, Qt::Key_F7, ""},
    {"f8", 100, Qt::Key_F8, ""},
    {"f9", 101, Qt::Key_F9, ""},
    {"f10", 109, Qt::Key_F10, ""},
    {"f11", 103, Qt::Key_F11, ""},
    {"f12", 111, Qt::Key_F12, ""},
    {"a", 0, Qt::Key_A, ""},
    {"b", 11, Qt::Key_B, ""},
    {"c", 8, Qt::Key_C, ""},
    {"d", 2, Qt::Key_D, ""},
    {"e", 14, Qt::Key_E, ""},
    {"f", 3, Qt::Key_F, ""},
    {"g", 5, Qt::Key_G, ""},
    {"h", 4, Qt::Key_H, ""},
    {"i", 34, Qt::Key_I, ""},
    {"j", 38, Qt::Key_J, ""},
    {"k", 40, Qt::Key_K, ""},
    {"l", 37, Qt::Key_L, ""},
    {"m", 46, Qt::Key_M, ""},
    {"n", 45, Qt::Key_N, ""},
    {"o", 31, Qt::Key_O, ""},
    {"p", 35, Qt::Key_P, ""},
    {"q", 12, Qt::Key_Q, ""},
    {"r", 15, Qt::Key_R, ""},
    {"s", 1, Qt::Key_S, ""},
    {"t", 17, Qt::Key_T, ""},
    {"u", 32, Qt::Key_U, ""},
    {"v", 9, Qt::Key_V, ""},
    {"w", 13, Qt::Key_W, ""},
    {"x", 7, Qt::Key_X, ""},
    {"y", 16, Qt::Key_Y, ""},
    {"z", 6, Qt::Key_Z, ""},
    {"0", 29, Qt::Key_0, ""},
    {"1", 18, Qt::Key_1, ""},
    {"2", 19, Qt::Key_2, ""},
    {"3", 20, Qt::Key_3, ""},
    {"4", 21, Qt::Key_4, ""},
    {"5", 23, Qt::Key_5, ""},
    {"6", 22, Qt::Key_6, ""},
    {"7", 26, Qt::Key_7, ""},
    {"8", 28, Qt::Key_8, ""},
    {"9", 25, Qt::Key_9, ""},
}};

struct ModifierWord {
    const char *word;
    quint32 mask;
};

constexpr std::array<ModifierWord, 8> modifierWords{{
    {"cmd", cmdMask},
    {"command", cmdMask},
    {"shift", shiftMask},
    {"opt", optionMask},
    {"option", optionMask},
    {"alt", optionMask},
    {"ctrl", controlMask},
    {"control", controlMask},
}};

// Each mask with its toolkit modifier and key cap, in the order key caps are written.
struct ModifierName {
    quint32 mask;
    Qt::KeyboardModifier qtModifier;
    const char *capText;
    // sway's name of the modifier (Mod4 is Super, Mod1 Alt on every stock keymap).
    const char *swayName;
};
constexpr std::array<ModifierName, 4> modifierNames{{
    {cmdMask, Qt::ControlModifier, "Ctrl", "ctrl"},
    {controlMask, Qt::MetaModifier, "Super", "mod4"},
    {optionMask, Qt::AltModifier, "Alt", "mod1"},
    {shiftMask, Qt::ShiftModifier, "Shift", "shift"},
}};

std::optional<quint32> modifierMaskOf(const QString &piece)
{
    for (const ModifierWord &m : modifierWords)
        if (piece == QLatin1String(m.word))
            return m.mask;
    return std::nullopt;
}

const KeyName *keyNamed(const QString &piece)
{
    for (const KeyName &k : keyNames)
        if (piece == QLatin1String(k.name))
            return &k;
    return nullptr;
}

const KeyName *keyWithCode(quint16 code)
{
    for (const KeyName &k : keyNames)
        if (k.code == code)
            return &k;
    return nullptr;
}

// Upper-cases the first letter of each blank-separated word and lower-cases the rest.
QString capitalized(const QString &text)
{
    QString result = text.toLower();
    bool wordStart = true;
    for (QChar &c : result) {
        if (c.isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            c = c.toUpper();
            wordStart = false;
        }
    }
    return result;
}

QStringList pieces(const QString &string) { return string.split(QLatin1Char('+'), Qt::SkipEmptyParts); }

} // namespace

std::optional<Hotkey> parseHotkeyString(const QString &string)
{
    const QStringList parts = pieces(string);
    if (parts.isEmpty())
        return std::nullopt;
    quint32 mask = 0;
    const KeyName *key = nullptr;
    for (const QString &part : parts) {
        const QString piece = part.toLower();
        if (const std::optional<quint32> modifier = modifierMaskOf(piece))
            mask |= *modifier;
        else if (const KeyName *named = keyNamed(piece))
            key = named;
    }
    if (!key)
        return std::nullopt;
    return Hotkey{key->code, mask};
}

QString hotkeyDisplayString(const QString &string)
{
    static const QHash<QString, QString> symbols{
        {QStringLiteral("cmd"), QStringLiteral("⌘")},
        {QStringLiteral("ctrl"), QStringLiteral("⌃")},
        {QStringLiteral("opt"), QStringLiteral("⌥")},
        {QStringLiteral("shift"), QStringLiteral("⇧")},
        {QStringLiteral("space"), QStringLiteral("Space")},
    };
    QString result;
    for (const QString &piece : pieces(string))
        result += symbols.value(piece, capitalized(piece));
    return result;
}

std::optional<QString> hotkeyKeyCapsText(const QString &string)
{
    const std::optional<Hotkey> hotkey = parseHotkeyString(string);
    if (!hotkey)
        return std::nullopt;
    QStringList caps;
    for (const ModifierName &m : modifierNames)
        if (hotkey->modifiers & m.mask)
            caps.append(QLatin1String(m.capText));
    const KeyName *key = keyWithCode(hotkey->keyCode);
    caps.append(*key->capText ? QString::fromLatin1(key->capText) : capitalized(QLatin1String(key->name)));
    return caps.join(QLatin1Char('+'));
}

std::optional<QString> swayBindingLine(const QString &string)
{
    const std::optional<Hotkey> hotkey = parseHotkeyString(string);
    if (!hotkey)
        return std::nullopt;
    QStringList pieces;
    for (const ModifierName &m : modifierNames)
        if (hotkey->modifiers & m.mask)
            pieces.append(QLatin1String(m.swayName));
    // Every key of the table has a keysym name.
    pieces.append(xkbKeyName(keyWithCode(hotkey->keyCode)->qtKey).value_or(QString()));
    return QStringLiteral("bindsym ") + pieces.join(QLatin1Char('+')) + QStringLiteral(" exec snipbrook popup");
}

std::optional<quint16> keyCodeOf(Qt::Key key)
{
    for (const KeyName &k : keyNames)
        if (k.qtKey == key)
            return k.code;
    return std::nullopt;
}

std::optional<Qt::Key> qtKey(quint16 keyCode)
{
    const KeyName *key = keyWithCode(keyCode);
    return key ? std::optional(key->qtKey) : std::nullopt;
}

Qt::KeyboardModifiers qtModifiers(quint32 mask)
{
    Qt::KeyboardModifiers modifiers;
    for (const ModifierName &m : modifierNames)
        if (mask & m.mask)
            modifiers |= m.qtModifier;
    return modifiers;
}

quint32 modifierMask(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    for (const ModifierName &m : modifierNames)
        if (modifiers.testFlag(m.qtModifier))
            mask |= m.mask;
    return mask;
}

} // namespace snipbrook::hotkey
