#pragma once

// Work done off the main thread, its answer taken back by a widget that may be gone by then.
//
// Qt 6.4's QFuture::then(context, …) checks its context from the worker thread and then posts
// to it: a widget destroyed at that moment (a film cell scrolled away, the 100 % view left while
// its face search runs) receives an event after its death and the program crashes. A watcher
// owned by the receiver is detached under the future's own lock when the receiver goes, so the
// answer is either delivered to a living receiver or dropped.

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <utility>

namespace mendral {

/** Calls `done(future)` on the receiver's thread once the future has finished, never after the
 *  receiver is destroyed. */
template <typename T, typename F>
void whenDone(QObject *receiver, const QFuture<T> &future, F done)
{
    auto *watcher = new QFutureWatcher<T>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver,
                     [watcher, done = std::move(done)]() mutable {
                         const QFuture<T> finished = watcher->future();
                         watcher->deleteLater();
                         done(finished);
                     });
    watcher->setFuture(future);
}

/** Like whenDone, with the result itself; a future that ends without one calls nothing. */
template <typename T, typename F>
void whenResult(QObject *receiver, const QFuture<T> &future, F done)
{
    whenDone(receiver, future, [done = std::move(done)](const QFuture<T> &finished) mutable {
        if (finished.resultCount() > 0)
            done(finished.result());
    });
}

} // namespace mendral
