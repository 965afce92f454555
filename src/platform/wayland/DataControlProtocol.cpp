#include "DataControlProtocol.h"

#include <algorithm>

namespace snipbrook {
namespace {

const QString extManager = QStringLiteral("ext_data_control_manager_v1");
const QString wlrManager = QStringLiteral("zwlr_data_control_manager_v1");
// The highest versions our generated glue knows.
constexpr quint32 extMaxVersion = 1;
constexpr quint32 wlrMaxVersion = 2;

} // namespace

QString DataControlChoice::interfaceName() const
{
    switch (protocol) {
    case Protocol::ext:
        return extManager;
    case Protocol::wlr:
        return wlrManager;
    case Protocol::none:
        break;
    }
    return {};
}

DataControlChoice chooseDataControl(const QList<WaylandGlobal> &globals)
{
    const auto find = [&](const QString &interface) {
        return std::find_if(globals.begin(), globals.end(),
                            [&](const WaylandGlobal &global) { return global.interface == interface; });
    };
    if (const auto ext = find(extManager); ext != globals.end() && ext->version >= 1)
        return {DataControlChoice::Protocol::ext, std::min(ext->version, extMaxVersion)};
    if (const auto wlr = find(wlrManager); wlr != globals.end() && wlr->version >= 1)
        return {DataControlChoice::Protocol::wlr, std::min(wlr->version, wlrMaxVersion)};
    return {};
}

} // namespace snipbrook
