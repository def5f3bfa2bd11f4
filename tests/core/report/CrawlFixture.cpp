#include "CrawlFixture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

CrawlRow row(const QString &page, const QString &link, const QString &anchor, Verdict verdict, int status, int line,
             int column)
{
    CrawlRow r;
    r.page = page;
    r.row.link = link;
    r.row.anchorText = anchor;
    r.row.follow = u"dofollow"_s;
    r.row.type = u"Internal"_s;
    r.row.verdict = verdict;
    r.row.finalStatus = status;
    r.row.responseTime = status > 0 ? u"35"_s : QString();
    r.line = line;
    r.column = column;
    return r;
}

} // namespace

QString hostileText()
{
    QString text = u"</script><script>document.body.setAttribute('data-pwned','1')</script>"
                   u" ]]> %1 | `tick` <b>bold</b> & \"quoted\" 'single' *star* [x](javascript:alert(1))"_s;
    text += QChar(0x01);
    text += QChar(0x1B);
    text += QChar(0x00);
    text += u" high "_s + QChar(0xD800) + u" low "_s + QChar(0xDC00) + u" end\r\nnext line"_s;
    return text;
}

FixtureCrawl fixtureCrawl(bool hostile)
{
    FixtureCrawl crawl;
    const QString home = u"https://site.test/"_s;
    const QString about = u"https://site.test/about"_s;
    const QString news = u"https://site.test/news"_s;
    const QString gone = u"https://site.test/gone"_s;
    crawl.header.start = home;
    crawl.header.startedAt = QDateTime(QDate(2026, 12, 11), QTime(6, 0, 0), Qt::UTC);
    crawl.header.options = u"depth 10, max pages 10000, robots.txt obeyed"_s;

    QList<CrawlRow> homeRows;
    homeRows.append(row(home, about, u"About us"_s, Verdict::Ok, 200, 10, 5));
    CrawlRow redirected = row(home, u"http://site.test/old-news"_s, u"News"_s, Verdict::Redirected, 200, 11, 5);
    redirected.row.finalUrl = news;
    redirected.row.hops = 2;
    redirected.row.chain = {{301, u"http://site.test/old-news"_s}, {302, u"https://site.test/old-news"_s}, {200, news}};
    homeRows.append(redirected);
    CrawlRow broken = row(home, gone, u"Old page"_s, Verdict::Broken, 404, 12, 3);
    homeRows.append(broken);
    broken.line = 40;
    broken.column = 9;
    broken.row.anchorText = u"The old page again"_s;
    homeRows.append(broken);
    CrawlRow timeout = row(home, u"https://slow.test/"_s, u"Slow"_s, Verdict::Timeout, 0, 13, 1);
    timeout.row.verdictError = u"No answer within 5000 ms"_s;
    homeRows.append(timeout);
    CrawlRow unreachable = row(home, u"https://nowhere.test/"_s, u"Nowhere"_s, Verdict::Unreachable, 0, 14, 1);
    unreachable.row.verdictError = u"Could not resolve host: nowhere.test"_s;
    homeRows.append(unreachable);
    homeRows.append(row(home, about + u"#team"_s, u"Our team"_s, Verdict::FragmentMissing, 200, 15, 7));
    homeRows.append(row(home, u"https://walled.test/"_s, u"Walled"_s, Verdict::Blocked, 403, 16, 1));
    homeRows.append(row(home, u"https://busy.test/"_s, u"Busy"_s, Verdict::RateLimited, 429, 17, 1));
    homeRows.append(row(home, u"mailto:team@site.test"_s, u"Mail us"_s, Verdict::Skipped, 0, 18, 1));
    crawl.pages.append({CrawlPage{home, 0, 200, Verdict::Ok, QString(), int(homeRows.size()), 0}, homeRows});

    QList<CrawlRow> aboutRows;
    aboutRows.append(row(about, home, u"Home"_s, Verdict::Ok, 200, 3, 1));
    if (hostile) {
        CrawlRow bad =
            row(about, u"https://site.test/x?q="_s + hostileText(), hostileText(), Verdict::Broken, 500, 7, 2);
        bad.row.verdictError = hostileText();
        bad.row.finalUrl = u"https://site.test/final?"_s + hostileText();
        aboutRows.append(bad);
        aboutRows.append(
            row(about, u"https://site.test/long"_s, QString(100000, u'w'), Verdict::Unreachable, 0, 8, 100000));
    }
    aboutRows.append(row(about, gone, u"Gone"_s, Verdict::Broken, 404, 9, 1));
    crawl.pages.append({CrawlPage{about, 1, 200, Verdict::Ok, QString(), int(aboutRows.size()), 2}, aboutRows});

    QList<CrawlRow> newsRows;
    newsRows.append(row(news, home, u"Home"_s, Verdict::Ok, 200, 2, 1));
    crawl.pages.append({CrawlPage{news, 1, 200, Verdict::Ok, QString(), 1, 1}, newsRows});

    crawl.pages.append({CrawlPage{gone, 1, 404, Verdict::Broken, u"Not Found"_s, 0, 3}, {}});

    for (const auto &[page, rows] : crawl.pages) {
        crawl.end.pages.append(page);
        crawl.end.summary.pages += 1;
        crawl.end.summary.rows += rows.size();
        for (const CrawlRow &r : rows) {
            crawl.end.summary.byVerdict[static_cast<std::size_t>(r.row.verdict)] += 1;
        }
    }
    crawl.end.summary.distinct = 12;
    crawl.end.orphans = {u"https://site.test/lonely"_s};
    crawl.end.changes = CrawlChanges{
        {gone}, {u"https://site.test/was-broken"_s}, QDateTime(QDate(2026, 12, 4), QTime(6, 0, 0), Qt::UTC)};
    crawl.end.endedAt = QDateTime(QDate(2026, 12, 11), QTime(6, 1, 30), Qt::UTC);
    return crawl;
}

qsizetype findingCount(const FixtureCrawl &crawl)
{
    const auto listed = [](Verdict v) {
        return v == Verdict::Broken || v == Verdict::Timeout || v == Verdict::Unreachable ||
               v == Verdict::FragmentMissing || v == Verdict::Blocked || v == Verdict::RateLimited;
    };
    qsizetype n = 0;
    for (const auto &[page, rows] : crawl.pages) {
        n += page.depth == 0 && listed(page.verdict) ? 1 : 0;
        for (const CrawlRow &r : rows) {
            n += listed(r.row.verdict) ? 1 : 0;
        }
    }
    return n;
}

void runCrawl(CrawlSink &sink, const FixtureCrawl &crawl)
{
    sink.begin(crawl.header);
    for (const auto &[page, rows] : crawl.pages) {
        sink.pageDone(page, rows);
    }
    sink.end(crawl.end);
}

QByteArray reportBytes(ReportFormat format, const FixtureCrawl &crawl)
{
    QByteArray bytes;
    const std::unique_ptr<ReportWriter> writer = makeReportWriter(format, [&bytes](const QByteArray &b) {
        bytes += b;
        return true;
    });
    runCrawl(*writer, crawl);
    EXPECT_FALSE(writer->failed()) << writer->error().toStdString();
    return bytes;
}

QString markupClean(const QString &text)
{
    QString out;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[++i];
        } else if (QChar::isSurrogate(c) || (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c >= 0xFFFE) {
            out += QChar(0xFFFD);
        } else {
            out += QChar(c);
        }
    }
    return out;
}

} // namespace quorvel::test
