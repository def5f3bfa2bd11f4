#include "core/store/SqliteCrawlStore.h"

#include "core/common/Logging.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <optional>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// One step of the store's tables: the statements that bring a store of version - 1 to version.
// Steps are never edited once released; a change of the tables is a new step.
struct MigrationStep
{
    int version;
    const char *what;
    QStringList statements;
};

const QList<MigrationStep> &migrationSteps()
{
    static const QList<MigrationStep> steps = {
        {1,
         "crawls, pages, links, addresses and checks",
         {
             u"CREATE TABLE store_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"_s,
             u"INSERT INTO store_info (key, value) VALUES ('application', 'Quorvel crawl store')"_s,
             // Times are milliseconds since 1970 in UTC; verdicts are their words, empty for none.
             u"CREATE TABLE crawls (id INTEGER PRIMARY KEY, start TEXT NOT NULL, started_at INTEGER NOT NULL,"
             " options TEXT NOT NULL DEFAULT '', ended_at INTEGER, stopped INTEGER NOT NULL DEFAULT 0,"
             " orphans TEXT NOT NULL DEFAULT '[]', pages INTEGER, rows INTEGER, distinct_addresses INTEGER,"
             " by_verdict TEXT)"_s,
             u"CREATE INDEX crawls_by_start ON crawls (start, id)"_s,
             u"CREATE TABLE addresses (id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE)"_s,
             u"CREATE TABLE pages (crawl INTEGER NOT NULL REFERENCES crawls (id), seq INTEGER NOT NULL,"
             " url TEXT NOT NULL, depth INTEGER NOT NULL, status INTEGER NOT NULL, verdict TEXT NOT NULL,"
             " error TEXT NOT NULL, links INTEGER NOT NULL, inlinks INTEGER NOT NULL,"
             " PRIMARY KEY (crawl, seq)) WITHOUT ROWID"_s,
             u"CREATE INDEX pages_by_url ON pages (crawl, url)"_s,
             // One check of an address in a crawl; the rows of the crawl that share it point at it.
             u"CREATE TABLE checks (id INTEGER PRIMARY KEY, crawl INTEGER NOT NULL REFERENCES crawls (id),"
             " address INTEGER NOT NULL REFERENCES addresses (id), checked_at INTEGER NOT NULL,"
             " status INTEGER NOT NULL, response TEXT NOT NULL, response_time TEXT NOT NULL,"
             " check_error TEXT NOT NULL, verdict TEXT NOT NULL, final_status INTEGER NOT NULL,"
             " hops INTEGER NOT NULL, final_url TEXT NOT NULL, verdict_error TEXT NOT NULL, chain TEXT NOT NULL)"_s,
             u"CREATE INDEX checks_by_crawl ON checks (crawl, address)"_s,
             u"CREATE INDEX checks_by_address ON checks (address, checked_at)"_s,
             u"CREATE TABLE links (crawl INTEGER NOT NULL, page_seq INTEGER NOT NULL, seq INTEGER NOT NULL,"
             " address INTEGER NOT NULL REFERENCES addresses (id), follow TEXT NOT NULL, type TEXT NOT NULL,"
             " anchor_text TEXT NOT NULL, icon INTEGER NOT NULL, line INTEGER NOT NULL, col INTEGER NOT NULL,"
             " check_id INTEGER REFERENCES checks (id), PRIMARY KEY (crawl, page_seq, seq)) WITHOUT ROWID"_s,
         }},
    };
    return steps;
}

std::atomic<int> s_connectionNumber{0};

QString newConnectionName()
{
    return u"quorvel-crawl-store-%1"_s.arg(s_connectionNumber.fetch_add(1));
}

// Closes and removes a named connection; every handle to it must be gone.
void dropConnection(const QString &name)
{
    QSqlDatabase::removeDatabase(name);
}

QString sqlError(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        text = error.driverText().trimmed();
    }
    return text.isEmpty() ? u"unknown database error"_s : text;
}

// Qt binds a null QString as SQL NULL: text columns get an empty text instead.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QString(u""_s)) : QVariant(value);
}

qint64 msOf(const QDateTime &time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

QDateTime timeOf(const QVariant &value)
{
    if (value.isNull()) {
        return {};
    }
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

Verdict verdictOf(const QVariant &value)
{
    return verdictNamed(value.toString()).value_or(Verdict::None);
}

QString chainText(const QList<RedirectHop> &chain)
{
    if (chain.isEmpty()) {
        return {};
    }
    QJsonArray hops;
    for (const RedirectHop &hop : chain) {
        hops.append(QJsonArray{hop.status, hop.address});
    }
    return QString::fromUtf8(QJsonDocument(hops).toJson(QJsonDocument::Compact));
}

QList<RedirectHop> chainOf(const QString &text)
{
    QList<RedirectHop> chain;
    if (text.isEmpty()) {
        return chain;
    }
    const QJsonArray hops = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const auto &hop : hops) {
        const QJsonArray pair = hop.toArray();
        chain.append({pair.at(0).toInt(), pair.at(1).toString()});
    }
    return chain;
}

QString byVerdictText(const CrawlSummary &summary)
{
    QJsonObject counts;
    for (int v = 0; v < kVerdictCount; ++v) {
        const auto verdict = static_cast<Verdict>(v);
        const qint64 count = summary.count(verdict);
        if (count != 0) {
            counts.insert(verdict == Verdict::None ? u"none"_s : verdictName(verdict), count);
        }
    }
    return QString::fromUtf8(QJsonDocument(counts).toJson(QJsonDocument::Compact));
}

void readByVerdict(const QString &text, CrawlSummary &summary)
{
    const QJsonObject counts = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        const Verdict verdict = it.key() == u"none"_s ? Verdict::None : verdictNamed(it.key()).value_or(Verdict::None);
        summary.byVerdict[static_cast<std::size_t>(verdict)] += it.value().toInteger();
    }
}

