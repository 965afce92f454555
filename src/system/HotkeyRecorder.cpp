#include "HotkeyRecorder.h"

#include "HotkeyString.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>

namespace snipbrook {
namespace {

using namespace hotkey;

constexpr quint32 allModifiers = cmdMask | shiftMask | optionMask | controlMask;
constexpr quint16 escapeCode = 53;

struct NamedKey {
    quint16 code;
    const char *name;
};
// The keys that have no printable character, by their Mac virtual key code.
constexpr std::array<NamedKey, 22> keyCodeToString{{
    {49, "space"}, {36, "return"}, {48, "tab"}, {51, "delete"}, {117, "forwarddelete"},
    {53, "escape"}, {123, "left"}, {124, "right"}, {126, "up"}, {125, "down"},
    {122, "f1"}, {120, "f2"}, {99, "f3"}, {118, "f4"}, {96, "f5"}, {97, "f6"},
    {98, "f7"}, {100, "f8"}, {101, "f9"}, {109, "f10"}, {103, "f11"}, {111, "f12"},
}};

// Presses that are never a main key: both keys of each modifier, Caps Lock and Function (the
// key capture reports other modifier-like keys, such as Num Lock or AltGr, as Function).
constexpr std::array<quint16, 10> modifierKeyCodes{55, 54, 58, 61, 59, 62, 56, 60, 57, 63};

// The words of the masks, in the order recorded strings write them.
struct ModifierWord {
    quint32 mask;
    const char *word;
};
constexpr std::array<ModifierWord, 4> modifierWords{{
    {controlMask, "ctrl"}, {optionMask, "opt"}, {shiftMask, "shift"}, {cmdMask, "cmd"},
}};

bool isModifierWord(const QString &piece)
{
    return std::any_of(modifierWords.begin(), modifierWords.end(),
                       [&](const ModifierWord &m) { return piece == QLatin1String(m.word); });
}

// A string as its set of modifier words and its other pieces, so that order does not matter.
QString canonical(const QString &string)
{
    QStringList modifiers;
    QStringList keys;
    for (const QString &piece : string.split(QLatin1Char('+'), Qt::SkipEmptyParts))
        (isModifierWord(piece) ? modifiers : keys).append(piece);
    modifiers.sort();
    modifiers.removeDuplicates();
    return modifiers.join(QLatin1Char('+')) + QLatin1Char('|') + keys.join(QLatin1Char('+'));
}

// Shortcuts the desktop keeps for itself; a global grab of one would either fail or take it
// away from the desktop. The stored words: "cmd" is Ctrl, "ctrl" Super, "opt" Alt.
const QSet<QString> &systemHotkeys()
{
    static const QSet<QString> set = [] {
        const char *const entries[] = {
            // The classic list (Ctrl+Q, Ctrl+C, ... are the editing keys of every application).
            "cmd+space", "cmd+tab", "cmd+q", "cmd+w", "cmd+c", "cmd+v", "cmd+x", "cmd+z", "shift+cmd+z",
            "cmd+a", "cmd+s", "cmd+n", "cmd+o", "cmd+p", "cmd+f", "cmd+g", "shift+cmd+g", "cmd+h", "cmd+m",
            "cmd+opt+h", "cmd+shift+3", "cmd+shift+4", "cmd+shift+5",
            "ctrl+up", "ctrl+down", "ctrl+left", "ctrl+right", // Super+arrows: window tiling
            // Window switching and closing, and the run and window menus (GNOME, KDE, Xfce, Cinnamon).
            "opt+tab", "opt+shift+tab", "opt+f4", "opt+f2", "opt+space",
            // Log out / kill the X server, a terminal, the screen lock, workspace switching.
            "opt+cmd+forwarddelete", "opt+cmd+delete", "opt+cmd+t", "opt+cmd+l",
            "opt+cmd+left", "opt+cmd+right", "opt+cmd+up", "opt+cmd+down",
            // Super+L locks, Super+D shows the desktop, Super+Tab switches applications,
            // Super+Space switches the input language.
            "ctrl+l", "ctrl+d", "ctrl+tab", "ctrl+space",
        };
        QSet<QString> result;
        for (const char *entry : entries)
            result.insert(canonical(QLatin1String(entry)));
        return result;
    }();
    return set;
}

} // namespace

HotkeyRecorder::HotkeyRecorder(QString hotkeyString, QObject *parent)
    : HotkeyRecorder(nullptr, std::move(hotkeyString), parent)
{
}

HotkeyRecorder::HotkeyRecorder(KeyCapture *capture, QString hotkeyString, QObject *parent)
    : QObject(parent), m_capture(capture), m_hotkeyString(std::move(hotkeyString))
{
    if (!capture)
        return;
    connect(capture, &KeyCapture::keyPressed, this, &HotkeyRecorder::recordKeyPress);
    connect(capture, &KeyCapture::modifiersChanged, this,
            [this](Qt::KeyboardModifiers modifiers) { recordModifiersChanged(modifierMask(modifiers)); });
    connect(capture, &KeyCapture::captureLost, this, &HotkeyRecorder::stopRecording);
}

HotkeyRecorder::~HotkeyRecorder()
{
    // Signals to the owner make no sense any more; the keyboard must still be given back.
    blockSignals(true);
    stopRecording();
}

void HotkeyRecorder::setHotkeyString(const QString &hotkeyString)
{
    if (hotkeyString == m_hotkeyString)
        return;
    m_hotkeyString = hotkeyString;
    emit hotkeyStringChanged(m_hotkeyString);
}

void HotkeyRecorder::clearHotkey()
{
    setHotkeyString(QString());
    emit hotkeyCleared();
}

void HotkeyRecorder::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    setCurrentModifiers(0);
    emit recordingChanged(true);
    // A refused capture reports captureLost, which ends the recording again.
    if (m_capture && m_recording)
        m_capture->start();
}

