#include "core/common/OwnedThread.h"

namespace quorvel {

OwnedThread::OwnedThread(const QString &name)
{
    setObjectName(name);
}

OwnedThread::~OwnedThread() = default;

void OwnedThread::requestStop()
{
    m_stop->store(true);
    requestInterruption();
    if (m_stopHook) {
        m_stopHook();
    }
}

void OwnedThread::adopt(QObject *worker)
{
    worker->moveToThread(this);
    m_adopted.push_back(worker);
    // Sent on this thread as it ends: the worker is deleted here, before wait() returns.
    connect(this, &QThread::finished, worker, &QObject::deleteLater);
}

void OwnedThread::run()
{
    if (m_body) {
        m_body(*m_stop);
    } else {
        exec();
    }
    // The owner's last touch (in the deleter, before quit) is ordered before what this thread
    // does from here on, its workers' deletion included; and all this thread did is ordered before
    // the owner frees the thread after wait().
    handOffAcquire(this);
    handOffRelease(this);
}

void OwnedThreadDeleter::operator()(OwnedThread *thread) const
{
    if (thread == nullptr) {
        return;
    }
    thread->requestStop();
    handOffRelease(thread);
    thread->quit();
    thread->wait();
    handOffAcquire(thread);
    if (!thread->isFinished()) {
        // Never started: nothing ran there, and no end will delete the workers.
        for (QObject *worker : thread->m_adopted) {
            delete worker;
        }
    }
    delete thread;
}

OwnedThreadPtr makeOwnedThread(const QString &name)
{
    return OwnedThreadPtr(new OwnedThread(name));
}

} // namespace quorvel