// "'broken', 'timeout', ..." for an SQL IN list: the words of the problem verdicts.
QString problemWords(bool strict)
{
    QStringList words;
    for (int v = 0; v < kVerdictCount; ++v) {
        if (isProblemVerdict(static_cast<Verdict>(v), strict)) {
            words.append(u"'"_s + verdictName(static_cast<Verdict>(v)) + u"'"_s);
        }
    }
    return words.join(u", "_s);
}

// True when the row carries anything a check writes.
bool hasCheck(const LinkRow &row)
{
    return row.verdict != Verdict::None || !row.response.isEmpty() || !row.responseTime.isEmpty() ||
           !row.checkError.isEmpty() || row.finalStatus != 0 || row.hops != 0 || !row.finalUrl.isEmpty() ||
           !row.verdictError.isEmpty() || !row.chain.isEmpty();
}

size_t checkFingerprint(const LinkRow &row)
{
    size_t seed = qHashMulti(0, row.response, row.responseTime, row.checkError, static_cast<int>(row.verdict),
                             row.finalStatus, row.hops, row.finalUrl, row.verdictError);
    for (const RedirectHop &hop : row.chain) {
        seed = qHashMulti(seed, hop.status, hop.address);
    }
    return seed;
}

// The status the first answer gave: what the check's row icon and status line came from. A row
// does not carry it, so it is taken from the chain's first answer, or -1 when no answer came.
int firstStatusOf(const LinkRow &row)
{
    if (!row.chain.isEmpty() && row.chain.first().status > 0) {
        return row.chain.first().status;
    }
    return row.checkError.isEmpty() ? 0 : -1;
}

enum class FileKind
{
    New,     // missing, empty, or an SQLite database without tables
    Ours,    // a crawl store of some version
    Refused, // anything else: the message says why
};

struct Inspection
{
    FileKind kind = FileKind::Refused;
    int version = 0;
    QString message;
};

// Looks at an existing file without changing it.
Inspection inspect(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return {FileKind::New, 0, {}};
    }
    if (info.isDir()) {
        return {FileKind::Refused, 0, u"%1 is a folder, not a crawl store file."_s.arg(path)};
    }
    if (!info.isFile()) {
        return {FileKind::Refused, 0, u"%1 is not a regular file, so it cannot be a crawl store."_s.arg(path)};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileKind::Refused, 0, u"%1 cannot be read: %2."_s.arg(path, file.errorString())};
    }
    if (file.size() == 0) {
        return {FileKind::New, 0, {}};
    }
    const QByteArray head = file.read(16);
    file.close();
    if (head != QByteArrayView("SQLite format 3\0", 16)) {
        return {FileKind::Refused, 0,
                u"%1 is not a Quorvel crawl store: it is not an SQLite database. It was left unchanged."_s.arg(path)};
    }

    const QString name = newConnectionName();
    Inspection result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"_s);
        if (!db.open()) {
            result = {FileKind::Refused, 0, u"%1 cannot be opened: %2."_s.arg(path, sqlError(db.lastError()))};
        } else {
            QSqlQuery query(db);
            int applicationId = 0;
            int version = 0;
            QStringList tables;
            bool ok = query.exec(u"PRAGMA application_id"_s) && query.next();
            if (ok) {
                applicationId = query.value(0).toInt();
                ok = query.exec(u"PRAGMA user_version"_s) && query.next();
            }
            if (ok) {
                version = query.value(0).toInt();
                ok = query.exec(u"SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"_s);
                while (ok && query.next()) {
                    tables.append(query.value(0).toString());
                }
            }
            if (!ok) {
                result = {FileKind::Refused, 0,
                          u"%1 cannot be read as a crawl store: %2. It was left unchanged."_s.arg(
                              path, sqlError(query.lastError()))};
            } else if (applicationId == kCrawlStoreApplicationId && version > kCrawlStoreSchemaVersion) {
                result = {FileKind::Refused, version,
                          u"%1 was written by a newer Quorvel (crawl store version %2; this one reads versions up "
                          "to %3). It was left unchanged."_s.arg(path)
                              .arg(version)
                              .arg(kCrawlStoreSchemaVersion)};
            } else if (applicationId == kCrawlStoreApplicationId && version >= 1) {
                result = {FileKind::Ours, version, {}};
            } else if (applicationId == 0 && version == 0 && tables.isEmpty()) {
                result = {FileKind::New, 0, {}};
            } else {
                const QString holds =
                    tables.isEmpty() ? u"no tables"_s : u"tables %1"_s.arg(tables.mid(0, 8).join(u", "_s));
                result = {FileKind::Refused, 0,
                          u"%1 is not a Quorvel crawl store: it is an SQLite database of another program (%2). "
                          "It was left unchanged."_s.arg(path, holds)};
            }
        }
    }
    dropConnection(name);
    return result;
}

