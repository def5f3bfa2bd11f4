#include "core/report/HtmlReportWriter.h"

#include "CrawlFixture.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>
#include <gumbo.h>

#include <functional>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A parsed HTML document, read the way a browser would read it.
class Dom
{
public:
    explicit Dom(const QByteArray &html)
        : m_html(html)
        , m_output(gumbo_parse_with_options(&kGumboDefaultOptions, m_html.constData(), size_t(m_html.size())),
                   [](GumboOutput *o) { gumbo_destroy_output(&kGumboDefaultOptions, o); })
    {}

    // Every element, in document order, for which keep is true.
    std::vector<const GumboNode *> elements(const std::function<bool(const GumboNode *)> &keep) const
    {
        std::vector<const GumboNode *> found;
        std::vector<const GumboNode *> stack{m_output->root};
        while (!stack.empty()) {
            const GumboNode *node = stack.back();
            stack.pop_back();
            if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) {
                continue;
            }
            if (keep(node)) {
                found.push_back(node);
            }
            const GumboVector &children = node->v.element.children;
            for (unsigned i = children.length; i > 0; --i) {
                stack.push_back(static_cast<const GumboNode *>(children.data[i - 1]));
            }
        }
        return found;
    }

    const GumboNode *byId(const char *id) const
    {
        const auto found = elements([id](const GumboNode *n) {
            const GumboAttribute *a = gumbo_get_attribute(&n->v.element.attributes, "id");
            return a != nullptr && qstrcmp(a->value, id) == 0;
        });
        return found.empty() ? nullptr : found.front();
    }

    std::vector<const GumboNode *> byTag(GumboTag tag) const
    {
        return elements([tag](const GumboNode *n) { return n->v.element.tag == tag; });
    }

    // The rows of the table's body with the given id.
    std::vector<const GumboNode *> bodyRows(const char *tableId) const
    {
        std::vector<const GumboNode *> rows;
        const GumboNode *table = byId(tableId);
        if (table == nullptr) {
            return rows;
        }
        for (const GumboNode *tr : byTag(GUMBO_TAG_TR)) {
            const GumboNode *section = tr->parent;
            if (section != nullptr && section->v.element.tag == GUMBO_TAG_TBODY && section->parent == table) {
                rows.push_back(tr);
            }
        }
        return rows;
    }

private:
    QByteArray m_html;
    std::unique_ptr<GumboOutput, void (*)(GumboOutput *)> m_output;
};

bool hasAttribute(const GumboNode *node, const char *name)
{
    return node != nullptr && gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

QString attribute(const GumboNode *node, const char *name)
{
    const GumboAttribute *a = node == nullptr ? nullptr : gumbo_get_attribute(&node->v.element.attributes, name);
    return a == nullptr ? QString() : QString::fromUtf8(a->value);
}

QString textOf(const GumboNode *node)
{
    if (node == nullptr) {
        return {};
    }
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
        return QString::fromUtf8(node->v.text.text);
    }
    if (node->type != GUMBO_NODE_ELEMENT) {
        return {};
    }
    QString text;
    const GumboVector &children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        text += textOf(static_cast<const GumboNode *>(children.data[i]));
    }
    return text;
}

// The text of the row's cells.
QStringList cellsOf(const GumboNode *row)
{
    QStringList cells;
    const GumboVector &children = row->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *cell = static_cast<const GumboNode *>(children.data[i]);
        if (cell->type == GUMBO_NODE_ELEMENT && cell->v.element.tag == GUMBO_TAG_TD) {
            cells.append(textOf(cell));
        }
    }
    return cells;
}

std::vector<const GumboNode *> visible(const std::vector<const GumboNode *> &rows)
{
    std::vector<const GumboNode *> shown;
    for (const GumboNode *row : rows) {
        if (!hasAttribute(row, "hidden")) {
            shown.push_back(row);
        }
    }
    return shown;
}

