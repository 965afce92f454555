#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <type_traits>

namespace snipbrook {

// Runs the work on the pool and returns its future. Unlike QtConcurrent::run, a caller that
// blocks on the future (waitForFinished, result) never takes the work over to run it on its own
// thread, so a pool of one thread stays a true serial queue whoever waits for it.
template <typename Work>
QFuture<std::invoke_result_t<Work>> runOnPool(QThreadPool &pool, Work work)
{
    using Result = std::invoke_result_t<Work>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    pool.start([promise, work = std::move(work)]() mutable {
        if constexpr (std::is_void_v<Result>)
            work();
        else
            promise->addResult(work());
        promise->finish();
    });
    return future;
}

} // namespace snipbrook