// Writes the tables of a new store, or brings an older one up to this version, in one transaction.
bool prepareFile(const QString &path, QString *error)
{
    const QString name = newConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_s);
        QString failure;
        if (!db.open()) {
            failure = sqlError(db.lastError());
        } else {
            QSqlQuery query(db);
            auto run = [&](const QString &statement) {
                if (!query.exec(statement)) {
                    failure = sqlError(query.lastError());
                    return false;
                }
                return true;
            };
            // BEGIN IMMEDIATE takes the write lock before the version is read again, so two programs
            // opening a new file at once do not both write its tables.
            ok = run(u"PRAGMA journal_mode = WAL"_s) && run(u"BEGIN IMMEDIATE"_s) && run(u"PRAGMA user_version"_s) &&
                 query.next();
            if (ok) {
                const int version = query.value(0).toInt();
                if (version > kCrawlStoreSchemaVersion) {
                    failure = u"another program made it a newer store meanwhile"_s;
                    ok = false;
                }
                for (const MigrationStep &step : migrationSteps()) {
                    if (!ok || step.version <= version) {
                        continue;
                    }
                    for (const QString &statement : step.statements) {
                        ok = ok && run(statement);
                    }
                    ok = ok &&
                         run(u"CREATE TABLE IF NOT EXISTS migrations (version INTEGER PRIMARY KEY, what TEXT NOT NULL,"
                             " applied_at INTEGER NOT NULL)"_s);
                    if (ok) {
                        query.prepare(u"INSERT INTO migrations (version, what, applied_at) VALUES (?, ?, ?)"_s);
                        query.addBindValue(step.version);
                        query.addBindValue(QString::fromLatin1(step.what));
                        query.addBindValue(QDateTime::currentMSecsSinceEpoch());
                        ok = query.exec();
                        if (!ok) {
                            failure = sqlError(query.lastError());
                        }
                    }
                    ok = ok && run(u"PRAGMA user_version = %1"_s.arg(step.version));
                    qCDebug(lcApp) << "crawl store" << path << "now at version" << step.version;
                }
                ok = ok && run(u"PRAGMA application_id = %1"_s.arg(kCrawlStoreApplicationId)) && run(u"COMMIT"_s);
                if (!ok) {
                    query.exec(u"ROLLBACK"_s);
                }
            }
        }
        if (!ok) {
            *error = u"%1 cannot be prepared as a crawl store: %2."_s.arg(path, failure);
        }
    }
    dropConnection(name);
    return ok;
}

// The crawl store in one SQLite file; see CrawlStore for threads and errors.
class SqliteCrawlStore final : public CrawlStore
{
public:
    SqliteCrawlStore(QString path, SqliteStoreOptions options)
        : m_path(std::move(path))
        , m_options(std::move(options))
    {
        if (!m_options.clock) {
            m_options.clock = [] {
                return QDateTime::currentDateTimeUtc();
            };
        }
        m_options.batchRows = std::max(1, m_options.batchRows);
    }

    // Commits what is buffered, from whichever thread destroys the store: by then the thread that
    // used it has let it go.
    ~SqliteCrawlStore() override
    {
        if (m_connected) {
            commit();
            m_queries.reset();
            m_db = QSqlDatabase();
            dropConnection(m_name);
        }
    }

    SqliteCrawlStore(const SqliteCrawlStore &) = delete;
    SqliteCrawlStore &operator=(const SqliteCrawlStore &) = delete;

    void begin(const CrawlHeader &header) override
    {
        m_crawl = 0;
        m_recording = false;
        m_crawlError.clear();
        m_pageSeq = 0;
        if (!connect() || !commit()) {
            failCrawl(u"the crawl could not be recorded: %1"_s.arg(m_lastError));
            return;
        }
        QSqlQuery &q = m_queries->insertCrawl;
        q.bindValue(0, text(header.start));
        q.bindValue(1, msOf(header.startedAt));
        q.bindValue(2, text(header.options));
        if (!q.exec()) {
            failCrawl(u"the crawl could not be recorded: %1"_s.arg(sqlError(q.lastError())));
            return;
        }
        m_crawl = q.lastInsertId().toLongLong();
        m_recording = true;
        m_lastError.clear();
    }

