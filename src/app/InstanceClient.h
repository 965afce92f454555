#pragma once

#include "CommandLine.h"

#include <QString>

#include <optional>

namespace snipbrook {

// Paths of the single-instance lock and socket in the user's runtime folder.
struct InstancePaths {
    QString lockFile;
    QString socket;

    // The runtime folder comes from RuntimeFolder::claim(), the same for the instance and the
    // command line.
    static InstancePaths inRuntimeDir(const QString &runtimeDir);
};

// Sends one request to the running instance and waits for its answer, over a plain Unix socket
// (the command line stays light: no toolkit beyond Qt Core). Nothing when no instance listens,
// or when it does not answer in time.
std::optional<CliResponse> sendToInstance(const QString &socketPath, const CliRequest &request, int timeoutMs);

} // namespace snipbrook
