#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <utility>

namespace snipbrook {

// Runs `handler(future)` on `owner`'s thread once `future` has finished (also when cancelled),
// unless `owner` is gone by then: the watcher is the owner's child and dies with it. Call it on
// the owner's thread.
template <typename T, typename Handler>
void whenFinished(const QFuture<T> &future, QObject *owner, Handler &&handler)
{
    auto *watcher = new QFutureWatcher<T>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, handler = std::forward<Handler>(handler)]() mutable {
                         watcher->deleteLater();
                         handler(watcher->future());
                     });
    watcher->setFuture(future);
}

} // namespace snipbrook
