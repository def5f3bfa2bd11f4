#include "core/report/SarifReportWriter.h"

#include "CrawlFixture.h"

#include "core/app/VersionInfo.h"
#include "support/Fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

QJsonObject readSarif(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << error.errorString().toStdString() << " at " << error.offset << ": "
        << bytes.mid(std::max(0, error.offset - 80), 160).toStdString();
    return doc.object();
}

} // namespace

TEST(SarifReportWriter, WritesOneRunWithTheToolItsRulesAndTheCounts)
{
    const QJsonObject sarif = readSarif(reportBytes(ReportFormat::Sarif, fixtureCrawl(false)));
    EXPECT_EQ(sarif.value(u"$schema"_s).toString(), u"https://json.schemastore.org/sarif-2.1.0.json"_s);
    EXPECT_EQ(sarif.value(u"version"_s).toString(), u"2.1.0"_s);
    const QJsonArray runs = sarif.value(u"runs"_s).toArray();
    ASSERT_EQ(runs.size(), 1);
    const QJsonObject run = runs.at(0).toObject();
    const QJsonObject driver = run.value(u"tool"_s).toObject().value(u"driver"_s).toObject();
    EXPECT_EQ(driver.value(u"name"_s).toString(), u"quorvel"_s);
    EXPECT_EQ(driver.value(u"version"_s).toString(), projectAppVersion());

    struct RuleCase
    {
        QString id;
        QString level;
    };
    const std::vector<RuleCase> rules = {
        {u"broken-link"_s, u"error"_s},      {u"link-timeout"_s, u"error"_s},   {u"link-unreachable"_s, u"error"_s},
        {u"fragment-missing"_s, u"error"_s}, {u"link-blocked"_s, u"warning"_s}, {u"link-rate-limited"_s, u"warning"_s},
    };
    const QJsonArray ruleArray = driver.value(u"rules"_s).toArray();
    ASSERT_EQ(ruleArray.size(), qsizetype(rules.size()));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        SCOPED_TRACE(rules[i].id.toStdString());
        const QJsonObject rule = ruleArray.at(qsizetype(i)).toObject();
        EXPECT_EQ(rule.value(u"id"_s).toString(), rules[i].id);
        EXPECT_FALSE(rule.value(u"shortDescription"_s).toObject().value(u"text"_s).toString().isEmpty());
        EXPECT_EQ(rule.value(u"defaultConfiguration"_s).toObject().value(u"level"_s).toString(), rules[i].level);
        EXPECT_FALSE(rule.contains(u"helpUri"_s));
    }

    const QJsonObject invocation = run.value(u"invocations"_s).toArray().at(0).toObject();
    EXPECT_TRUE(invocation.value(u"executionSuccessful"_s).toBool());
    EXPECT_EQ(invocation.value(u"startTimeUtc"_s).toString(), u"2026-12-11T06:00:00Z"_s);
    EXPECT_EQ(invocation.value(u"endTimeUtc"_s).toString(), u"2026-12-11T06:01:30Z"_s);
    const QJsonObject properties = run.value(u"properties"_s).toObject();
    EXPECT_EQ(properties.value(u"pages"_s).toInt(), 4);
    EXPECT_EQ(properties.value(u"verdicts"_s).toObject().value(u"broken"_s).toInt(), 3);
}

