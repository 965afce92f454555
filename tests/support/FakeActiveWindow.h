#pragma once

#include "platform/ActiveWindow.h"

#include <QHash>
#include <QList>

namespace snipbrook::test {

// Windows the test opens and closes; an activation request takes effect only when the test
// says so (switchOnRequest), as a window manager answers later.
class FakeActiveWindow : public ActiveWindow {
public:
    QHash<quint64, WindowIdentity> windows;
    quint64 active = 0;
    bool switchOnRequest = true;
    QList<quint64> requests;
    mutable int activeQueries = 0;

    WindowIdentity open(quint64 id, const QString &instance, const QString &windowClass)
    {
        windows.insert(id, {id, instance, windowClass});
        active = id;
        return windows.value(id);
    }
    void close(quint64 id)
    {
        windows.remove(id);
        if (active == id)
            active = 0;
    }

    std::optional<WindowIdentity> current() const override
    {
        return windows.contains(active) ? std::optional(windows.value(active)) : std::nullopt;
    }
    bool activate(quint64 window) override
    {
        requests.append(window);
        if (!windows.contains(window))
            return false;
        if (switchOnRequest)
            active = window;
        return true;
    }
    bool isActive(quint64 window) const override
    {
        ++activeQueries;
        return active == window && windows.contains(window);
    }
    bool exists(quint64 window) const override { return windows.contains(window); }
};

} // namespace snipbrook::test