    void pageDone(const CrawlPage &page, const QList<CrawlRow> &rows) override
    {
        if (!m_recording) {
            return;
        }
        if (!connect() || !beginTransaction()) {
            failCrawl(u"the crawl store stopped recording at page %1: %2"_s.arg(page.url, m_lastError));
            return;
        }
        const qint64 checkedAt = msOf(m_options.clock());
        const qint64 seq = ++m_pageSeq;
        QString failure;
        QSqlQuery &p = m_queries->insertPage;
        p.bindValue(0, m_crawl);
        p.bindValue(1, seq);
        p.bindValue(2, text(page.url));
        p.bindValue(3, page.depth);
        p.bindValue(4, page.status);
        p.bindValue(5, text(verdictName(page.verdict)));
        p.bindValue(6, text(page.error));
        p.bindValue(7, page.links);
        p.bindValue(8, page.inlinks);
        if (!p.exec()) {
            failure = sqlError(p.lastError());
        }
        qint64 rowSeq = 0;
        for (const CrawlRow &crawlRow : rows) {
            if (!failure.isEmpty()) {
                break;
            }
            const LinkRow &row = crawlRow.row;
            Known *known = knownLink(row.link, &failure);
            if (!known) {
                break;
            }
            QVariant checkId{QMetaType::fromType<qint64>()};
            if (hasCheck(row)) {
                const std::optional<qint64> id = checkIdOf(row, *known, checkedAt, &failure);
                if (!id) {
                    break;
                }
                checkId = *id;
            }
            QSqlQuery &l = m_queries->insertLink;
            l.bindValue(0, m_crawl);
            l.bindValue(1, seq);
            l.bindValue(2, ++rowSeq);
            l.bindValue(3, known->address);
            l.bindValue(4, text(row.follow));
            l.bindValue(5, text(row.type));
            l.bindValue(6, text(row.anchorText));
            l.bindValue(7, row.icon);
            l.bindValue(8, crawlRow.line);
            l.bindValue(9, crawlRow.column);
            l.bindValue(10, checkId);
            if (!l.exec()) {
                failure = sqlError(l.lastError());
            }
        }
        if (!failure.isEmpty()) {
            rollback();
            failCrawl(u"the crawl store stopped recording at page %1: %2"_s.arg(page.url, failure));
            return;
        }
        m_pendingRows += rows.size() + 1;
        if (m_pendingRows >= m_options.batchRows ||
            (m_options.commitAfterMs > 0 && m_sinceCommit.hasExpired(m_options.commitAfterMs))) {
            if (!commit()) {
                failCrawl(u"the crawl store stopped recording at page %1: %2"_s.arg(page.url, m_lastError));
                return;
            }
        }
        m_lastError.clear();
    }

    void end(const CrawlEnd &end) override
    {
        if (!m_recording) {
            return;
        }
        if (!connect() || !beginTransaction()) {
            failCrawl(u"the end of the crawl could not be recorded: %1"_s.arg(m_lastError));
            return;
        }
        QString failure;
        for (const CrawlPage &page : end.pages) {
            QSqlQuery &u = m_queries->updateInlinks;
            u.bindValue(0, page.inlinks);
            u.bindValue(1, m_crawl);
            u.bindValue(2, text(page.url));
            if (!u.exec()) {
                failure = sqlError(u.lastError());
                break;
            }
            if (u.numRowsAffected() > 0) {
                continue;
            }
            // A page the crawl knew of without handing it over page by page.
            QSqlQuery &p = m_queries->insertPage;
            p.bindValue(0, m_crawl);
            p.bindValue(1, ++m_pageSeq);
            p.bindValue(2, text(page.url));
            p.bindValue(3, page.depth);
            p.bindValue(4, page.status);
            p.bindValue(5, text(verdictName(page.verdict)));
            p.bindValue(6, text(page.error));
            p.bindValue(7, page.links);
            p.bindValue(8, page.inlinks);
            if (!p.exec()) {
                failure = sqlError(p.lastError());
                break;
            }
        }
        if (failure.isEmpty()) {
            QSqlQuery &c = m_queries->endCrawl;
            c.bindValue(0, msOf(end.endedAt.isValid() ? end.endedAt : m_options.clock()));
            c.bindValue(1, end.stopped ? 1 : 0);
            c.bindValue(2, text(QString::fromUtf8(
                               QJsonDocument(QJsonArray::fromStringList(end.orphans)).toJson(QJsonDocument::Compact))));
            c.bindValue(3, end.summary.pages);
            c.bindValue(4, end.summary.rows);
            c.bindValue(5, end.summary.distinct);
            c.bindValue(6, text(byVerdictText(end.summary)));
            c.bindValue(7, m_crawl);
            if (!c.exec()) {
                failure = sqlError(c.lastError());
            }
        }
        if (!failure.isEmpty()) {
            rollback();
            failCrawl(u"the end of the crawl could not be recorded: %1"_s.arg(failure));
            return;
        }
        if (!commit()) {
            failCrawl(u"the end of the crawl could not be recorded: %1"_s.arg(m_lastError));
            return;
        }
        m_recording = false;
        m_lastError.clear();
    }

    bool flush() override
    {
        if (!connect()) {
            return false;
        }
        if (!commit()) {
            if (m_recording) {
                failCrawl(u"the crawl store stopped recording: %1"_s.arg(m_lastError));
            }
            return false;
        }
        m_lastError.clear();
        return true;
    }

    qint64 currentCrawl() const override { return m_crawl; }

