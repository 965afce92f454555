#pragma once

#include "system/UpdateManager.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace snipbrook {

// The release feed: {"releases": [ReleaseInfo...]}. Every entry must carry the required keys with
// their JSON types; one bad entry rejects the whole document (`error` says where).
std::optional<QList<ReleaseInfo>> decodeReleasesFile(const QByteArray &json, QString *error);

// The newest entry: the first one unless a later one is newer; the earliest of equal ones wins.
// `releases` must not be empty.
const ReleaseInfo &newestRelease(const QList<ReleaseInfo> &releases);

// An address the update check may fetch or open: https, or plain http to this computer
// (localhost, 127.0.0.0/8, ::1). Anything else could let others on the network announce a
// release with their own download address.
bool isAcceptableUpdateUrl(const QUrl &url);

} // namespace snipbrook
