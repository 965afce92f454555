#pragma once

#include <QAbstractButton>

namespace snipbrook {

// An on/off switch: a pill with a round knob, the accent colour when on. Space and a click toggle
// it like a check box, which is also what it is to screen readers.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(const QString &accessibleName, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

} // namespace snipbrook
