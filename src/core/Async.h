#pragma once

// The one way asynchronous work is written here:
//  - runOnPool(pool, work): work on a pool (a pool of one thread is a serial queue), as a future.
//  - runOnPoolThen(pool, work, queue, next): work on a pool, then next(its result) on another pool
//    (a serial queue, typically), as one future.
//  - continueOnPool(pool, future, fn): fn(future's result) on a pool thread, without an event loop.
//  - whenFinished(future, owner, handler): the handler runs on owner's thread once the future is
//    done, and never after owner is gone.
//  - thenOn(owner, future, fn): the same, as a future of fn's result (unwrapped when fn returns a
//    future). When owner goes first, the returned future is cancelled instead of left hanging.
//  - whenAllFinished(futures, owner, handler): the handler runs on owner's thread once every future
//    is done.
// QFuture::then, unwrap and QtFuture::whenAll are not used. In this Qt (6.4) a continuation
// attached while its future finishes on another thread can crash in reportStarted (a stress test
// of then() alone crashes within seconds); then(context, ...) also asserts (and is undefined in
// release builds) when the context is destroyed before the continuation runs; whenAll starts its
// promise on whichever thread finishes last while watchers attach on another.

#include <QFuture>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

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

// Runs `work()` on `first`, then `next(result)` on `second`, and returns next's future: a step that
// must run on a serial queue after work done elsewhere. (QFuture::then with unwrap() races in this
// Qt when the inner future finishes as the continuation attaches to it: it crashed in
// reportStarted on the queue's thread.)
template <typename Work, typename Next>
auto runOnPoolThen(QThreadPool &first, Work work, QThreadPool &second, Next next)
{
    using Middle = std::invoke_result_t<Work>;
    using Result = std::invoke_result_t<Next, Middle>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    first.start([promise, work = std::move(work), queue = &second, next = std::move(next)]() mutable {
        auto middle = std::make_shared<Middle>(work());
        queue->start([promise, middle, next]() mutable {
            if constexpr (std::is_void_v<Result>)
                next(std::move(*middle));
            else
                promise->addResult(next(std::move(*middle)));
            promise->finish();
        });
    });
    return future;
}

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

namespace detail {

template <typename T>
struct IsFuture : std::false_type {};
template <typename T>
struct IsFuture<QFuture<T>> : std::true_type {
    using Value = T;
};

template <typename T, typename Fn>
auto callWithResult(Fn &fn, const QFuture<T> &future)
{
    if constexpr (std::is_void_v<T>) {
        return fn();
    } else {
        // A cancelled or failed future has no result: the continuation gets a default value.
        return fn(future.resultCount() > 0 ? future.result() : T{});
    }
}

template <typename T, typename Fn>
using ContinuationResult = decltype(callWithResult<T>(std::declval<Fn &>(), std::declval<const QFuture<T> &>()));

template <typename R>
void fulfil(QPromise<R> &promise, auto &&produce)
{
    if constexpr (std::is_void_v<R>) {
        produce();
    } else {
        promise.addResult(produce());
    }
    promise.finish();
}

} // namespace detail

// `fn(result)` (or `fn()` for a void future) on owner's thread once `future` is done; the returned
// future finishes with fn's result, or with the result of the future fn returns. If owner is
// destroyed first, fn never runs and the returned future is cancelled.
template <typename T, typename Fn>
auto thenOn(QObject *owner, const QFuture<T> &future, Fn fn)
{
    using Raw = detail::ContinuationResult<T, Fn>;
    if constexpr (detail::IsFuture<Raw>::value) {
        using R = typename detail::IsFuture<Raw>::Value;
        auto promise = std::make_shared<QPromise<R>>();
        promise->start();
        QFuture<R> result = promise->future();
        whenFinished(future, owner, [owner, promise, fn = std::move(fn)](const QFuture<T> &done) mutable {
            const QFuture<R> inner = detail::callWithResult<T>(fn, done);
            whenFinished(inner, owner, [promise](const QFuture<R> &innerDone) {
                detail::fulfil<R>(*promise, [&] {
                    if constexpr (!std::is_void_v<R>)
                        return innerDone.resultCount() > 0 ? innerDone.result() : R{};
                });
            });
        });
        return result;
    } else {
        using R = Raw;
        auto promise = std::make_shared<QPromise<R>>();
        promise->start();
        QFuture<R> result = promise->future();
        whenFinished(future, owner, [promise, fn = std::move(fn)](const QFuture<T> &done) mutable {
            detail::fulfil<R>(*promise, [&] { return detail::callWithResult<T>(fn, done); });
        });
        return result;
    }
}

// `fn(result)` on a thread of `pool` once `future` has finished, as a future; a cancelled future
// gives fn a default value. The pool's thread waits for `future`, so `future` must not need a
// thread of `pool` to finish.
template <typename T, typename Fn>
auto continueOnPool(QThreadPool &pool, QFuture<T> future, Fn fn)
{
    return runOnPool(pool, [future, fn = std::move(fn)]() mutable {
        future.waitForFinished();
        return detail::callWithResult<T>(fn, future);
    });
}

// Runs `handler()` on owner's thread once every future has finished, unless owner is gone.
template <typename T, typename Handler>
void whenAllFinished(const QList<QFuture<T>> &futures, QObject *owner, Handler handler)
{
    auto remaining = std::make_shared<qsizetype>(futures.size());
    auto shared = std::make_shared<Handler>(std::move(handler));
    if (futures.isEmpty()) {
        QMetaObject::invokeMethod(owner, [shared] { (*shared)(); }, Qt::QueuedConnection);
        return;
    }
    for (const QFuture<T> &future : futures) {
        whenFinished(future, owner, [remaining, shared](const QFuture<T> &) {
            if (--*remaining == 0)
                (*shared)();
        });
    }
}

} // namespace snipbrook
