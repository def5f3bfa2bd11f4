#include "PageGenerator.h"
#include "ResidentMemory.h"

#include "core/collect/LocalPage.h"
#include "core/common/Http.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace quorvel;

// The window under a 200,000-link local page: how long the UI thread ever stalls while rows
// arrive, how long a header click sorts, and the memory the rows take. Runs offscreen.
int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    CurlGlobal curl;
    QApplication app(argc, argv);
    const int anchors = argc > 1 ? std::atoi(argv[1]) : 200'000;

    QTemporaryDir dir;
    const QString page = dir.filePath(u"page.html"_s);
    {
        QFile f(page);
        if (!f.open(QIODevice::WriteOnly)) {
            return 1;
        }
        f.write(bench::generatePage(static_cast<qint64>(anchors) * 100, anchors));
    }
    QTemporaryDir data;
    AppEnvironment environment;
    environment.programFile = QCoreApplication::applicationFilePath();
    environment.programFolder = data.path();
    environment.configHome = data.path();
    environment.beep = [] {
    };
    TAppForm window(environment);
    window.resize(1280, 800);
    window.show();
    auto *urlBox = window.findChild<QComboBox *>(u"Edit1"_s);
    auto *button = window.findChild<QToolButton *>(u"BitBtn1"_s);
    auto *list = window.findChild<QTableView *>(u"ListBox1"_s);
    urlBox->setEditText(localAddressOf(page));
    // Nothing left out, so every anchor of the page becomes a row.
    window.findChild<QLineEdit *>(u"Edit2"_s)->clear();
    window.findChild<QPlainTextEdit *>(u"Memo1"_s)->clear();
    QCoreApplication::processEvents();

    const long before = bench::residentKb();
    qint64 maxGapMs = 0;
    int batchesSeen = 0;
    int lastRows = 0;
    QElapsedTimer gap;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        maxGapMs = std::max(maxGapMs, gap.restart());
        const int rows = window.resultsModel()->rowCount();
        if (rows != lastRows) {
            ++batchesSeen;
            lastRows = rows;
        }
    });
    QEventLoop loop;
    QTimer done;
    done.setInterval(20);
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (button->text() == u"Check" && window.resultsModel()->rowCount() > 0) {
            loop.quit();
        }
    });
    QElapsedTimer run;
    run.start();
    gap.start();
    ticker.start();
    done.start();
    button->click();
    loop.exec();
    const qint64 runMs = run.elapsed();
    ticker.stop();
    const long after = bench::residentKb();
    const int rows = window.resultsModel()->rowCount();

    QElapsedTimer sort;
    sort.start();
    Q_EMIT list->horizontalHeader()->sectionClicked(3);
    const qint64 sortAnchorMs = sort.elapsed();
    sort.restart();
    Q_EMIT list->horizontalHeader()->sectionClicked(0);
    const qint64 sortLinkMs = sort.elapsed();

    std::printf("rows %d, run %lld ms, rows seen growing %d times, longest UI stall %lld ms\n", rows,
                static_cast<long long>(runMs), batchesSeen, static_cast<long long>(maxGapMs));
    std::printf("header click: Anchor Text %lld ms, Link %lld ms\n", static_cast<long long>(sortAnchorMs),
                static_cast<long long>(sortLinkMs));
    std::printf("resident memory %ld KB before, %ld KB after: %.0f bytes per row\n", before, after,
                rows > 0 ? (after - before) * 1024.0 / rows : 0.0);
    return 0;
}
