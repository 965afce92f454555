#pragma once

#include <QAbstractButton>
#include <QColor>

namespace snipbrook {

// One palette of the "Customization" chooser: a 12 x 12 swatch of its primary colour, an 8 x 8
// swatch of its accent colour and its name. The chosen one sits on its primary colour at 15 %
// with a 1.5 px border of that colour.
class PaletteButton : public QAbstractButton {
    Q_OBJECT
public:
    PaletteButton(const QString &name, const QColor &primary, const QColor &accent, QWidget *parent = nullptr);

    QColor primaryColor() const { return m_primary; }
    QColor accentColor() const { return m_accent; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QFont nameFont() const;

    QColor m_primary;
    QColor m_accent;
    bool m_hovered = false;
};

} // namespace snipbrook
