#include "HotkeyRecorderField.h"

#include "SymbolIcons.h"
#include "system/HotkeyRecorder.h"
#include "system/HotkeyString.h"

#include <QHBoxLayout>
#include <QAbstractButton>
#include <QEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <array>

namespace snipbrook {
namespace {

using namespace hotkey;

constexpr int fieldMinimumWidth = 120;
constexpr int fieldHeight = 32;
constexpr int margin = 12;
constexpr int gap = 6;
constexpr int capGap = 4;

QColor accentColor(const QPalette &palette) { return palette.color(QPalette::Highlight); }
QColor secondaryColor(const QPalette &palette) { return palette.color(QPalette::PlaceholderText); }

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}

QFont fontOf(const QFont &base, qreal pointSize, QFont::Weight weight = QFont::Normal)
{
    QFont font = base;
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    return font;
}


int pixelsForPoints(const QWidget *widget, qreal points) { return qRound(points * widget->logicalDpiY() / 72.0); }

// What the field shows, measured and painted from one description so the size hint fits it.
// A button to the toolkit, so mouse, keyboard (Space) and accessibility tools can press it.
class KeyField : public QAbstractButton {
public:
    KeyField(HotkeyRecorder *recorder, QWidget *parent) : QAbstractButton(parent), m_recorder(recorder)
    {
        setAccessibleName(QStringLiteral("Global Search Hotkey"));
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return {std::max(fieldMinimumWidth, contentWidth() + 2 * margin), fieldHeight}; }
    // The key caps are never cut: a narrow window scrolls instead.
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_recorder)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool recording = m_recorder->isRecording();
        const QColor accent = accentColor(palette());
        const QColor secondary = secondaryColor(palette());

        const qreal penWidth = recording ? 2.0 : 1.0;
        const QRectF box = QRectF(rect()).adjusted(penWidth / 2, penWidth / 2, -penWidth / 2, -penWidth / 2);
        painter.setBrush(withAlpha(recording ? accent : secondary, 0.1));
        painter.setPen(QPen(recording ? accent : withAlpha(secondary, 0.3), penWidth));
        painter.drawRoundedRect(box, 6, 6);

        qreal x = margin;
        const qreal middle = height() / 2.0;
        auto drawText = [&](const QString &text, const QFont &font, const QColor &color) {
            painter.setFont(font);
            painter.setPen(color);
            const QFontMetricsF metrics(font);
            painter.drawText(QPointF(x, middle + (metrics.ascent() - metrics.descent()) / 2), text);
            x += metrics.horizontalAdvance(text);
        };

        if (recording) {
            const int iconSize = pixelsForPoints(this, 12);
            painter.drawPixmap(QPointF(x, middle - iconSize / 2.0),
                               symbolPixmap(QStringLiteral("keyboard"), accent, iconSize, devicePixelRatioF()));
            x += iconSize + gap;
            drawText(QStringLiteral("Press keys..."), fontOf(font(), 12, QFont::Medium), accent);
            const QString held = HotkeyRecorderField::modifierText(m_recorder->currentModifiers());
            if (!held.isEmpty()) {
                x += gap;
                drawText(held, fontOf(font(), 11), secondary);
            }
            return;
        }
        const QStringList caps = HotkeyRecorderField::keyCaps(m_recorder->hotkeyString());
        if (caps.isEmpty()) {
            drawText(QStringLiteral("Click to set"), fontOf(font(), 12), secondary);
            return;
        }
        const QFont capFont = fontOf(font(), 11, QFont::Medium);
        const QFontMetricsF metrics(capFont);
        painter.setFont(capFont);
        for (const QString &cap : caps) {
            const QRectF capBox(x, middle - metrics.height() / 2 - 2, metrics.horizontalAdvance(cap) + 8,
                                metrics.height() + 4);
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(secondary, 0.2));
            painter.drawRoundedRect(capBox, 3, 3);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(capBox, Qt::AlignCenter, cap);
            x = capBox.right() + capGap;
        }
    }

private:
    int contentWidth() const
    {
        if (!m_recorder)
            return 0;
        if (m_recorder->isRecording()) {
            const QString held = HotkeyRecorderField::modifierText(m_recorder->currentModifiers());
            return pixelsForPoints(this, 12) + gap
                   + qCeil(QFontMetricsF(fontOf(font(), 12, QFont::Medium)).horizontalAdvance(QStringLiteral("Press keys...")))
                   + (held.isEmpty() ? 0 : gap + qCeil(QFontMetricsF(fontOf(font(), 11)).horizontalAdvance(held)));
        }
        const QStringList caps = HotkeyRecorderField::keyCaps(m_recorder->hotkeyString());
        if (caps.isEmpty())
            return qCeil(QFontMetricsF(fontOf(font(), 12)).horizontalAdvance(QStringLiteral("Click to set")));
        const QFontMetricsF metrics(fontOf(font(), 11, QFont::Medium));
        qreal width = 0;
        for (const QString &cap : caps)
            width += metrics.horizontalAdvance(cap) + 8 + capGap;
        return qCeil(width - capGap);
    }

    QPointer<HotkeyRecorder> m_recorder;
};

