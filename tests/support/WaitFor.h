#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace snipbrook::test {

// Runs the event loop until the condition holds or the time is up; returns the condition.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(200);
    }
    return true;
}

} // namespace snipbrook::test
