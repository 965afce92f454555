#pragma once

#include <QString>

namespace snipbrook {

// Desktop notifications ("Copied", "Pasted", ...).
class Notifier {
public:
    virtual ~Notifier() = default;

    // Shows a notification with this title and body. Returns at once; delivery happens later or
    // not at all (no notification service), and the caller is never told.
    virtual void post(const QString &title, const QString &body) = 0;
};

} // namespace snipbrook