void HotkeyRecorder::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    if (m_capture)
        m_capture->stop();
    setCurrentModifiers(0);
    emit recordingChanged(false);
}

void HotkeyRecorder::recordModifiersChanged(quint32 modifiers)
{
    if (m_recording)
        setCurrentModifiers(modifiers & allModifiers);
}

void HotkeyRecorder::recordKeyPress(const CapturedKey &key)
{
    if (!m_recording)
        return;
    const quint32 modifiers = modifierMask(key.modifiers);
    if (key.keyCode == escapeCode && modifiers == 0) {
        stopRecording();
        return;
    }
    if (key.keyCode && std::find(modifierKeyCodes.begin(), modifierKeyCodes.end(), *key.keyCode) != modifierKeyCodes.end())
        return;
    const std::optional<QString> string = buildHotkeyString(modifiers, keyName(key));
    if (!string)
        return;
    const auto [valid, message] = validateHotkey(*string);
    stopRecording();
    if (valid) {
        setHotkeyString(*string);
        emit hotkeyAccepted(*string);
    } else {
        m_validationMessage = message;
        emit hotkeyRejected(message);
    }
}

std::pair<bool, QString> HotkeyRecorder::validateHotkey(const QString &string)
{
    const QStringList pieces = string.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    const qsizetype modifierCount = std::count_if(pieces.begin(), pieces.end(), isModifierWord);
    if (modifierCount == 0)
        return {false, QStringLiteral("Hotkey must include at least one modifier key (⌘, ⌃, ⌥, or ⇧)")};
    if (pieces.size() - modifierCount != 1)
        return {false, QStringLiteral("Hotkey must have exactly one main key")};
    if (systemHotkeys().contains(canonical(string)))
        return {false, QStringLiteral("This hotkey conflicts with a system shortcut. Please choose a different combination.")};
    return {true, QString()};
}

std::optional<QString> HotkeyRecorder::buildHotkeyString(quint32 modifiers, const std::optional<QString> &keyName)
{
    QStringList pieces;
    for (const ModifierWord &m : modifierWords)
        if (modifiers & m.mask)
            pieces.append(QLatin1String(m.word));
    if (keyName && !keyName->isEmpty())
        pieces.append(keyName->toLower());
    else if (pieces.isEmpty())
        return std::nullopt;
    return pieces.join(QLatin1Char('+'));
}

std::optional<QString> HotkeyRecorder::keyName(const CapturedKey &key)
{
    if (key.keyCode)
        for (const NamedKey &named : keyCodeToString)
            if (named.code == *key.keyCode)
                return QLatin1String(named.name);
    // Control characters and blanks would make a string nobody can read back.
    const QList<uint> characters = key.text.toUcs4();
    const bool printable = std::all_of(characters.begin(), characters.end(),
                                       [](uint c) { return QChar::isPrint(c) && !QChar::isSpace(c); });
    if (key.text.isEmpty() || key.text.size() > 4 || !printable)
        return std::nullopt;
    return key.text;
}

void HotkeyRecorder::setCurrentModifiers(quint32 modifiers)
{
    if (modifiers == m_currentModifiers)
        return;
    m_currentModifiers = modifiers;
    emit currentModifiersChanged(modifiers);
}

} // namespace snipbrook
