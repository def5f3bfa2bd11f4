#include "CrawlStoreWriter.h"

#include "core/store/SqliteCrawlStore.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <iostream>
#include <string>

using namespace quorvel;
using namespace quorvel::test;

// Writes a crawl into the store at argv[1]: argv[2] pages of argv[3] rows each, committed, then one
// more large page left in the open transaction. It says "committed N" and "pending" on its output
// as each part is done, then waits on its input to be killed.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::cerr << "usage: quorvel_crawl_store_writer FILE PAGES ROWS\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int pages = std::stoi(argv[2]);
    const int rows = std::stoi(argv[3]);
    SqliteStoreOptions options;
    // Commits only when told, so what is pending when the program is killed is known.
    options.batchRows = 1'000'000;
    options.commitAfterMs = 0;
    QString error;
    const auto store = openSqliteStore(path, &error, options);
    if (!store) {
        std::cerr << error.toStdString() << '\n';
        return 1;
    }
    store->begin({kWriterStart, QDateTime::currentDateTimeUtc(), QStringLiteral("kill test")});
    for (int page = 1; page <= pages; ++page) {
        store->pageDone(writerPage(page, rows), writerRows(page, rows));
        // A commit every few pages, as the store's batches make them on a real crawl.
        if (page % 3 == 0 && !store->flush()) {
            std::cerr << store->crawlError().toStdString() << '\n';
            return 1;
        }
    }
    if (!store->flush()) {
        std::cerr << store->crawlError().toStdString() << '\n';
        return 1;
    }
    std::cout << "committed " << pages << std::endl;
    // Big enough to spill out of SQLite's page cache into the file before any commit.
    store->pageDone(writerPage(pages + 1, 20'000), writerRows(pages + 1, 20'000, 500));
    if (!store->crawlError().isEmpty()) {
        std::cerr << store->crawlError().toStdString() << '\n';
        return 1;
    }
    std::cout << "pending" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 3;
}
