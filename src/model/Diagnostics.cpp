#include "Diagnostics.h"

#include "TerminalText.h"

#include <cstdio>
#include <mutex>

namespace snipbrook {
namespace {

std::mutex &diagMutex()
{
    static std::mutex mutex;
    return mutex;
}

DiagnosticSink &sink()
{
    static DiagnosticSink instance;
    return instance;
}

} // namespace

void diag(const QString &text)
{
    // Lines name window classes, settings and paths from outside; the log may be a terminal.
    const QString line = terminalField(text);
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::lock_guard lock(diagMutex());
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    if (sink())
        sink()(line);
}

void setDiagnosticSink(DiagnosticSink newSink)
{
    std::lock_guard lock(diagMutex());
    sink() = std::move(newSink);
}

} // namespace snipbrook
