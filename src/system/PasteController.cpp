#include "PasteController.h"

#include "capture/ClipboardManager.h"
#include "model/Diagnostics.h"
#include "platform/Pasteboard.h"

#include <QPointer>

namespace snipbrook {
namespace {

constexpr Qt::KeyboardModifiers modifierKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

QString describe(const std::optional<WindowIdentity> &window)
{
    if (!window)
        return QStringLiteral("the active window");
    const QString name = window->className.isEmpty() ? window->instanceName : window->className;
    return name.isEmpty() ? QStringLiteral("window 0x%1").arg(window->id, 0, 16) : name;
}

} // namespace

PasteController::PasteController(ClipboardManager &clipboardManager, Pasteboard &pasteboard, KeySynthesizer &keys,
                                 ActiveWindow &windows, Notifier &notifier, PasteTimings timings, QObject *parent)
    : QObject(parent), m_clipboardManager(clipboardManager), m_pasteboard(pasteboard), m_keys(keys),
      m_windows(windows), m_notifier(notifier), m_timings(timings)
{
    m_poll.setInterval(m_timings.pollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &PasteController::poll);
}

void PasteController::rememberTarget()
{
    std::optional<WindowIdentity> current = m_windows.current();
    // Our own windows (the main window) are never pasted into: opening the panel over the main
    // window keeps the window the user worked in before as the target.
    if (current && current->className == ownWindowClass)
        return;
    m_target = std::move(current);
}

void PasteController::paste(const ClipboardItem &item)
{
    ++m_generation;
    m_poll.stop();
    m_pending.reset();
    if (!m_keys.isAvailable()) {
        // The user can still paste by hand.
        m_clipboardManager.copyItem(item);
        diag(QStringLiteral("⚠️ Cannot paste: ") + m_keys.unavailableReason() + QStringLiteral("; the item was copied"));
        m_notifier.post(QStringLiteral("Permission needed"), m_keys.unavailableAdvice());
        emit finished(false);
        return;
    }
    const quint64 generation = m_generation;
    m_clipboardManager.copyItem(item, [guard = QPointer(this), generation, item](bool written) {
        if (guard)
            guard->copied(generation, item, written);
    });
}

void PasteController::copied(quint64 generation, const ClipboardItem &item, bool written)
{
    if (generation != m_generation)
        return;
    if (!written) {
        diag(QStringLiteral("❌ Nothing pasted: the item could not be put on the clipboard"));
        emit finished(false);
        return;
    }
    emit switchingBack();
    m_pending = Pending{m_target, item, {}, false};
    m_pending->sinceCopy.start();
    if (m_target && !m_windows.activate(m_target->id)) {
        abandon(QStringLiteral("⚠️ The window to paste into has closed; the item stays on the clipboard"));
        return;
    }
    // The panel is a popup, so the window often never lost the focus: look at once.
    poll();
    if (m_pending)
        m_poll.start();
}

void PasteController::poll()
{
    if (!m_pending)
        return;
    Pending &pending = *m_pending;
    const std::optional<WindowIdentity> &target = pending.target;
    const bool active = !target || m_windows.isActive(target->id);
    const Qt::KeyboardModifiers held = m_keys.heldModifiers() & modifierKeys;
    if (active && held == Qt::NoModifier) {
        send();
        return;
    }
    const qint64 elapsed = pending.sinceCopy.elapsed();
    if (!active && !pending.askedAgain && elapsed >= m_timings.activationBoundMs) {
        // Some window managers drop a request that arrives while a popup still holds the grab.
        pending.askedAgain = true;
        if (!m_windows.activate(target->id)) {
            abandon(QStringLiteral("⚠️ The window to paste into has closed; the item stays on the clipboard"));
            return;
        }
    }
    if (elapsed < m_timings.activationBoundMs + m_timings.keystrokeBoundMs)
        return;
    if (!active && !m_windows.exists(target->id)) {
        abandon(QStringLiteral("⚠️ The window to paste into has closed; the item stays on the clipboard"));
        return;
    }
    diag(QStringLiteral("⚠️ Pasting without waiting longer: ")
         + (!active ? QStringLiteral("%1 is not active yet").arg(describe(target))
                    : QStringLiteral("modifier keys are still held")));
    send();
}

void PasteController::send()
{
    m_poll.stop();
    const Pending pending = std::move(*m_pending);
    m_pending.reset();
    const std::optional<WindowIdentity> window = pending.target ? pending.target : m_windows.current();
    const PasteStyle style = pasteStyleFor(window);
    if (style == PasteStyle::primarySelection) {
        if (pending.item.type == ClipboardItemType::image) {
            abandon(QStringLiteral("⚠️ ") + describe(window)
                    + QStringLiteral(" pastes only text; the image stays on the clipboard"));
            return;
        }
        if (!m_pasteboard.writePrimaryText(pending.item.content)) {
            abandon(QStringLiteral("⚠️ Could not offer the item as the primary selection for ") + describe(window)
                    + QStringLiteral("; the item stays on the clipboard"));
            return;
        }
    }
    const KeyChord chord = pasteChord(style);
    if (!m_keys.sendChord(chord)) {
        abandon(QStringLiteral("❌ Could not send ") + chord.toString()
                + QStringLiteral("; the item stays on the clipboard"));
        return;
    }
    diag(QStringLiteral("✅ Pasted into ") + describe(window) + QStringLiteral(" with ") + chord.toString());
    m_notifier.post(QStringLiteral("Pasted"), QStringLiteral("Item pasted into current app"));
    emit finished(true);
}

void PasteController::abandon(const QString &line)
{
    m_poll.stop();
    m_pending.reset();
    diag(line);
    m_notifier.post(QStringLiteral("Copied"), QStringLiteral("Item copied to clipboard"));
    emit finished(false);
}

} // namespace snipbrook