// The headless browser the tests load the report in; a clear failure when it is missing, since CI
// installs it (scripts/install-deps).
QString chromium()
{
    for (const QString &name : {u"chromium"_s, u"chromium-browser"_s}) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

// The DOM of the file after its script ran, as headless Chromium serialises it, with the fragment
// in the address. The browser is kept off every network.
QByteArray dumpDom(const QString &file, const QString &fragment, const QString &profile)
{
    QProcess browser;
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(fragment, QUrl::DecodedMode);
    browser.start(chromium(),
                  {u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s, u"--disable-quic"_s, u"--no-first-run"_s,
                   u"--disable-background-networking"_s, u"--disable-component-update"_s, u"--disable-sync"_s,
                   u"--host-resolver-rules=MAP * ~NOTFOUND"_s, u"--user-data-dir="_s + profile, u"--dump-dom"_s,
                   url.toString(QUrl::FullyEncoded)});
    if (!browser.waitForFinished(-1) || browser.exitCode() != 0) {
        ADD_FAILURE() << "chromium failed: " << browser.readAllStandardError().toStdString();
        return {};
    }
    return browser.readAllStandardOutput();
}

QString writeReport(const QTemporaryDir &dir, const FixtureCrawl &crawl)
{
    const QString file = dir.filePath(u"report.html"_s);
    writeAll(file, reportBytes(ReportFormat::Html, crawl));
    return file;
}

} // namespace

// The file needs nothing but itself: no address it loads, no script but its own, and its
// Content-Security-Policy names both its style and its script by hash.
TEST(HtmlReportWriter, IsSelfContained)
{
    const QByteArray html = reportBytes(ReportFormat::Html, fixtureCrawl(true));
    for (const char *needle : {" src=", "<link", "url(", "@import", "<iframe", "<object", "<embed", "<img"}) {
        SCOPED_TRACE(needle);
        EXPECT_FALSE(html.contains(needle));
    }
    EXPECT_EQ(html.count("<script"), 1);
    EXPECT_EQ(html.count("<style"), 1);
    EXPECT_TRUE(html.contains("<svg id=\"verdict-chart\""));
    const Dom dom(html);
    const std::vector<const GumboNode *> metas = dom.byTag(GUMBO_TAG_META);
    QString policy;
    for (const GumboNode *meta : metas) {
        if (attribute(meta, "http-equiv") == u"Content-Security-Policy") {
            policy = attribute(meta, "content");
        }
    }
    EXPECT_TRUE(policy.startsWith(u"default-src 'none'; style-src 'sha256-"_s)) << policy.toStdString();
    EXPECT_TRUE(policy.contains(u"; script-src 'sha256-"_s));
}

// With scripts off the tables are complete, the controls that need the script stay hidden, and every
// text of the hostile rows is cell text, not markup.
TEST(HtmlReportWriter, TablesAreCompleteWithoutTheScript)
{
    const FixtureCrawl crawl = fixtureCrawl(true);
    const Dom dom(reportBytes(ReportFormat::Html, crawl));
    const auto problems = dom.bodyRows("problems");
    ASSERT_EQ(qsizetype(problems.size()), findingCount(crawl));
    EXPECT_EQ(visible(problems).size(), problems.size());
    EXPECT_EQ(dom.bodyRows("pages").size(), std::size_t(4));
    EXPECT_TRUE(hasAttribute(dom.byId("controls"), "hidden"));
    EXPECT_EQ(dom.byTag(GUMBO_TAG_SCRIPT).size(), std::size_t(1));

    struct CountCase
    {
        const char *id;
        QString text;
    };
    const std::vector<CountCase> counts = {
        {"count-pages", u"4"_s},        {"count-rows", u"15"_s},    {"count-distinct", u"12"_s},
        {"count-ok", u"3"_s},           {"count-broken", u"4"_s},   {"count-unreachable", u"2"_s},
        {"count-skipped", u"1"_s},      {"count-problems", u"8"_s}, {"count-warnings", u"2"_s},
        {"count-newly-broken", u"1"_s}, {"count-fixed", u"1"_s},    {"problems-shown", u"10"_s},
    };
    for (const CountCase &c : counts) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(textOf(dom.byId(c.id)), c.text);
    }

    const QString hostile = markupClean(hostileText()).replace(u"\r\n"_s, u"\n"_s);
    bool found = false;
    for (const GumboNode *row : problems) {
        const QStringList cells = cellsOf(row);
        if (cells.value(3) == hostile) {
            found = true;
            EXPECT_EQ(cells.value(0), u"https://site.test/about"_s);
            EXPECT_EQ(cells.value(1), u"7:2"_s);
            EXPECT_EQ(cells.value(2), u"https://site.test/x?q="_s + hostile);
            EXPECT_EQ(cells.value(4), u"broken"_s);
            EXPECT_EQ(cells.value(5), u"500"_s);
            EXPECT_EQ(cells.value(7), hostile);
        }
        // A link is a link only when it is http or https.
        for (const GumboNode *a : dom.elements([row](const GumboNode *n) {
                 return n->v.element.tag == GUMBO_TAG_A && n->parent && n->parent->parent == row;
             })) {
            const QString href = attribute(a, "href");
            EXPECT_TRUE(href.startsWith(u"http://"_s) || href.startsWith(u"https://"_s)) << href.toStdString();
        }
    }
    EXPECT_TRUE(found);
}

