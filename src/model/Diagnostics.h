#pragma once

#include <QString>

#include <functional>

namespace snipbrook {

// Writes one diagnostic line ("✅ Saved item: …") to standard output. Lines are written whole and
// flushed at once, so they appear in order even when stdout is a pipe and several threads log.
// Control characters (line breaks included) are written as spaces: one line stays one line.
void diag(const QString &line);

// Tests observe the lines through a sink; it is called (under the same lock) after each write.
using DiagnosticSink = std::function<void(const QString &line)>;
void setDiagnosticSink(DiagnosticSink sink);

} // namespace snipbrook