    std::optional<CachedCheck> cachedCheck(const QString &address, qint64 maxAgeSeconds) override
    {
        if (!connect()) {
            return std::nullopt;
        }
        m_lastError.clear();
        if (maxAgeSeconds < 0) {
            return std::nullopt;
        }
        const qint64 oldest = msOf(m_options.clock()) - maxAgeSeconds * 1000;
        // The address's last check decides: a failure after an earlier success is asked again.
        QSqlQuery &q = m_queries->cachedCheck;
        q.bindValue(0, text(address));
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return std::nullopt;
        }
        std::optional<CachedCheck> found;
        if (q.next()) {
            CachedCheck cached;
            TURLStatus &s = cached.status;
            s.MyURL = address;
            s.MyStatus = q.value(0).toInt();
            s.MyMessage = q.value(1).toString();
            s.MyResponseTime = q.value(2).toString();
            s.MyError = q.value(3).toString();
            s.verdict = verdictOf(q.value(4));
            s.finalStatus = q.value(5).toInt();
            s.hops = q.value(6).toInt();
            s.finalUrl = q.value(7).toString();
            s.reason = q.value(8).toString();
            s.chain = chainOf(q.value(9).toString());
            cached.checkedAt = timeOf(q.value(10));
            const bool reusable = s.verdict == Verdict::Ok || s.verdict == Verdict::Redirected;
            if (reusable && q.value(10).toLongLong() >= oldest) {
                found = cached;
            }
        }
        q.finish();
        return found;
    }

    std::optional<CrawlChanges> changes(bool strict) override
    {
        if (m_crawl == 0) {
            m_lastError = u"no crawl has begun"_s;
            return std::nullopt;
        }
        if (!m_crawlError.isEmpty()) {
            m_lastError = m_crawlError;
            return std::nullopt;
        }
        if (!flush()) {
            return std::nullopt;
        }
        return changesOf(m_crawl, strict);
    }

    std::optional<CrawlChanges> changesOf(qint64 crawlId, bool strict) override
    {
        if (!connect()) {
            return std::nullopt;
        }
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(u"SELECT earlier.id, earlier.started_at FROM crawls AS earlier, crawls AS now"
                  " WHERE now.id = ? AND earlier.start = now.start AND earlier.id < now.id"
                  " AND earlier.ended_at IS NOT NULL ORDER BY earlier.id DESC LIMIT 1"_s);
        q.addBindValue(crawlId);
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return std::nullopt;
        }
        if (!q.next()) {
            return std::nullopt;
        }
        const qint64 earlier = q.value(0).toLongLong();
        CrawlChanges changes;
        changes.previousStartedAt = timeOf(q.value(1));
        q.finish();

        const QString problems = problemWords(strict);
        const QString problemSql =
            u"SELECT DISTINCT address FROM checks WHERE crawl = ? AND verdict IN (%1)"_s.arg(problems);
        const auto then = addressIds(problemSql, earlier);
        const auto now = addressIds(problemSql, crawlId);
        // Linked now without any check of the address: not known to be fixed.
        const auto unchecked = addressIds(u"SELECT DISTINCT l.address FROM links AS l WHERE l.crawl = ?"
                                          " AND l.check_id IS NULL AND NOT EXISTS (SELECT 1 FROM checks AS c"
                                          " WHERE c.crawl = l.crawl AND c.address = l.address)"_s,
                                          crawlId);
        if (!then || !now || !unchecked) {
            return std::nullopt;
        }
        QList<qint64> newly;
        QList<qint64> fixed;
        for (qint64 id : *now) {
            if (!then->contains(id)) {
                newly.append(id);
            }
        }
        for (qint64 id : *then) {
            if (!now->contains(id) && !unchecked->contains(id)) {
                fixed.append(id);
            }
        }
        const auto newlyText = addressTexts(newly);
        const auto fixedText = addressTexts(fixed);
        if (!newlyText || !fixedText) {
            return std::nullopt;
        }
        changes.newlyBroken = *newlyText;
        changes.fixed = *fixedText;
        changes.newlyBroken.sort();
        changes.fixed.sort();
        m_lastError.clear();
        return changes;
    }

    QList<StoredCrawl> crawls() override
    {
        QList<StoredCrawl> list;
        if (!connect()) {
            return list;
        }
        QSqlQuery q(database());
        q.setForwardOnly(true);
        if (!q.exec(u"SELECT id, start, started_at, ended_at, stopped, options, orphans FROM crawls ORDER BY id"_s)) {
            m_lastError = sqlError(q.lastError());
            return {};
        }
        while (q.next()) {
            StoredCrawl crawl;
            crawl.id = q.value(0).toLongLong();
            crawl.start = q.value(1).toString();
            crawl.startedAt = timeOf(q.value(2));
            crawl.endedAt = timeOf(q.value(3));
            crawl.stopped = q.value(4).toInt() != 0;
            crawl.options = q.value(5).toString();
            const QJsonArray orphans = QJsonDocument::fromJson(q.value(6).toString().toUtf8()).array();
            for (const auto &orphan : orphans) {
                crawl.orphans.append(orphan.toString());
            }
            list.append(crawl);
        }
        q.finish();
        for (StoredCrawl &crawl : list) {
            crawl.summary = summary(crawl.id);
            if (!m_lastError.isEmpty()) {
                return {};
            }
        }
        return list;
    }

    QList<CrawlPage> pages(qint64 crawlId) override
    {
        QList<CrawlPage> list;
        if (!connect()) {
            return list;
        }
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(
            u"SELECT url, depth, status, verdict, error, links, inlinks FROM pages WHERE crawl = ? ORDER BY seq"_s);
        q.addBindValue(crawlId);
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return {};
        }
        while (q.next()) {
            CrawlPage page;
            page.url = q.value(0).toString();
            page.depth = q.value(1).toInt();
            page.status = q.value(2).toInt();
            page.verdict = verdictOf(q.value(3));
            page.error = q.value(4).toString();
            page.links = q.value(5).toInt();
            page.inlinks = q.value(6).toInt();
            list.append(page);
        }
        m_lastError.clear();
        return list;
    }

    QList<CrawlRow> rowsOfPage(qint64 crawlId, const QString &pageUrl) override
    {
        return readRows(u"SELECT p.url, %1 FROM pages AS p JOIN links AS l ON l.crawl = p.crawl AND l.page_seq = p.seq"
                        " JOIN addresses AS a ON a.id = l.address LEFT JOIN checks AS c ON c.id = l.check_id"
                        " WHERE p.crawl = ? AND p.seq = (SELECT MIN(seq) FROM pages WHERE crawl = p.crawl AND url = ?)"
                        " ORDER BY l.seq"_s.arg(rowColumns()),
                        {crawlId, pageUrl});
    }

    QList<CrawlRow> problemRows(qint64 crawlId, qint64 offset, qint64 limit, bool strict) override
    {
        return readRows(u"SELECT p.url, %1 FROM links AS l JOIN checks AS c ON c.id = l.check_id"
                        " JOIN pages AS p ON p.crawl = l.crawl AND p.seq = l.page_seq"
                        " JOIN addresses AS a ON a.id = l.address"
                        " WHERE l.crawl = ? AND c.verdict IN (%2) ORDER BY l.page_seq, l.seq LIMIT ? OFFSET ?"_s.arg(
                            rowColumns(), problemWords(strict)),
                        {crawlId, std::max<qint64>(limit, 0), std::max<qint64>(offset, 0)});
    }

    CrawlSummary summary(qint64 crawlId) override
    {
        CrawlSummary summary;
        if (!connect()) {
            return summary;
        }
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(u"SELECT ended_at, pages, rows, distinct_addresses, by_verdict FROM crawls WHERE id = ?"_s);
        q.addBindValue(crawlId);
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return summary;
        }
        if (!q.next()) {
            m_lastError = u"there is no crawl %1 in the store"_s.arg(crawlId);
            return summary;
        }
        if (!q.value(0).isNull()) {
            summary.pages = q.value(1).toLongLong();
            summary.rows = q.value(2).toLongLong();
            summary.distinct = q.value(3).toLongLong();
            readByVerdict(q.value(4).toString(), summary);
            m_lastError.clear();
            return summary;
        }
        q.finish();
        // A crawl that never ended: count what it kept.
        const std::array<std::pair<QString, qint64 *>, 3> counts = {{
            {u"SELECT COUNT(*) FROM pages WHERE crawl = ?"_s, &summary.pages},
            {u"SELECT COUNT(*) FROM links WHERE crawl = ?"_s, &summary.rows},
            {u"SELECT COUNT(DISTINCT address) FROM checks WHERE crawl = ? AND verdict NOT IN ('', 'skipped')"_s,
             &summary.distinct},
        }};
        for (const auto &[sql, target] : counts) {
            q.prepare(sql);
            q.addBindValue(crawlId);
            if (!q.exec() || !q.next()) {
                m_lastError = sqlError(q.lastError());
                return {};
            }
            *target = q.value(0).toLongLong();
        }
        q.prepare(u"SELECT c.verdict, COUNT(*) FROM links AS l LEFT JOIN checks AS c ON c.id = l.check_id"
                  " WHERE l.crawl = ? GROUP BY c.verdict"_s);
        q.addBindValue(crawlId);
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return {};
        }
        while (q.next()) {
            summary.byVerdict[static_cast<std::size_t>(verdictOf(q.value(0)))] += q.value(1).toLongLong();
        }
        m_lastError.clear();
        return summary;
    }

    QString lastError() const override { return m_lastError; }
    QString crawlError() const override { return m_crawlError; }

