#pragma once

#include <QString>

namespace snipbrook {

// The desktop's per-user "start at login" registration for Snipbrook.
class Autostart {
public:
    virtual ~Autostart() = default;

    // Registered and not switched off by the user.
    virtual bool isEnabled() const = 0;
    // Registers (or removes the registration); on failure returns false and says why in `error`.
    virtual bool setEnabled(bool enabled, QString *error) = 0;
};

} // namespace snipbrook
