#include "gui/site/CrawlStoreReader.h"

#include "core/store/SqliteCrawlStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quorvel {

// The store and its path, touched only on the reader's thread (where its connection belongs).
class CrawlStoreReader::Holder final : public QObject
{
public:
    explicit Holder(QString path)
        : m_path(std::move(path))
    {}

    // The store in use, opened now if it was not; nullptr with the reason when it cannot be. A read
    // never makes a store: a file not there yet is read as empty.
    CrawlStore *store(QString *error)
    {
        if (!m_store && !QFileInfo::exists(m_path)) {
            *error = QCoreApplication::translate("quorvel::CrawlStoreReader", "\"%1\" holds no crawl yet")
                         .arg(QDir::toNativeSeparators(m_path));
            return nullptr;
        }
        if (!m_store) {
            m_store = openSqliteStore(m_path, &m_error);
        }
        *error = m_store ? QString() : m_error;
        return m_store.get();
    }

    QString open(const QString &path)
    {
        QString error;
        std::unique_ptr<CrawlStore> store = openSqliteStore(path, &error);
        if (!store) {
            return error.isEmpty()
                       ? QCoreApplication::translate("quorvel::CrawlStoreReader", "The store could not be opened")
                       : error;
        }
        m_store = std::move(store);
        m_path = path;
        return {};
    }

private:
    QString m_path;
    QString m_error;
    std::unique_ptr<CrawlStore> m_store;
};

CrawlStoreReader::CrawlStoreReader(QObject *context, const QString &path)
    : m_context(context)
    , m_holder(new Holder(path))
    , m_thread(makeOwnedThread(u"CrawlStoreReader"_s))
{
    m_thread->adopt(m_holder);
    m_thread->start();
}

CrawlStoreReader::~CrawlStoreReader()
{
    m_answers->fetch_add(1);
    m_thread.reset();
}

void CrawlStoreReader::forget()
{
    m_answers->fetch_add(1);
}

void CrawlStoreReader::post(std::function<void(CrawlStore *, const QString &)> job)
{
    // What the owner wrote before asking is ordered before the read on the reader's thread.
    handOffRelease(m_holder);
    const QueuedCallHandOff handOff;
    QMetaObject::invokeMethod(
        m_holder,
        [holder = m_holder, job = std::move(job)] {
            handOffAcquire(holder);
            QString error;
            CrawlStore *store = holder->store(&error);
            job(store, error);
        },
        Qt::QueuedConnection);
}

void CrawlStoreReader::open(const QString &path, std::function<void(const QString &)> done)
{
    handOffRelease(m_holder);
    const QueuedCallHandOff handOff;
    QMetaObject::invokeMethod(
        m_holder,
        [holder = m_holder, path, context = m_context, answers = m_answers, generation = m_answers->load(),
         done = std::move(done)] {
            handOffAcquire(holder);
            const QString error = holder->open(path);
            handOffRelease(answers.get());
            const QueuedCallHandOff answerHandOff;
            QMetaObject::invokeMethod(
                context,
                [answers, generation, done, error] {
                    handOffAcquire(answers.get());
                    if (answers->load() == generation) {
                        done(error);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

} // namespace quorvel
