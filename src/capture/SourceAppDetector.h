#pragma once

#include "model/SourceAppInfo.h"
#include "platform/Workspace.h"

#include <QStringList>

namespace snipbrook {

// Attributes a clipboard change to an application: the one in front, or else the best guess
// among the running ordinary applications.
class SourceAppDetector {
public:
    explicit SourceAppDetector(const Workspace &workspace) : m_workspace(workspace) {}

    SourceAppInfo detectSourceApp() const;

    // Desktop parts that never count as the source in the fallback (substring match).
    static const QStringList &systemBundleIdentifiers();

private:
    const Workspace &m_workspace;
};

} // namespace snipbrook