// The report loaded from disk in a real browser: the script runs (the policy lets it), the hostile
// text runs nothing, and the fragment of the address filters and sorts the tables.
TEST(HtmlReportWriter, FiltersAndSortsInABrowser)
{
    ASSERT_FALSE(chromium().isEmpty()) << "chromium is not installed (Debian: chromium; scripts/install-deps)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const FixtureCrawl crawl = fixtureCrawl(true);
    const QString file = writeReport(dir, crawl);
    const QString profile = dir.filePath(u"profile"_s);

    struct Case
    {
        const char *name;
        QString fragment;
        int shown;              // problems rows left visible
        QString firstStatus;    // the first visible problem's status cell; empty: not checked
        QString firstPageDepth; // the first page row's depth cell; empty: not checked
    };
    const std::vector<Case> cases = {
        {"no filter", QString(), 10, QString(), u"0"_s},
        {"verdict", u"verdict=broken"_s, 4, QString(), QString()},
        {"warnings", u"verdict=rate-limited"_s, 1, u"429"_s, QString()},
        {"text, any case", u"filter=OLD PAGE"_s, 2, u"404"_s, QString()},
        {"text and verdict", u"filter=site.test/gone&verdict=broken"_s, 3, QString(), QString()},
        {"text matching nothing", u"filter=no such text"_s, 0, QString(), QString()},
        {"a verdict the select does not offer", u"verdict=ok"_s, 10, QString(), QString()},
        {"sort by status, descending", u"sort=problems:5&order=desc"_s, 10, u"500"_s, QString()},
        {"sort by status, ascending: empty last", u"sort=problems:5"_s, 10, u"200"_s, QString()},
        {"sort pages by depth, descending", u"sort=pages:1&order=desc"_s, 10, QString(), u"1"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray dumped = dumpDom(file, c.fragment, profile);
        ASSERT_FALSE(dumped.isEmpty());
        const Dom dom(dumped);
        // The script ran: it shows the controls and keeps the count.
        EXPECT_FALSE(hasAttribute(dom.byId("controls"), "hidden"));
        EXPECT_EQ(textOf(dom.byId("problems-shown")), QString::number(c.shown));
        EXPECT_EQ(textOf(dom.byId("count-broken")), u"4"_s);
        // Nothing of the page's text ran.
        const std::vector<const GumboNode *> bodies = dom.byTag(GUMBO_TAG_BODY);
        ASSERT_EQ(bodies.size(), std::size_t(1));
        EXPECT_FALSE(hasAttribute(bodies.front(), "data-pwned"));
        EXPECT_EQ(dom.byTag(GUMBO_TAG_SCRIPT).size(), std::size_t(1));

        const auto rows = visible(dom.bodyRows("problems"));
        ASSERT_EQ(int(rows.size()), c.shown);
        if (!c.firstStatus.isEmpty()) {
            EXPECT_EQ(cellsOf(rows.front()).value(5), c.firstStatus);
        }
        if (!c.firstPageDepth.isEmpty()) {
            EXPECT_EQ(cellsOf(dom.bodyRows("pages").front()).value(1), c.firstPageDepth);
        }
    }
}

// Not a check: writes the report of the small site to $QUORVEL_REPORT_SAMPLE for the README's
// screenshot (scripts/report-screenshot runs it).
TEST(HtmlReportWriter, DISABLED_WriteTheReadmeSample)
{
    const QString path = qEnvironmentVariable("QUORVEL_REPORT_SAMPLE");
    ASSERT_FALSE(path.isEmpty()) << "set QUORVEL_REPORT_SAMPLE to the file to write";
    writeAll(path, reportBytes(ReportFormat::Html, fixtureCrawl(false)));
}

} // namespace quorvel::test
