#include "core/report/JUnitReportWriter.h"

#include "CrawlFixture.h"

#include "support/Fixtures.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

struct JFailure
{
    QString type;
    QString message;
    QString body;
};

struct JCase
{
    QString name;
    QString classname;
    QList<JFailure> failures;
    bool skipped = false;
    QString systemOut;
};

struct JSuite
{
    QString name;
    QString tests;
    QString failures;
    QString skipped;
    QList<JCase> cases;
};

struct JReport
{
    QString name;
    QList<JSuite> suites;
    QString error; // the reader's, empty when the XML is well-formed
};

JReport readJUnit(const QByteArray &bytes)
{
    JReport report;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView element = xml.name();
        if (element == u"testsuites") {
            report.name = a.value(u"name"_s).toString();
        } else if (element == u"testsuite") {
            report.suites.append(JSuite{a.value(u"name"_s).toString(),
                                        a.value(u"tests"_s).toString(),
                                        a.value(u"failures"_s).toString(),
                                        a.value(u"skipped"_s).toString(),
                                        {}});
        } else if (element == u"testcase" && !report.suites.isEmpty()) {
            report.suites.last().cases.append(
                JCase{a.value(u"name"_s).toString(), a.value(u"classname"_s).toString(), {}, false, {}});
        } else if (element == u"failure" && !report.suites.isEmpty() && !report.suites.last().cases.isEmpty()) {
            const QString type = a.value(u"type"_s).toString();
            const QString message = a.value(u"message"_s).toString();
            report.suites.last().cases.last().failures.append(JFailure{type, message, xml.readElementText()});
        } else if (element == u"skipped" && !report.suites.isEmpty() && !report.suites.last().cases.isEmpty()) {
            report.suites.last().cases.last().skipped = true;
        } else if (element == u"system-out" && !report.suites.isEmpty() && !report.suites.last().cases.isEmpty()) {
            report.suites.last().cases.last().systemOut = xml.readElementText();
        }
    }
    if (xml.hasError()) {
        report.error = xml.errorString();
    }
    return report;
}

const JCase *caseNamed(const JSuite &suite, const QString &name)
{
    for (const JCase &c : suite.cases) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

} // namespace

// The common JUnit shape CI systems read, checked by a schema validator rather than by this test's
// own reading, so a report that only this test's reader would accept still fails.
TEST(JUnitReportWriter, ValidatesAgainstTheJUnitSchema)
{
    const QString xmllint = QStandardPaths::findExecutable(u"xmllint"_s);
    ASSERT_FALSE(xmllint.isEmpty()) << "xmllint is not installed (Debian: libxml2-utils; scripts/install-deps)";
    struct Case
    {
        const char *name;
        FixtureCrawl crawl;
    };
    FixtureCrawl empty;
    empty.header = fixtureCrawl().header;
    const std::vector<Case> cases = {
        {"small site", fixtureCrawl(false)},
        {"hostile text on a page", fixtureCrawl(true)},
        {"no pages at all", empty},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(u"report.xml"_s);
        writeAll(file, reportBytes(ReportFormat::JUnit, c.crawl));
        QProcess lint;
        lint.setProcessChannelMode(QProcess::MergedChannels);
        lint.start(xmllint, {u"--noout"_s, u"--schema"_s, dataPath(u"junit-10.xsd"_s), file});
        ASSERT_TRUE(lint.waitForFinished(-1));
        EXPECT_EQ(lint.exitCode(), 0) << lint.readAll().toStdString();
    }
}

