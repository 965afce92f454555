#pragma once

#include "WaylandConnection.h"

#include <QList>
#include <QString>

namespace snipbrook {

// Which data-control protocol to speak, from the globals the compositor announced.
struct DataControlChoice {
    enum class Protocol { none, ext, wlr };
    Protocol protocol = Protocol::none;
    // The version to bind: the lower of what we know and what the compositor offers.
    quint32 version = 0;

    // Primary selection needs ext v1 or wlr v2.
    bool supportsPrimarySelection() const
    {
        return protocol == Protocol::ext || (protocol == Protocol::wlr && version >= 2);
    }
    // The global's interface name, for log lines; empty for none.
    QString interfaceName() const;
    bool operator==(const DataControlChoice &) const = default;
};

// ext_data_control_manager_v1 when announced (it is the standardised one), else
// zwlr_data_control_manager_v1 up to v2, else none (GNOME's mutter offers neither).
DataControlChoice chooseDataControl(const QList<WaylandGlobal> &globals);

} // namespace snipbrook
