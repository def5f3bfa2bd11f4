#pragma once

#include "core/common/ThreadHandOff.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorvel {

// The one way work leaves the UI thread: a QThread owned by a unique pointer (OwnedThreadPtr) whose
// deleter asks the work to stop, quits the thread and waits for it. A long run puts a worker object
// on it (OwnedWorker); a one-off call runs one function on it (runOwned). The QThread object lives
// on its owner's thread; the work on the thread itself.
class OwnedThread final : public QThread
{
public:
    explicit OwnedThread(const QString &name);
    ~OwnedThread() override;

    // What else requestStop does for the work on this thread (a wake-up of a blocking wait). Runs on
    // the owner's thread, so it must be safe to call from there; set before start().
    void setStopHook(std::function<void()> hook) { m_stopHook = std::move(hook); }

    // Raises the stop token (the body's, see setBody), asks for an interruption and runs the stop
    // hook. Owner's thread; the deleter calls it.
    void requestStop();

    // Moves worker here; it is deleted on this thread as the thread ends, after the owner's last
    // touch. Call before start().
    void adopt(QObject *worker);

    // The thread runs body (given the stop token) instead of an event loop, then ends. Set before
    // start().
    void setBody(std::function<void(const std::atomic<bool> &stop)> body) { m_body = std::move(body); }

    // Shared with a value on its way to the owner's thread, which must not arrive after a stop.
    std::shared_ptr<const std::atomic<bool>> sharedStopToken() const { return m_stop; }

protected:
    void run() override;

private:
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    std::function<void()> m_stopHook;
    std::function<void(const std::atomic<bool> &)> m_body;
    std::vector<QObject *> m_adopted; // deleted by the deleter when the thread never ran

    friend struct OwnedThreadDeleter;
};

// Stops what runs on the thread, quits it and waits for it, then frees it.
struct OwnedThreadDeleter
{
    void operator()(OwnedThread *thread) const;
};

using OwnedThreadPtr = std::unique_ptr<OwnedThread, OwnedThreadDeleter>;

// A new thread, not yet started.
OwnedThreadPtr makeOwnedThread(const QString &name);

// A worker object on an owned thread: signals connected (queued) by the owner, started once, and
// dropped after its last signal or earlier to abandon the work. The worker is valid while this
// lives; dropping it runs the stop hook, quits and waits, and the worker goes with its thread.
template <typename Worker> class OwnedWorker final
{
public:
    OwnedWorker() = default;

    // Puts worker on a new thread named `name`. started runs on that thread as soon as it starts
    // (before its event loop); stop is the stop hook (see OwnedThread::setStopHook).
    OwnedWorker(std::unique_ptr<Worker> worker, const QString &name, void (Worker::*started)(),
                std::function<void(Worker *)> stop)
        : m_thread(makeOwnedThread(name))
        , m_worker(worker.release())
    {
        m_thread->adopt(m_worker);
        if (stop) {
            m_thread->setStopHook([w = m_worker, stop = std::move(stop)] { stop(w); });
        }
        // started is sent on the new thread itself, where the worker lives: a direct call.
        QObject::connect(m_thread.get(), &QThread::started, m_worker, started);
    }

    OwnedWorker(OwnedWorker &&) noexcept = default;
    OwnedWorker &operator=(OwnedWorker &&) noexcept = default;

    Worker *get() const { return m_thread ? m_worker : nullptr; }

    Worker *operator->() const { return get(); }

    explicit operator bool() const { return m_thread != nullptr; }

    // Starts the thread and so the work; later calls do nothing.
    void start()
    {
        if (m_thread && !m_thread->isRunning() && !m_thread->isFinished()) {
            m_thread->start();
        }
    }

    // Stops the work, quits the thread and waits for it; the worker is gone afterwards.
    void reset()
    {
        m_thread.reset();
        m_worker = nullptr;
    }

private:
    OwnedThreadPtr m_thread;
    Worker *m_worker = nullptr; // owned by the thread
};

// A one-off call (an analysis, a form post, an update request) on an owned thread of its own: work
// runs there with the thread's stop token; done runs later on the context's thread with the value,
// unless the returned pointer was dropped first (the value is then thrown away) or the context is
// gone. Dropping the pointer raises the token and waits for work to return, so work must honour
// the token or have bounds of its own.
template <typename Result>
OwnedThreadPtr runOwned(const QString &name, QObject *context,
                        std::function<Result(const std::atomic<bool> &stop)> work, std::function<void(Result)> done)
{
    OwnedThreadPtr thread = makeOwnedThread(name);
    const std::shared_ptr<const std::atomic<bool>> token = thread->sharedStopToken();
    // The context owns the thread and drops it before it goes, which waits for this body: the
    // context outlives the call below.
    thread->setBody([token, context, work = std::move(work), done = std::move(done)](const std::atomic<bool> &stop) {
        Result result = work(stop);
        if (stop.load()) {
            return;
        }
        // Everything the work wrote is ordered before the call that reads it on the other thread.
        handOffRelease(token.get());
        const QueuedCallHandOff handOff;
        QMetaObject::invokeMethod(
            context,
            [token, done, result = std::move(result)]() mutable {
                handOffAcquire(token.get());
                // Checked on the context's thread, where the owner drops the thread: a value that
                // arrives after the drop is not delivered.
                if (token->load()) {
                    return;
                }
                done(std::move(result));
            },
            Qt::QueuedConnection);
    });
    thread->start();
    return thread;
}

} // namespace quorvel