private:
    // The statements a crawl runs for every page and row, prepared once per connection.
    struct Queries
    {
        explicit Queries(const QSqlDatabase &db)
            : insertCrawl(db)
            , insertPage(db)
            , findAddress(db)
            , insertAddress(db)
            , insertCheck(db)
            , insertLink(db)
            , updateInlinks(db)
            , endCrawl(db)
            , cachedCheck(db)
        {}

        bool prepare(QString *failure)
        {
            const std::array<std::pair<QSqlQuery *, QString>, 9> statements = {{
                {&insertCrawl, u"INSERT INTO crawls (start, started_at, options) VALUES (?, ?, ?)"_s},
                {&insertPage, u"INSERT INTO pages (crawl, seq, url, depth, status, verdict, error, links, inlinks)"
                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
                {&findAddress, u"SELECT id FROM addresses WHERE address = ?"_s},
                {&insertAddress, u"INSERT OR IGNORE INTO addresses (address) VALUES (?)"_s},
                {&insertCheck, u"INSERT INTO checks (crawl, address, checked_at, status, response, response_time,"
                               " check_error, verdict, final_status, hops, final_url, verdict_error, chain)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
                {&insertLink, u"INSERT INTO links (crawl, page_seq, seq, address, follow, type, anchor_text, icon,"
                              " line, col, check_id) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
                {&updateInlinks, u"UPDATE pages SET inlinks = ? WHERE crawl = ? AND url = ?"_s},
                {&endCrawl, u"UPDATE crawls SET ended_at = ?, stopped = ?, orphans = ?, pages = ?, rows = ?,"
                            " distinct_addresses = ?, by_verdict = ? WHERE id = ?"_s},
                {&cachedCheck,
                 u"SELECT c.status, c.response, c.response_time, c.check_error, c.verdict, c.final_status, c.hops,"
                 " c.final_url, c.verdict_error, c.chain, c.checked_at FROM checks AS c"
                 " JOIN addresses AS a ON a.id = c.address WHERE a.address = ? AND c.verdict <> ''"
                 " ORDER BY c.checked_at DESC, c.id DESC LIMIT 1"_s},
            }};
            for (const auto &[query, sql] : statements) {
                query->setForwardOnly(true);
                if (!query->prepare(sql)) {
                    *failure = sqlError(query->lastError());
                    return false;
                }
            }
            return true;
        }

        QSqlQuery insertCrawl;
        QSqlQuery insertPage;
        QSqlQuery findAddress;
        QSqlQuery insertAddress;
        QSqlQuery insertCheck;
        QSqlQuery insertLink;
        QSqlQuery updateInlinks;
        QSqlQuery endCrawl;
        QSqlQuery cachedCheck;
    };

    struct Known
    {
        qint64 address = 0;
        qint64 check = 0;      // the link's first check in crawl checkCrawl
        qint64 checkCrawl = 0; // 0: none yet
        size_t fingerprint = 0;
    };

    // Address ids and first checks remembered for speed; past this many they are forgotten (and
    // looked up again), so memory stays bounded on a huge crawl.
    static constexpr qsizetype kMaxRemembered = 200'000;

    QSqlDatabase database() const { return m_db; }

    // Opens the connection on first use, in the calling thread, which owns it from then on.
    bool connect()
    {
        if (m_connected) {
            if (QThread::currentThread() != m_thread) {
                m_lastError = u"the crawl store was used from a thread other than the one that opened it"_s;
                return false;
            }
            return true;
        }
        m_name = newConnectionName();
        m_thread = QThread::currentThread();
        m_connected = true;
        m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        m_db.setDatabaseName(m_path);
        m_db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(std::max(0, m_options.busyTimeoutMs)));
        QString failure;
        if (!m_db.open()) {
            failure = sqlError(m_db.lastError());
        } else {
            // WAL lets a window read while a crawl writes; with it, NORMAL loses no commit to a crash.
            QSqlQuery pragma(m_db);
            // A larger page cache keeps the address and check indexes of a big crawl in memory.
            if (!pragma.exec(u"PRAGMA journal_mode = WAL"_s) || !pragma.exec(u"PRAGMA synchronous = NORMAL"_s) ||
                !pragma.exec(u"PRAGMA cache_size = -16384"_s)) {
                failure = sqlError(pragma.lastError());
            }
        }
        if (failure.isEmpty()) {
            m_queries = std::make_unique<Queries>(m_db);
            if (!m_queries->prepare(&failure)) {
                m_queries.reset();
            }
        }
        if (!failure.isEmpty()) {
            m_db = QSqlDatabase();
            dropConnection(m_name);
            m_connected = false;
            m_lastError = u"%1 cannot be opened: %2"_s.arg(m_path, failure);
            return false;
        }
        m_sinceCommit.start();
        return true;
    }

    bool beginTransaction()
    {
        if (m_inTransaction) {
            return true;
        }
        QSqlDatabase db = database();
        if (!db.transaction()) {
            m_lastError = sqlError(db.lastError());
            return false;
        }
        m_inTransaction = true;
        return true;
    }

    bool commit()
    {
        if (!m_inTransaction) {
            return true;
        }
        QSqlDatabase db = database();
        if (!db.commit()) {
            m_lastError = sqlError(db.lastError());
            rollback();
            return false;
        }
        m_inTransaction = false;
        m_pendingRows = 0;
        m_sinceCommit.restart();
        return true;
    }

    void rollback()
    {
        if (m_inTransaction) {
            database().rollback();
            m_inTransaction = false;
        }
        m_pendingRows = 0;
        // Ids handed out inside the transaction are gone with it.
        m_known.clear();
    }

    // The message names the file: the crawler passes it on as it is.
    void failCrawl(const QString &what)
    {
        const QString message = m_path + u": "_s + what;
        if (m_crawlError.isEmpty()) {
            m_crawlError = message;
            qCWarning(lcApp) << message;
        }
        m_lastError = message;
        m_recording = false;
    }

    // The link's address id, and its first check in this crawl: looked up once per distinct link.
    Known *knownLink(const QString &link, QString *failure)
    {
        if (const auto it = m_known.find(link); it != m_known.end()) {
            return &*it;
        }
        QSqlQuery &insert = m_queries->insertAddress;
        insert.bindValue(0, text(link));
        if (!insert.exec()) {
            *failure = sqlError(insert.lastError());
            return nullptr;
        }
        Known known;
        if (insert.numRowsAffected() == 1) {
            known.address = insert.lastInsertId().toLongLong();
        } else {
            // Kept by an earlier crawl.
            QSqlQuery &find = m_queries->findAddress;
            find.bindValue(0, text(link));
            if (!find.exec() || !find.next()) {
                *failure = sqlError(find.lastError());
                return nullptr;
            }
            known.address = find.value(0).toLongLong();
            find.finish();
        }
        if (m_known.size() >= kMaxRemembered) {
            m_known.clear();
        }
        return &*m_known.insert(link, known);
    }

    // The check the row points at: the link's first one in this crawl when the row carries the same
    // result (a repeat of the link), else a new one.
    std::optional<qint64> checkIdOf(const LinkRow &row, Known &known, qint64 checkedAt, QString *failure)
    {
        const size_t fingerprint = checkFingerprint(row);
        if (known.checkCrawl == m_crawl && known.fingerprint == fingerprint) {
            return known.check;
        }
        QSqlQuery &q = m_queries->insertCheck;
        q.bindValue(0, m_crawl);
        q.bindValue(1, known.address);
        q.bindValue(2, checkedAt);
        q.bindValue(3, firstStatusOf(row));
        q.bindValue(4, text(row.response));
        q.bindValue(5, text(row.responseTime));
        q.bindValue(6, text(row.checkError));
        q.bindValue(7, text(verdictName(row.verdict)));
        q.bindValue(8, row.finalStatus);
        q.bindValue(9, row.hops);
        q.bindValue(10, text(row.finalUrl));
        q.bindValue(11, text(row.verdictError));
        q.bindValue(12, text(chainText(row.chain)));
        if (!q.exec()) {
            *failure = sqlError(q.lastError());
            return std::nullopt;
        }
        const qint64 id = q.lastInsertId().toLongLong();
        if (known.checkCrawl != m_crawl) {
            known.check = id;
            known.checkCrawl = m_crawl;
            known.fingerprint = fingerprint;
        }
        return id;
    }

    std::optional<QSet<qint64>> addressIds(const QString &sql, qint64 crawlId)
    {
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(sql);
        q.bindValue(0, crawlId);
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return std::nullopt;
        }
        QSet<qint64> ids;
        while (q.next()) {
            ids.insert(q.value(0).toLongLong());
        }
        return ids;
    }

    std::optional<QStringList> addressTexts(const QList<qint64> &ids)
    {
        QStringList texts;
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(u"SELECT address FROM addresses WHERE id = ?"_s);
        for (qint64 id : ids) {
            q.bindValue(0, id);
            if (!q.exec() || !q.next()) {
                m_lastError = sqlError(q.lastError());
                return std::nullopt;
            }
            texts.append(q.value(0).toString());
        }
        return texts;
    }

    static QString rowColumns()
    {
        return u"a.address, l.follow, l.type, l.anchor_text, l.icon, l.line, l.col, c.response, c.response_time,"
               " c.check_error, c.verdict, c.final_status, c.hops, c.final_url, c.verdict_error, c.chain"_s;
    }

    QList<CrawlRow> readRows(const QString &sql, const QVariantList &values)
    {
        QList<CrawlRow> rows;
        if (!connect()) {
            return rows;
        }
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(sql);
        for (const QVariant &value : values) {
            q.addBindValue(value);
        }
        if (!q.exec()) {
            m_lastError = sqlError(q.lastError());
            return {};
        }
        while (q.next()) {
            CrawlRow crawlRow;
            crawlRow.page = q.value(0).toString();
            LinkRow &row = crawlRow.row;
            row.link = q.value(1).toString();
            row.follow = q.value(2).toString();
            row.type = q.value(3).toString();
            row.anchorText = q.value(4).toString();
            row.icon = q.value(5).toInt();
            crawlRow.line = q.value(6).toInt();
            crawlRow.column = q.value(7).toInt();
            row.response = q.value(8).toString();
            row.responseTime = q.value(9).toString();
            row.checkError = q.value(10).toString();
            row.verdict = verdictOf(q.value(11));
            row.finalStatus = q.value(12).toInt();
            row.hops = q.value(13).toInt();
            row.finalUrl = q.value(14).toString();
            row.verdictError = q.value(15).toString();
            row.chain = chainOf(q.value(16).toString());
            rows.append(crawlRow);
        }
        m_lastError.clear();
        return rows;
    }

    QString m_path;
    SqliteStoreOptions m_options;
    QString m_name;
    QSqlDatabase m_db; // the connection named m_name, owned by m_thread
    QThread *m_thread = nullptr;
    bool m_connected = false;
    std::unique_ptr<Queries> m_queries;
    bool m_inTransaction = false;
    qint64 m_pendingRows = 0;
    QElapsedTimer m_sinceCommit;

    qint64 m_crawl = 0;
    bool m_recording = false;
    qint64 m_pageSeq = 0;
    QHash<QString, Known> m_known; // by link

    QString m_lastError;
    QString m_crawlError;
};

} // namespace

std::unique_ptr<CrawlStore> openSqliteStore(const QString &path, QString *error, const SqliteStoreOptions &options)
{
    QString ignored;
    QString &message = error ? *error : ignored;
    message.clear();
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        message = u"The SQLite driver of Qt SQL is missing (Debian package libqt6sql6-sqlite); %1 cannot be "
                  "opened."_s.arg(path);
        return nullptr;
    }
    const Inspection inspection = inspect(path);
    if (inspection.kind == FileKind::Refused) {
        message = inspection.message;
        return nullptr;
    }
    if ((inspection.kind == FileKind::New || inspection.version < kCrawlStoreSchemaVersion) &&
        !prepareFile(path, &message)) {
        return nullptr;
    }
    return std::make_unique<SqliteCrawlStore>(path, options);
}

} // namespace quorvel