TEST(JUnitReportWriter, WritesASuitePerPageACasePerLinkAndAFailurePerProblemRow)
{
    const FixtureCrawl crawl = fixtureCrawl(false);
    const JReport report = readJUnit(reportBytes(ReportFormat::JUnit, crawl));
    ASSERT_TRUE(report.error.isEmpty()) << report.error.toStdString();
    EXPECT_EQ(report.name, u"quorvel crawl"_s);

    struct SuiteCase
    {
        QString page;
        QString tests;
        QString failures;
        QString skipped;
    };
    const std::vector<SuiteCase> suites = {
        // 10 rows, 9 distinct links (the old page twice); 4 links fail; the mail link is skipped.
        {u"https://site.test/"_s, u"9"_s, u"4"_s, u"1"_s},
        {u"https://site.test/about"_s, u"2"_s, u"1"_s, u"0"_s},
        {u"https://site.test/news"_s, u"1"_s, u"0"_s, u"0"_s},
        {u"https://site.test/gone"_s, u"0"_s, u"0"_s, u"0"_s},
    };
    ASSERT_EQ(report.suites.size(), qsizetype(suites.size()));
    for (std::size_t i = 0; i < suites.size(); ++i) {
        SCOPED_TRACE(suites[i].page.toStdString());
        const JSuite &suite = report.suites[qsizetype(i)];
        EXPECT_EQ(suite.name, suites[i].page);
        EXPECT_EQ(suite.tests, suites[i].tests);
        EXPECT_EQ(suite.failures, suites[i].failures);
        EXPECT_EQ(suite.skipped, suites[i].skipped);
        EXPECT_EQ(suite.cases.size(), suite.tests.toInt());
        for (const JCase &c : suite.cases) {
            EXPECT_EQ(c.classname, suite.name);
        }
    }

    struct LinkCase
    {
        const char *name;
        QString link;
        QStringList failureTypes;
        bool skipped;
        bool warned;
    };
    const std::vector<LinkCase> links = {
        {"ok link passes", u"https://site.test/about"_s, {}, false, false},
        {"redirect passes", u"http://site.test/old-news"_s, {}, false, false},
        {"same broken link twice: two failures", u"https://site.test/gone"_s, {u"broken"_s, u"broken"_s}, false, false},
        {"timeout", u"https://slow.test/"_s, {u"timeout"_s}, false, false},
        {"unreachable", u"https://nowhere.test/"_s, {u"unreachable"_s}, false, false},
        {"fragment missing", u"https://site.test/about#team"_s, {u"fragment-missing"_s}, false, false},
        {"blocked is a warning, not a failure", u"https://walled.test/"_s, {}, false, true},
        {"rate-limited is a warning, not a failure", u"https://busy.test/"_s, {}, false, true},
        {"mail link is skipped", u"mailto:team@site.test"_s, {}, true, false},
    };
    const JSuite &home = report.suites.first();
    for (const LinkCase &l : links) {
        SCOPED_TRACE(l.name);
        const JCase *c = caseNamed(home, l.link);
        ASSERT_NE(c, nullptr);
        QStringList types;
        for (const JFailure &f : c->failures) {
            types.append(f.type);
        }
        EXPECT_EQ(types, l.failureTypes);
        EXPECT_EQ(c->skipped, l.skipped);
        EXPECT_EQ(!c->systemOut.isEmpty(), l.warned) << c->systemOut.toStdString();
    }

    const JCase *gone = caseNamed(home, u"https://site.test/gone"_s);
    ASSERT_NE(gone, nullptr);
    ASSERT_EQ(gone->failures.size(), 2);
    EXPECT_EQ(gone->failures[0].message, u"broken (404)"_s);
    EXPECT_EQ(gone->failures[0].body, u"line 12, column 3\nstatus: 404"_s);
    EXPECT_EQ(gone->failures[1].body, u"line 40, column 9\nstatus: 404"_s);
    const JCase *slow = caseNamed(home, u"https://slow.test/"_s);
    ASSERT_NE(slow, nullptr);
    EXPECT_EQ(slow->failures.first().message, u"timeout: No answer within 5000 ms"_s);
    EXPECT_EQ(slow->failures.first().body, u"line 13, column 1\nstatus: none\nerror: No answer within 5000 ms"_s);
    EXPECT_EQ(caseNamed(home, u"https://busy.test/"_s)->systemOut,
              u"warning: rate-limited (429) at line 17, column 1"_s);
}

// Whatever a page holds comes back from an XML reader exactly, only the characters XML cannot hold
// replaced; a text that escaped its attribute or element would change the structure instead.
TEST(JUnitReportWriter, HostileTextReadsBackAsText)
{
    const FixtureCrawl crawl = fixtureCrawl(true);
    const JReport report = readJUnit(reportBytes(ReportFormat::JUnit, crawl));
    ASSERT_TRUE(report.error.isEmpty()) << report.error.toStdString();
    ASSERT_EQ(report.suites.size(), 4);
    const JSuite &about = report.suites[1];
    EXPECT_EQ(about.tests, u"4"_s);
    const QString link = u"https://site.test/x?q="_s + hostileText();
    const JCase *c = caseNamed(about, markupClean(link));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->failures.size(), 1);
    EXPECT_EQ(c->failures[0].message, markupClean(u"broken (500): "_s + hostileText()));
    EXPECT_EQ(c->failures[0].body, markupClean(u"line 7, column 2\nstatus: 500\nfinal: https://site.test/final?"_s +
                                               hostileText() + u"\nerror: "_s + hostileText()));
    const JCase *longCase = caseNamed(about, u"https://site.test/long"_s);
    ASSERT_NE(longCase, nullptr);
    EXPECT_EQ(longCase->failures.first().body, u"line 8, column 100000\nstatus: none"_s);
}

} // namespace quorvel::test
