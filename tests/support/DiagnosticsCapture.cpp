#include "DiagnosticsCapture.h"

#include "model/Diagnostics.h"

namespace snipbrook::test {

DiagnosticsCapture::DiagnosticsCapture()
{
    setDiagnosticSink([this](const QString &line) {
        std::lock_guard lock(m_mutex);
        m_lines.append(line);
    });
}

DiagnosticsCapture::~DiagnosticsCapture() { setDiagnosticSink({}); }

QStringList DiagnosticsCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool DiagnosticsCapture::contains(const QString &line) const { return lines().contains(line); }

int DiagnosticsCapture::count(const QString &prefix) const
{
    int n = 0;
    for (const QString &line : lines())
        n += line.startsWith(prefix) ? 1 : 0;
    return n;
}

void DiagnosticsCapture::clear()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

} // namespace snipbrook::test
