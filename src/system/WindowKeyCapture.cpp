#include "WindowKeyCapture.h"

#include "HotkeyString.h"
#include "model/Diagnostics.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>

namespace snipbrook {
namespace {

constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// XKB keysyms of the right-hand modifier keys: the toolkit's key does not tell the sides apart.
constexpr quint32 controlRight = 0xffe4;
constexpr quint32 shiftRight = 0xffe2;
constexpr quint32 altRight = 0xffea;
constexpr quint32 metaRight = 0xffe8;
constexpr quint32 superRight = 0xffec;

struct ModifierKey {
    quint16 code;
    // The modifier this key holds; none for the lock keys.
    Qt::KeyboardModifier modifier;
};

// The Mac virtual key codes of the modifier keys (Control is "cmd", Super "ctrl", Alt "opt").
// Modifier-like keys without a Mac counterpart (AltGr, Num Lock, Hyper) count as Function (63),
// which the recorder never takes as a main key either.
std::optional<ModifierKey> modifierKey(const QKeyEvent &event)
{
    const quint32 sym = event.nativeVirtualKey();
    switch (event.key()) {
    case Qt::Key_Control: return ModifierKey{quint16(sym == controlRight ? 54 : 55), Qt::ControlModifier};
    case Qt::Key_Shift: return ModifierKey{quint16(sym == shiftRight ? 60 : 56), Qt::ShiftModifier};
    case Qt::Key_Alt: return ModifierKey{quint16(sym == altRight || sym == metaRight ? 61 : 58), Qt::AltModifier};
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return ModifierKey{quint16(sym == superRight ? 62 : 59), Qt::MetaModifier};
    case Qt::Key_Super_R: return ModifierKey{62, Qt::MetaModifier};
    case Qt::Key_CapsLock: return ModifierKey{57, Qt::NoModifier};
    case Qt::Key_AltGr:
    case Qt::Key_NumLock:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch: return ModifierKey{63, Qt::NoModifier};
    default: return std::nullopt;
    }
}

// XKB key codes of the digit row ("1" to "9", then "0"): Shift+1 arrives as "!" on most layouts.
constexpr quint32 digitRowFirst = 10;
constexpr quint32 digitRowLast = 19;

} // namespace

WindowKeyCapture::~WindowKeyCapture() { stop(); }

bool WindowKeyCapture::start()
{
    if (m_capturing)
        return true;
    if (!qApp) {
        diag(QStringLiteral("⚠️ Could not record a shortcut: no running application"));
        emit captureLost(QStringLiteral("no running application"));
        return false;
    }
    qApp->installEventFilter(this);
    m_capturing = true;
    return true;
}

void WindowKeyCapture::stop()
{
    if (!m_capturing)
        return;
    m_capturing = false;
    if (qApp)
        qApp->removeEventFilter(this);
}

CapturedKey WindowKeyCapture::capturedKey(const QKeyEvent &event)
{
    CapturedKey key{std::nullopt, QString(), event.modifiers() & shortcutModifiers};
    if (const std::optional<ModifierKey> modifier = modifierKey(event)) {
        key.keyCode = modifier->code;
        key.modifiers &= ~Qt::KeyboardModifiers(modifier->modifier);
        return key;
    }
    const auto qtKey = Qt::Key(event.key());
    // Letters by the key, not by what Shift or Control make of them.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        key.text = QChar(u'a' + (qtKey - Qt::Key_A));
        return key;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        key.text = QChar(u'0' + (qtKey - Qt::Key_0));
        return key;
    }
    if (const std::optional<quint16> code = hotkey::keyCodeOf(qtKey)) {
        key.keyCode = code;
        return key;
    }
    if (qtKey == Qt::Key_Backtab) {
        key.keyCode = hotkey::keyCodeOf(Qt::Key_Tab);
        return key;
    }
    const quint32 scanCode = event.nativeScanCode();
    if ((event.modifiers() & Qt::ShiftModifier) && scanCode >= digitRowFirst && scanCode <= digitRowLast) {
        key.text = QChar(scanCode == digitRowLast ? u'0' : char16_t(u'1' + (scanCode - digitRowFirst)));
        return key;
    }
    // Other printable keys by the character the toolkit names them with, lower-cased.
    if (qtKey > Qt::Key_Space && qtKey <= 0xff)
        key.text = QChar(char16_t(qtKey)).toLower();
    else if (!event.text().isEmpty() && event.text().front().isPrint())
        key.text = event.text().toLower();
    return key;
}

bool WindowKeyCapture::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_capturing)
        return KeyCapture::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepted, so that no menu or window shortcut fires for the key being recorded.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        handleKey(*static_cast<QKeyEvent *>(event), event->type() == QEvent::KeyPress);
        return true;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive) {
            stop();
            emit captureLost(QStringLiteral("another window took the keyboard"));
        }
        return false;
    default:
        return false;
    }
}

void WindowKeyCapture::handleKey(const QKeyEvent &event, bool press)
{
    if (event.isAutoRepeat())
        return;
    const CapturedKey key = capturedKey(event);
    if (const std::optional<ModifierKey> modifier = modifierKey(event)) {
        const Qt::KeyboardModifiers now = press ? key.modifiers | modifier->modifier : key.modifiers;
        QPointer<WindowKeyCapture> self(this);
        emit modifiersChanged(now);
        if (!self || !m_capturing || !press)
            return;
    } else if (!press) {
        return;
    }
    emit keyPressed(key);
}

} // namespace snipbrook
