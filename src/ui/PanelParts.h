#pragma once

#include <QVariantAnimation>
#include <QWidget>

namespace snipbrook {

// A hairline between the panel's parts.
class PanelDivider : public QWidget {
    Q_OBJECT
public:
    explicit PanelDivider(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A small turning arc, shown while a search runs; it animates only while visible.
class PanelSpinner : public QWidget {
    Q_OBJECT
public:
    explicit PanelSpinner(int size, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QVariantAnimation m_turn;
};

} // namespace snipbrook
