#pragma once

#include "platform/TrayIcon.h"

namespace snipbrook::test {

// A tray that records what it was given; tests click it and make trays come and go.
class FakeTrayIcon : public TrayIcon {
public:
    bool available = true;
    bool shown = false;
    QString symbol;
    QString toolTip;
    MenuModel menu;
    int menuUpdates = 0;
    std::optional<QRect> place;

    bool isAvailable() const override { return available; }
    void setIcon(const QString &name, const QString &) override { symbol = name; }
    void setToolTip(const QString &text) override { toolTip = text; }
    void setMenu(const MenuModel &model) override
    {
        menu = model;
        ++menuUpdates;
    }
    void show() override { shown = true; }
    std::optional<QRect> geometry() const override { return place; }

    void click(Click click) { emit activated(click); }
    void setAvailable(bool value)
    {
        available = value;
        emit availabilityChanged(value);
    }
};

} // namespace snipbrook::test
