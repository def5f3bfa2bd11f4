#include "ResidentMemory.h"

#include "core/common/Http.h"
#include "gui/site/TSiteForm.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace quorvel;

// The Site window while it crawls a whole site: how long the UI thread ever stalls while pages,
// problems and progress arrive (a page selected early, as a user would), and the window's memory.
// Runs offscreen against a site on the network, such as the benchmark harness's:
//   node bench/harness/site-server.js --port 8090 --ext-ports 8091 --latency 50
//   build/release/bench/quorvel_site_window_bench http://127.0.0.1:8090/site/10000/ [parallel] [max pages]
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    CurlGlobal curl;
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s START-ADDRESS [parallel, default 64] [max pages, default 100000]\n", argv[0]);
        return 2;
    }
    const QString start = QString::fromLocal8Bit(argv[1]);
    const int parallel = argc > 2 ? std::atoi(argv[2]) : 64;
    const int maxPages = argc > 3 ? std::atoi(argv[3]) : 100'000;

    QTemporaryDir data;
    SiteSetup setup;
    setup.start = start;
    setup.options.check.parallel = parallel;
    setup.options.check.perHost = parallel;
    setup.storePath = data.filePath(u"crawls.sqlite"_s);
    setup.openAddress = [](const QString &) {
    };
    TSiteForm window(std::move(setup));
    window.resize(1280, 800);
    window.show();
    auto *pages = window.findChild<QTableView *>(u"PagesList"_s);
    auto *problems = window.findChild<QTableView *>(u"ProblemsList"_s);
    window.findChild<QSpinBox *>(u"MaxPagesBox"_s)->setValue(maxPages);
    QCoreApplication::processEvents();

    const long before = bench::residentKb();
    qint64 longest = 0;
    qint64 longestAt = 0;
    QElapsedTimer run;
    QElapsedTimer gap;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (const qint64 g = gap.restart(); g > longest) {
            longest = g;
            longestAt = run.elapsed();
        }
        if (pages->model()->rowCount() > 10 && pages->selectionModel()->selectedRows().isEmpty()) {
            pages->selectRow(5);
        }
    });
    QEventLoop loop;
    QObject::connect(&window, &TSiteForm::crawlFinished, &loop, &QEventLoop::quit);
    run.start();
    gap.start();
    ticker.start();
    window.onStartClicked();
    if (window.crawling()) {
        loop.exec();
    }
    ticker.stop();
    const qint64 runMs = run.elapsed();
    const long after = bench::residentKb();

    std::printf("pages %d, problems %d, crawl %lld ms, longest UI stall %lld ms (ending %lld ms after Start)\n",
                pages->model()->rowCount(), problems->model()->rowCount(), static_cast<long long>(runMs),
                static_cast<long long>(longest), static_cast<long long>(longestAt));
    std::printf("resident memory %ld KB before, %ld KB after\n", before, after);
    return 0;
}
