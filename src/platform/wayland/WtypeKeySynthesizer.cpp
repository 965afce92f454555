#include "WtypeKeySynthesizer.h"

#include "WaylandConnection.h"
#include "model/Diagnostics.h"

#include <QProcess>
#include <QStandardPaths>

namespace snipbrook {
namespace {

constexpr std::pair<Qt::KeyboardModifier, const char *> wtypeModifiers[] = {
    {Qt::ControlModifier, "ctrl"},
    {Qt::ShiftModifier, "shift"},
    {Qt::AltModifier, "alt"},
    {Qt::MetaModifier, "logo"},
};

// The keysym name wtype's -k looks up.
QString keyName(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar(u'a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(u'0' + (key - Qt::Key_0)));
    switch (key) {
    case Qt::Key_Insert: return QStringLiteral("Insert");
    case Qt::Key_Return: return QStringLiteral("Return");
    case Qt::Key_Space: return QStringLiteral("space");
    default: return {};
    }
}

} // namespace

std::optional<QStringList> wtypeArguments(const KeyChord &chord)
{
    const QString key = keyName(chord.key);
    Qt::KeyboardModifiers named;
    for (const auto &[modifier, name] : wtypeModifiers)
        named |= modifier;
    if (key.isEmpty() || (chord.modifiers & ~named))
        return std::nullopt;
    QStringList press;
    QStringList release;
    for (const auto &[modifier, name] : wtypeModifiers) {
        if (!(chord.modifiers & modifier))
            continue;
        press << QStringLiteral("-M") << QString::fromLatin1(name);
        release.prepend(QString::fromLatin1(name));
        release.prepend(QStringLiteral("-m"));
    }
    return press + QStringList{QStringLiteral("-k"), key} + release;
}

bool WtypeKeySynthesizer::offersVirtualKeyboard(const WaylandConnection &connection)
{
    return connection.isValid() && connection.global(QStringLiteral("zwp_virtual_keyboard_manager_v1")).has_value();
}

WtypeKeySynthesizer::WtypeKeySynthesizer(const WaylandConnection &connection, QObject *parent)
    : WtypeKeySynthesizer(offersVirtualKeyboard(connection), Options{}, parent)
{
}

WtypeKeySynthesizer::WtypeKeySynthesizer(bool compositorOffersVirtualKeyboard, Options options, QObject *parent)
    : QObject(parent), m_virtualKeyboard(compositorOffersVirtualKeyboard), m_options(std::move(options))
{
}

QString WtypeKeySynthesizer::programPath() const { return QStandardPaths::findExecutable(m_options.program); }

bool WtypeKeySynthesizer::isAvailable() const { return m_virtualKeyboard && !programPath().isEmpty(); }

QString WtypeKeySynthesizer::unavailableReason() const
{
    if (programPath().isEmpty())
        return QStringLiteral("the %1 program is not installed").arg(m_options.program);
    return QStringLiteral("the compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1)");
}

QString WtypeKeySynthesizer::unavailableAdvice() const
{
    return QStringLiteral("Pasting on Wayland needs the wtype program and a compositor with the virtual-keyboard "
                          "protocol (such as sway or Hyprland); the item was copied, press Ctrl+V to paste it.");
}

bool WtypeKeySynthesizer::sendChord(const KeyChord &chord)
{
    const std::optional<QStringList> arguments = wtypeArguments(chord);
    if (!arguments) {
        diag(QStringLiteral("❌ wtype cannot type ") + chord.toString());
        return false;
    }
    const QString program = programPath();
    if (!m_virtualKeyboard || program.isEmpty()) {
        diag(QStringLiteral("❌ Cannot send ") + chord.toString() + QStringLiteral(": ") + unavailableReason());
        return false;
    }
    auto *process = new QProcess(this);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardOutputFile(QProcess::nullDevice());
    const QString shown = chord.toString();
    connect(process, &QProcess::finished, this, [process, shown](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || exitCode != 0) {
            const QString error = QString::fromLocal8Bit(process->readAllStandardError()).simplified();
            diag(QStringLiteral("❌ wtype failed to send %1 (%2): %3")
                     .arg(shown,
                          status == QProcess::NormalExit ? QStringLiteral("exit code %1").arg(exitCode)
                                                         : QStringLiteral("crashed"),
                          error.isEmpty() ? QStringLiteral("no message") : error));
        }
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [process, shown](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        diag(QStringLiteral("❌ wtype failed to send %1: %2").arg(shown, process->errorString()));
        process->deleteLater();
    });
    process->start(program, *arguments);
    return true;
}

} // namespace snipbrook
