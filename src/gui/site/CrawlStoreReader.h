#pragma once

#include "core/common/OwnedThread.h"
#include "core/common/ThreadHandOff.h"
#include "core/store/CrawlStore.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace quorvel {

// Reads a crawl store on a thread of its own, for a window that must never wait on the file. The
// reads run there one after another, each with the store open at the time (opened on first use);
// each answer runs later on the context's thread, unless forget() came first or the reader is gone.
class CrawlStoreReader final
{
public:
    // Answers go to context (a window, which owns the reader). path is opened on first use.
    CrawlStoreReader(QObject *context, const QString &path);
    // Waits for the read under way; no answer is given after this.
    ~CrawlStoreReader();

    CrawlStoreReader(const CrawlStoreReader &) = delete;
    CrawlStoreReader &operator=(const CrawlStoreReader &) = delete;

    // Every answer of a read asked for before this call is thrown away.
    void forget();

    // Opens path in place of the store in use, making it when it is not there; done gets "" when it
    // is open, else why not. A file that cannot be opened leaves the store in use as it was.
    void open(const QString &path, std::function<void(const QString &error)> done);

    // Runs read on the reader's thread with the store in use (nullptr when it cannot be opened or its
    // file is not there yet, error saying why), then done with its result on the context's thread.
    template <typename Result>
    void read(std::function<Result(CrawlStore *store, const QString &error)> read, std::function<void(Result)> done)
    {
        post([read = std::move(read), done = std::move(done), context = m_context, answers = m_answers,
              generation = m_answers->load()](CrawlStore *store, const QString &error) {
            Result result = read(store, error);
            handOffRelease(answers.get());
            const QueuedCallHandOff handOff;
            QMetaObject::invokeMethod(
                context,
                [answers, generation, done, result = std::move(result)]() mutable {
                    handOffAcquire(answers.get());
                    if (answers->load() == generation) {
                        done(std::move(result));
                    }
                },
                Qt::QueuedConnection);
        });
    }

private:
    class Holder;

    // Queues job for the reader's thread with the store in use.
    void post(std::function<void(CrawlStore *store, const QString &error)> job);

    QObject *m_context;
    // The generation of answers still wanted; raised by forget() and at the end.
    std::shared_ptr<std::atomic<quint64>> m_answers = std::make_shared<std::atomic<quint64>>(0);
    Holder *m_holder = nullptr; // lives on m_thread, which deletes it
    OwnedThreadPtr m_thread;
};

} // namespace quorvel
