#pragma once

#include "core/store/CrawlStore.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

namespace quorvel {

// The version of the crawl store's tables this build writes; it opens files of this version and
// older ones (bringing them up to it), and refuses newer ones.
inline constexpr int kCrawlStoreSchemaVersion = 1;
// "QVLS" in the SQLite header's application id: the file is a Quorvel crawl store.
inline constexpr int kCrawlStoreApplicationId = 0x51564C53;

struct SqliteStoreOptions
{
    // The time a page's checks are stamped with and cached checks are aged against; UTC.
    std::function<QDateTime()> clock;
    // Rows written before the open transaction is committed at the next page's end.
    int batchRows = 4000;
    // A transaction is also committed at a page's end once this long has passed since the last
    // commit, so a slow crawl does not keep minutes of pages uncommitted; 0: by rows only.
    int commitAfterMs = 1000;
    // How long a write waits for another program that holds the file before it fails.
    int busyTimeoutMs = 5000;
};

// Opens the crawl store in the SQLite file at path, creating the file when it is missing (an empty
// file, or an SQLite database without tables, is taken as new). An existing file is first looked at
// read-only: one that is not SQLite, an SQLite database of another program, or a store of a newer
// version is refused with a message in *error and left exactly as it was. An older store is brought
// up to this version in one transaction.
//
// The file is kept in WAL mode with synchronous=NORMAL: a commit survives a crash or kill of the
// program (not a power cut), and a window may read while a crawl writes. Every connection has a
// name of its own; see CrawlStore for threads.
std::unique_ptr<CrawlStore> openSqliteStore(const QString &path, QString *error,
                                            const SqliteStoreOptions &options = {});

} // namespace quorvel