TEST(SarifReportWriter, WritesAResultPerProblemRowWithThePageAndItsRegion)
{
    const FixtureCrawl crawl = fixtureCrawl(false);
    const QJsonObject run =
        readSarif(reportBytes(ReportFormat::Sarif, crawl)).value(u"runs"_s).toArray().at(0).toObject();
    const QJsonArray results = run.value(u"results"_s).toArray();
    ASSERT_EQ(results.size(), findingCount(crawl));

    struct ResultCase
    {
        const char *name;
        QString ruleId;
        QString level;
        QString page;
        int line;   // 0: no region
        int column; // 0: no startColumn
        QString link;
    };
    const std::vector<ResultCase> expected = {
        {"broken", u"broken-link"_s, u"error"_s, u"https://site.test/"_s, 12, 3, u"https://site.test/gone"_s},
        {"broken again", u"broken-link"_s, u"error"_s, u"https://site.test/"_s, 40, 9, u"https://site.test/gone"_s},
        {"timeout", u"link-timeout"_s, u"error"_s, u"https://site.test/"_s, 13, 1, u"https://slow.test/"_s},
        {"unreachable", u"link-unreachable"_s, u"error"_s, u"https://site.test/"_s, 14, 1, u"https://nowhere.test/"_s},
        {"fragment", u"fragment-missing"_s, u"error"_s, u"https://site.test/"_s, 15, 7,
         u"https://site.test/about#team"_s},
        {"blocked", u"link-blocked"_s, u"warning"_s, u"https://site.test/"_s, 16, 1, u"https://walled.test/"_s},
        {"rate-limited", u"link-rate-limited"_s, u"warning"_s, u"https://site.test/"_s, 17, 1, u"https://busy.test/"_s},
        {"on the second page", u"broken-link"_s, u"error"_s, u"https://site.test/about"_s, 9, 1,
         u"https://site.test/gone"_s},
    };
    const QJsonArray rules = run.value(u"tool"_s).toObject().value(u"driver"_s).toObject().value(u"rules"_s).toArray();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ResultCase &e = expected[i];
        SCOPED_TRACE(e.name);
        const QJsonObject result = results.at(qsizetype(i)).toObject();
        EXPECT_EQ(result.value(u"ruleId"_s).toString(), e.ruleId);
        const int ruleIndex = result.value(u"ruleIndex"_s).toInt(-1);
        EXPECT_EQ(rules.at(ruleIndex).toObject().value(u"id"_s).toString(), e.ruleId);
        EXPECT_EQ(result.value(u"level"_s).toString(), e.level);
        EXPECT_TRUE(result.value(u"message"_s).toObject().value(u"text"_s).toString().contains(e.link));
        const QJsonArray locations = result.value(u"locations"_s).toArray();
        ASSERT_EQ(locations.size(), 1);
        const QJsonObject physical = locations.at(0).toObject().value(u"physicalLocation"_s).toObject();
        EXPECT_EQ(physical.value(u"artifactLocation"_s).toObject().value(u"uri"_s).toString(), e.page);
        const QJsonObject region = physical.value(u"region"_s).toObject();
        EXPECT_EQ(region.value(u"startLine"_s).toInt(), e.line);
        EXPECT_EQ(region.value(u"startColumn"_s).toInt(), e.column);
        EXPECT_EQ(result.value(u"properties"_s).toObject().value(u"link"_s).toString(), e.link);
    }
}

TEST(SarifReportWriter, OmitsTheRegionWhenThePositionIsNotKnown)
{
    struct Case
    {
        const char *name;
        int line;
        int column;
        bool region;
        bool startColumn;
    };
    const std::vector<Case> cases = {
        {"line and column", 3, 4, true, true},
        {"line alone", 3, 0, true, false},
        {"nothing known", 0, 0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FixtureCrawl crawl;
        CrawlRow row;
        row.page = u"https://a.test/"_s;
        row.row.link = u"https://a.test/x"_s;
        row.row.verdict = Verdict::Broken;
        row.line = c.line;
        row.column = c.column;
        crawl.pages.append({CrawlPage{row.page, 0, 200, Verdict::Ok, QString(), 1, 0}, {row}});
        const QJsonObject result = readSarif(reportBytes(ReportFormat::Sarif, crawl))
                                       .value(u"runs"_s)
                                       .toArray()
                                       .at(0)
                                       .toObject()
                                       .value(u"results"_s)
                                       .toArray()
                                       .at(0)
                                       .toObject();
        const QJsonObject physical =
            result.value(u"locations"_s).toArray().at(0).toObject().value(u"physicalLocation"_s).toObject();
        EXPECT_EQ(physical.contains(u"region"_s), c.region);
        EXPECT_EQ(physical.value(u"region"_s).toObject().contains(u"startColumn"_s), c.startColumn);
    }
}

// The JSON stays valid and every text reads back exactly, lone surrogates included.
TEST(SarifReportWriter, HostileTextReadsBackExactly)
{
    const FixtureCrawl crawl = fixtureCrawl(true);
    const QJsonArray results = readSarif(reportBytes(ReportFormat::Sarif, crawl))
                                   .value(u"runs"_s)
                                   .toArray()
                                   .at(0)
                                   .toObject()
                                   .value(u"results"_s)
                                   .toArray();
    ASSERT_EQ(results.size(), findingCount(crawl));
    bool found = false;
    for (const QJsonValue &value : results) {
        const QJsonObject properties = value.toObject().value(u"properties"_s).toObject();
        if (properties.value(u"anchor"_s).toString() != hostileText()) {
            continue;
        }
        found = true;
        EXPECT_EQ(properties.value(u"link"_s).toString(), u"https://site.test/x?q="_s + hostileText());
        EXPECT_EQ(properties.value(u"error"_s).toString(), hostileText());
        EXPECT_EQ(properties.value(u"final"_s).toString(), u"https://site.test/final?"_s + hostileText());
    }
    EXPECT_TRUE(found);
}

} // namespace quorvel::test
