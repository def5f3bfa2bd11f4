// The Site window under a crawl of 10,000 pages: how long the UI thread ever stalls while pages,
// problems and progress arrive, with a page selected and the problems list showing. A measurement,
// not a check (no timed assertions): run it by hand,
// build/dev/tests/quorvel_gui_tests --gtest_also_run_disabled_tests --gtest_filter='SiteFormLoad.*'

#include "gui/site/SiteFormFixture.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace quorvel::test {

class SiteFormLoad : public SiteFormTest
{
};

TEST_F(SiteFormLoad, DISABLED_TenThousandPages)
{
    CrawlSite site(CrawlSite::Options{.pages = 10'000});
    ASSERT_TRUE(site.start());
    CrawlOptions options = siteOptions();
    options.check.parallel = 32;
    options.check.perHost = 32;
    openWindow(site.startUrl(), QString(), options);
    window->resize(1280, 800);
    child<QSpinBox>(u"DepthBox"_s)->setValue(1000);
    child<QSpinBox>(u"MaxPagesBox"_s)->setValue(20'000);

    qint64 longest = 0;
    int ticks = 0;
    QElapsedTimer gap;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.restart());
        ++ticks;
        // The user looks at a page early on, as they would.
        if (pagesList()->model()->rowCount() > 10 && pagesList()->selectionModel()->selectedRows().isEmpty()) {
            pagesList()->selectRow(5);
        }
    });
    QElapsedTimer run;
    run.start();
    gap.start();
    ticker.start();
    ASSERT_TRUE(crawl());
    ticker.stop();
    std::printf("pages %d, problems %d, crawl %lld ms, longest UI stall %lld ms over %d ticks\n",
                pagesList()->model()->rowCount(), problemsList()->model()->rowCount(),
                static_cast<long long>(run.elapsed()), static_cast<long long>(longest), ticks);
}

} // namespace quorvel::test
