#pragma once

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace quorvel {

// Runs one blocking call (a form post, an update request) on a thread of its own and hands its
// result to the thread of a context object. Destroying the call raises its cancel flag and joins
// the thread, so a window that closes while a request runs neither freezes nor receives a result.
// A plain std::thread rather than the global thread pool: the call can then be joined on close.
// Owned by its context object (a member or a child); created and destroyed on the context's thread.
template <typename Result> class BackgroundCall final
{
public:
    using Work = std::function<Result(const std::atomic<bool> &cancel)>;
    using Done = std::function<void(Result)>;

    explicit BackgroundCall(QObject *context)
        : m_context(context)
    {}

    ~BackgroundCall() { stop(); }

    BackgroundCall(const BackgroundCall &) = delete;
    BackgroundCall &operator=(const BackgroundCall &) = delete;

    // Starts work on a new thread; done runs later on the context's thread unless the call was
    // stopped or restarted first. A call still running is stopped before the new one starts.
    void start(Work work, Done done)
    {
        stop();
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        m_running = true;
        const std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
        // The context outlives the thread: it owns this call, whose destruction joins the thread.
        QObject *const context = m_context;
        m_thread = std::thread([this, cancel, context, work = std::move(work), done = std::move(done)] {
            Result result = work(*cancel);
            if (cancel->load()) {
                return;
            }
            // Runs on the context's thread, and only if the call was neither stopped nor restarted
            // in the meantime (both raise this call's flag before anything else).
            QMetaObject::invokeMethod(
                context,
                [this, cancel, done, result = std::move(result)]() mutable {
                    if (cancel->load()) {
                        return;
                    }
                    m_running = false;
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    // Raises the cancel flag and waits for the thread; the result, if any, is dropped.
    void stop()
    {
        if (m_cancel) {
            m_cancel->store(true);
        }
        if (m_thread.joinable()) {
            m_thread.join();
        }
        m_running = false;
    }

    // True from start() until done has run or the call was stopped.
    bool isRunning() const { return m_running; }

private:
    QObject *m_context;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::thread m_thread;
    bool m_running = false;
};

} // namespace quorvel
