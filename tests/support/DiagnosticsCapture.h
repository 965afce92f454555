#pragma once

#include <QString>
#include <QStringList>

#include <mutex>

namespace snipbrook::test {

// Collects the diagnostic lines written while it lives.
class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    DiagnosticsCapture(const DiagnosticsCapture &) = delete;
    DiagnosticsCapture &operator=(const DiagnosticsCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const;
    // Lines that begin with the prefix.
    int count(const QString &prefix) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

} // namespace snipbrook::test
