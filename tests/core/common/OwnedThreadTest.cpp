#include "core/common/OwnedThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <optional>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A worker that records where it ran, whether it was asked to stop and where it was deleted.
struct Trace
{
    std::atomic<QThread *> ranOn = nullptr;
    std::atomic<bool> stopped = false;
    std::atomic<QThread *> deletedOn = nullptr;
    std::atomic<bool> deleted = false;
    std::promise<void> ran;
};

class TracedWorker final : public QObject
{
public:
    explicit TracedWorker(Trace &trace)
        : m_trace(trace)
    {}

    ~TracedWorker() override
    {
        m_trace.deletedOn = QThread::currentThread();
        m_trace.deleted = true;
    }

    void run()
    {
        m_trace.ranOn = QThread::currentThread();
        m_trace.ran.set_value();
    }

    void stop() { m_trace.stopped = true; }

private:
    Trace &m_trace;
};

OwnedWorker<TracedWorker> tracedWorker(Trace &trace)
{
    return OwnedWorker<TracedWorker>(std::make_unique<TracedWorker>(trace), u"traced"_s, &TracedWorker::run,
                                     [](TracedWorker *worker) { worker->stop(); });
}

TEST(OwnedWorker, RunsOnItsThreadAndGoesWithIt)
{
    Trace trace;
    OwnedWorker<TracedWorker> worker = tracedWorker(trace);
    worker.start();
    trace.ran.get_future().wait();
    QThread *const workerThread = trace.ranOn;
    EXPECT_NE(workerThread, QThread::currentThread());
    EXPECT_FALSE(trace.stopped.load());

    worker.reset(); // returns once the thread has ended and the worker is gone
    EXPECT_TRUE(trace.stopped.load());
    EXPECT_TRUE(trace.deleted.load());
    EXPECT_EQ(trace.deletedOn.load(), workerThread);
    EXPECT_FALSE(worker);
    EXPECT_EQ(worker.get(), nullptr);
}

TEST(OwnedWorker, DroppingOneThatNeverStartedFreesTheWorker)
{
    Trace trace;
    std::optional<OwnedWorker<TracedWorker>> worker = tracedWorker(trace);
    worker.reset();
    EXPECT_TRUE(trace.deleted.load());
    EXPECT_EQ(trace.ranOn.load(), nullptr);
}

TEST(RunOwned, DeliversTheValueOnTheContextsThread)
{
    QObject context;
    QEventLoop loop;
    std::atomic<QThread *> workedOn = nullptr;
    QThread *doneOn = nullptr;
    std::optional<int> value;
    OwnedThreadPtr call = runOwned<int>(
        u"call"_s, &context,
        [&](const std::atomic<bool> &) {
            workedOn = QThread::currentThread();
            return 42;
        },
        [&](int result) {
            doneOn = QThread::currentThread();
            value = result;
            call.reset(); // the usual way to end: the owner drops the call when its value arrives
            loop.quit();
        });
    loop.exec();
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, 42);
    EXPECT_EQ(doneOn, QThread::currentThread());
    EXPECT_NE(workedOn.load(), QThread::currentThread());
    EXPECT_EQ(call, nullptr);
}

// Dropping the call raises its token and waits for the work, which sees the token; nothing is
// delivered afterwards, neither a value from a stopped call nor one already on its way.
TEST(RunOwned, DroppingTheCallStopsItAndDropsItsValue)
{
    struct Case
    {
        const char *name;
        bool dropWhileWorking; // else: after the work has returned and its value is queued
    };

    const std::vector<Case> cases = {{"while the work runs", true}, {"after the value was sent", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QObject context;
        std::promise<void> began;
        std::atomic<bool> sawStop = false;
        bool delivered = false;
        OwnedThreadPtr call = runOwned<int>(
            u"call"_s, &context,
            [&, dropWhileWorking = c.dropWhileWorking](const std::atomic<bool> &stop) {
                began.set_value();
                while (dropWhileWorking && !stop.load()) {
                    QThread::yieldCurrentThread();
                }
                sawStop = stop.load();
                return 1;
            },
            [&](int) { delivered = true; });
        began.get_future().wait();
        if (!c.dropWhileWorking) {
            ASSERT_TRUE(call->wait()); // the value is queued by now, not yet delivered
        }
        call.reset();
        EXPECT_EQ(sawStop.load(), c.dropWhileWorking);
        QCoreApplication::processEvents();
        EXPECT_FALSE(delivered);
    }
}

} // namespace

} // namespace quorvel::test