void showMessageBox(QWidget *parent, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

} // namespace

HotkeyRecorderField::HotkeyRecorderField(HotkeyRecorder *recorder, QWidget *parent)
    : QWidget(parent), m_recorder(recorder), m_alert(showMessageBox)
{
    auto *field = new KeyField(recorder, this);
    m_field = field;
    m_clearButton = new QToolButton(this);
    m_clearButton->setAutoRaise(true);
    m_clearButton->setToolTip(QStringLiteral("Clear hotkey"));
    m_clearButton->setAccessibleName(QStringLiteral("Clear hotkey"));
    m_clearButton->setCursor(Qt::PointingHandCursor);
    // The field keeps its place when there is nothing to clear.
    QSizePolicy policy = m_clearButton->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_clearButton->setSizePolicy(policy);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(gap);
    layout->addWidget(m_field);
    layout->addWidget(m_clearButton);
    layout->addStretch();

    if (!recorder)
        return;
    connect(field, &QAbstractButton::clicked, recorder, &HotkeyRecorder::startRecording);
    connect(m_clearButton, &QToolButton::clicked, recorder, &HotkeyRecorder::clearHotkey);
    connect(recorder, &HotkeyRecorder::recordingChanged, this, &HotkeyRecorderField::refresh);
    connect(recorder, &HotkeyRecorder::currentModifiersChanged, this, &HotkeyRecorderField::refresh);
    connect(recorder, &HotkeyRecorder::hotkeyStringChanged, this, &HotkeyRecorderField::refresh);
    connect(recorder, &HotkeyRecorder::hotkeyRejected, this, [this](const QString &message) {
        if (m_alert)
            m_alert(this, QStringLiteral("Invalid Hotkey"),
                    message.isEmpty() ? QStringLiteral("Invalid hotkey combination") : message);
    });
    refresh();
}

HotkeyRecorderField::~HotkeyRecorderField()
{
    if (m_recorder)
        m_recorder->stopRecording();
}

void HotkeyRecorderField::hideEvent(QHideEvent *event)
{
    if (m_recorder)
        m_recorder->stopRecording();
    QWidget::hideEvent(event);
}

void HotkeyRecorderField::changeEvent(QEvent *event)
{
    // The clear button's symbol is tinted with the palette's colours.
    if (event->type() == QEvent::PaletteChange)
        refresh();
    QWidget::changeEvent(event);
}

void HotkeyRecorderField::setAlert(Alert alert) { m_alert = std::move(alert); }

QStringList HotkeyRecorderField::keyCaps(const QString &hotkeyString)
{
    // A string the parser knows reads as everywhere else in the program (Ctrl+Shift+Space).
    if (const std::optional<QString> caps = hotkeyKeyCapsText(hotkeyString))
        return caps->split(QLatin1Char('+'));
    // Others (a punctuation key the parser has no code for) piece by piece.
    static const QHash<QString, QString> words{
        {QStringLiteral("cmd"), QStringLiteral("Ctrl")}, {QStringLiteral("ctrl"), QStringLiteral("Super")},
        {QStringLiteral("opt"), QStringLiteral("Alt")},  {QStringLiteral("shift"), QStringLiteral("Shift")},
        {QStringLiteral("space"), QStringLiteral("Space")},
    };
    QStringList caps;
    for (const QString &piece : hotkeyString.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        const QString lower = piece.toLower();
        caps.append(words.value(lower, lower.left(1).toUpper() + lower.mid(1)));
    }
    return caps;
}

QString HotkeyRecorderField::modifierText(quint32 modifiers)
{
    struct Word {
        quint32 mask;
        const char *text;
    };
    static constexpr std::array<Word, 4> order{{
        {cmdMask, "Ctrl"}, {controlMask, "Super"}, {optionMask, "Alt"}, {shiftMask, "Shift"},
    }};
    QStringList words;
    for (const Word &word : order)
        if (modifiers & word.mask)
            words.append(QLatin1String(word.text));
    return words.join(QLatin1Char('+'));
}

void HotkeyRecorderField::refresh()
{
    if (!m_recorder)
        return;
    const bool recording = m_recorder->isRecording();
    const QString value = m_recorder->hotkeyString();
    if (recording) {
        const QString held = modifierText(m_recorder->currentModifiers());
        m_field->setAccessibleDescription(held.isEmpty() ? QStringLiteral("Press keys...")
                                                         : QStringLiteral("Press keys... ") + held);
    } else {
        m_field->setAccessibleDescription(value.isEmpty() ? QStringLiteral("Click to set")
                                                          : keyCaps(value).join(QLatin1Char('+')));
    }
    m_clearButton->setVisible(!recording && !value.isEmpty());
    const int iconSize = pixelsForPoints(this, 14);
    m_clearButton->setIconSize(QSize(iconSize, iconSize));
    m_clearButton->setIcon(QIcon(symbolPixmap(QStringLiteral("xmark.circle.fill"), secondaryColor(palette()),
                                              iconSize, devicePixelRatioF())));
    m_field->updateGeometry();
    m_field->update();
}

} // namespace snipbrook
