#pragma once

// Work done off the main thread, its answer taken back by a widget that may be gone by then.
//
// Qt 6.4's QFuture::then(context, …) checks its context from the worker thread and then posts
// to it: a widget destroyed at that moment (a film cell scrolled away, the 100 % view left while
// its face search runs) receives an event after its death and the program crashes. A watcher
// owned by the receiver is detached under the future's own lock when the receiver goes, so the
// answer is either delivered to a living receiver or dropped. Work for a widget that is gone
// can be dropped with it before it starts.

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>

#include <utility>

namespace mendral {

/** What becomes of work not yet started when the receiver waiting for it is destroyed. */
enum class IfReceiverGoes {
    keepRunning, // the work runs anyway (its side effects are wanted)
    cancel,      // the work is dropped: a decode for a film cell scrolled away, say
};

namespace detail {

template <typename T>
class Watcher : public QFutureWatcher<T> {
public:
    Watcher(QObject *receiver, IfReceiverGoes ifGone) : QFutureWatcher<T>(receiver), m_ifGone(ifGone) {}
    ~Watcher() override
    {
        // Work still queued when its receiver goes would hold up what is asked for next.
        if (m_ifGone == IfReceiverGoes::cancel && !this->isFinished())
            this->future().cancel();
    }

private:
    const IfReceiverGoes m_ifGone;
};

} // namespace detail

/** Calls `done(future)` on the receiver's thread once the future has finished, never after the
 *  receiver is destroyed. */
template <typename T, typename F>
void whenDone(QObject *receiver, const QFuture<T> &future, F done,
              IfReceiverGoes ifGone = IfReceiverGoes::keepRunning)
{
    auto *watcher = new detail::Watcher<T>(receiver, ifGone);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver,
                     [watcher, done = std::move(done)]() mutable {
                         const QFuture<T> finished = watcher->future();
                         watcher->deleteLater();
                         done(finished);
                     });
    watcher->setFuture(future);
}

/** Like whenDone, with the result itself; a future that ends without one (failed, or dropped)
 *  calls nothing. */
template <typename T, typename F>
void whenResult(QObject *receiver, const QFuture<T> &future, F done,
                IfReceiverGoes ifGone = IfReceiverGoes::keepRunning)
{
    whenDone(
        receiver, future,
        [done = std::move(done)](const QFuture<T> &finished) mutable {
            if (finished.resultCount() > 0)
                done(finished.result());
        },
        ifGone);
}

} // namespace mendral
