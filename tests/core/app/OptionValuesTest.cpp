#include "core/app/OptionValues.h"

#include "core/app/OptionWriter.h"
#include "core/app/SettingsStore.h"
#include "support/Fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

// Readable option values in failure messages.
void PrintTo(const OptionValues &o, std::ostream *os)
{
    *os << "{startUrl=" << o.startUrl.toStdString() << " showOptions=" << o.showOptions
        << " urlBase=" << static_cast<int>(o.urlBase) << " removeAnchors=" << o.removeAnchors
        << " useHead=" << o.useHead << " connectionTimeout=" << o.connectionTimeout.toStdString()
        << " responseTimeout=" << o.responseTimeout.toStdString() << " agent=" << o.agent.toStdString()
        << " ignoreExtensions=" << o.ignoreExtensions.toStdString() << " ignoreUrls=" << o.ignoreUrls.toStdString()
        << " parallelChecks=" << o.parallelChecks << " perHost=" << o.perHost << "}";
}

} // namespace quorvel

namespace quorvel::test {

namespace {

class OptionValuesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString iniPath() const { return m_dir.filePath(u"settings.ini"_s); }

    SettingsStore store() const { return SettingsStore::inFolder(m_dir.path()); }

    QTemporaryDir m_dir;
};

} // namespace

TEST(OptionDefaults, FirstStartValues)
{
    const OptionValues o;
    EXPECT_EQ(o.startUrl, u"http://"_s + QStringLiteral(QUORVEL_MAKER_HOST));
    EXPECT_FALSE(o.showOptions);
    EXPECT_EQ(o.urlBase, UrlBaseMode::Domain);
    EXPECT_TRUE(o.removeAnchors);
    EXPECT_FALSE(o.useHead);
    EXPECT_EQ(o.connectionTimeout, u"5000"_s);
    EXPECT_EQ(o.responseTimeout, u"5000"_s);
    EXPECT_EQ(o.agent, u"Embarcadero URI Client/1.0"_s);
    EXPECT_EQ(o.ignoreExtensions,
              u"ico jpg jpeg png gif bmp svg css js exe zip rar 7z apk pdf doc docx xls xlsx ppt pptx"_s);
    EXPECT_EQ(o.ignoreUrls, u"http://www.example.com/\nhttps://www.example.com/"_s);
    EXPECT_EQ(o.parallelChecks, 16);

    const QStringList agents = agentList();
    ASSERT_EQ(agents.size(), 6);
    EXPECT_EQ(agents.first(), defaultAgent());
    EXPECT_TRUE(agents[3].startsWith(u"Mozilla/5.0 (compatible; Googlebot/2.1; +http"_s));
    EXPECT_TRUE(agents[4].startsWith(u"Mozilla/5.0 (compatible; bingbot/2.0; +http"_s));
    EXPECT_TRUE(agents[5].startsWith(u"Mozilla/5.0 (compatible; Yahoo! Slurp; http"_s));
    for (const QString &agent : agents.mid(3)) {
        EXPECT_TRUE(agent.endsWith(u')')) << agent.toStdString();
    }
}

TEST_F(OptionValuesTest, FirstStartShowsTheDefaultsAndWritesNothing)
{
    EXPECT_EQ(loadOptions(store()), OptionValues());
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
}

TEST_F(OptionValuesTest, EveryOptionRoundTripsThroughItsWriter)
{
    const OptionWriter writer(store());
    OptionValues expected;
    expected.startUrl = u"https://b.example/x y?q=1"_s;
    expected.showOptions = true;
    expected.urlBase = UrlBaseMode::Subdomain;
    expected.removeAnchors = false;
    expected.useHead = true;
    expected.connectionTimeout = u"1234"_s;
    expected.responseTimeout = u"98765"_s;
    expected.agent = u"my agent"_s;
    expected.ignoreExtensions = u"pdf zip"_s;
    expected.ignoreUrls = u"http://a.com/\n\nhttp://b.com/path\\with\\backslash"_s;
    expected.parallelChecks = 64;
    expected.perHost = 2;

    QString error;
    ASSERT_TRUE(writer.writeStartUrl(expected.startUrl, &error)) << error.toStdString();
    ASSERT_TRUE(writer.writeShowOptions(true, &error));
    ASSERT_TRUE(writer.writeUrlBase(false, &error));
    ASSERT_TRUE(writer.writeRemoveAnchors(false, &error));
    ASSERT_TRUE(writer.writeUseHead(true, &error));
    ASSERT_TRUE(writer.writeConnectionTimeout(expected.connectionTimeout, &error));
    ASSERT_TRUE(writer.writeResponseTimeout(expected.responseTimeout, &error));
    ASSERT_TRUE(writer.writeAgent(expected.agent, &error));
    ASSERT_TRUE(writer.writeIgnoreExtensions(expected.ignoreExtensions, &error));
    ASSERT_TRUE(writer.writeIgnoreUrls(expected.ignoreUrls, &error));
    ASSERT_TRUE(writer.writeParallelChecks(64, &error));
    ASSERT_TRUE(writer.writePerHost(2, &error));
    EXPECT_EQ(loadOptions(store()), expected);

    // The keys and the stored texts, in the order they were written.
    EXPECT_EQ(readAll(iniPath()),
              QByteArray("[Settings]\n"
                         "StartURL=https://b.example/x y?q=1\n"
                         "ShowOptions=1\n"
                         "DomainOnly=0\n"
                         "SubDomainOnly=1\n"
                         "RemoveAnchors=0\n"
                         "UseHEAD=1\n"
                         "ConnectionTimeout=1234\n"
                         "ResponseTimeout=98765\n"
                         "Agent=my agent\n"
                         "IgnoreExtensions=pdf zip\n"
                         "IgnoreURLs=@Lines:http://a.com/\\n\\nhttp://b.com/path\\\\with\\\\backslash\n"
                         "ParallelChecks=64\n"
                         "PerHost=2\n"));

    // And back: the other radio button, the check boxes off and on again.
    ASSERT_TRUE(writer.writeUrlBase(true, &error));
    ASSERT_TRUE(writer.writeShowOptions(false, &error));
    ASSERT_TRUE(writer.writeRemoveAnchors(true, &error));
    ASSERT_TRUE(writer.writeUseHead(false, &error));
    const OptionValues again = loadOptions(store());
    EXPECT_EQ(again.urlBase, UrlBaseMode::Domain);
    EXPECT_FALSE(again.showOptions);
    EXPECT_TRUE(again.removeAnchors);
    EXPECT_FALSE(again.useHead);
    EXPECT_EQ(store().read(u"DomainOnly"_s), u"1"_s);
    EXPECT_EQ(store().read(u"SubDomainOnly"_s), u"0"_s);
}

TEST_F(OptionValuesTest, ReadBackRules)
{
    struct Case
    {
        const char *name;
        QByteArray settings;                        // the lines of the "Settings" section
        std::function<void(OptionValues &)> change; // what differs from the defaults
    };

    const std::vector<Case> cases = {
        {"both radio keys missing: Domain", "",
         [](OptionValues &) {
         }},
        {"both radio keys 0: Domain", "DomainOnly=0\nSubDomainOnly=0\n",
         [](OptionValues &) {
         }},
        {"DomainOnly 1: Domain", "DomainOnly=1\nSubDomainOnly=0\n",
         [](OptionValues &) {
         }},
        {"SubDomainOnly 1: Subdomain", "DomainOnly=0\nSubDomainOnly=1\n",
         [](OptionValues &o) {
             o.urlBase = UrlBaseMode::Subdomain;
         }},
        {"SubDomainOnly 1 wins over DomainOnly 1", "DomainOnly=1\nSubDomainOnly=1\n",
         [](OptionValues &o) {
             o.urlBase = UrlBaseMode::Subdomain;
         }},
        {"SubDomainOnly alone", "SubDomainOnly=1\n",
         [](OptionValues &o) {
             o.urlBase = UrlBaseMode::Subdomain;
         }},
        {"SubDomainOnly yes is not 1", "SubDomainOnly=yes\n",
         [](OptionValues &) {
         }},
        {"RemoveAnchors yes stays checked", "RemoveAnchors=yes\n",
         [](OptionValues &) {
         }},
        {"RemoveAnchors empty stays checked", "RemoveAnchors=\n",
         [](OptionValues &) {
         }},
        {"RemoveAnchors 0 unchecks", "RemoveAnchors=0\n",
         [](OptionValues &o) {
             o.removeAnchors = false;
         }},
        {"ShowOptions true is not 1", "ShowOptions=true\n",
         [](OptionValues &) {
         }},
        {"ShowOptions 1", "ShowOptions=1\n",
         [](OptionValues &o) {
             o.showOptions = true;
         }},
        {"UseHEAD 2 is not 1", "UseHEAD=2\n",
         [](OptionValues &) {
         }},
        {"UseHEAD 1", "UseHEAD=1\n",
         [](OptionValues &o) {
             o.useHead = true;
         }},
        {"empty Agent gives the first list entry", "Agent=\n",
         [](OptionValues &) {
         }},
        {"empty timeouts give 5000", "ConnectionTimeout=\nResponseTimeout=\n",
         [](OptionValues &) {
         }},
        {"timeout text is not checked", "ConnectionTimeout=abc\nResponseTimeout=-1\n",
         [](OptionValues &o) {
             o.connectionTimeout = u"abc"_s;
             o.responseTimeout = u"-1"_s;
         }},
        {"empty StartURL keeps the maker's page", "StartURL=\n",
         [](OptionValues &) {
         }},
        {"empty IgnoreURLs gives the placeholder lines", "IgnoreURLs=\n",
         [](OptionValues &) {
         }},
        {"hand-written single-line IgnoreURLs", "IgnoreURLs=http://x.com/a\\nb\n",
         [](OptionValues &o) {
             o.ignoreUrls = u"http://x.com/a\\nb"_s;
         }},
        {"empty IgnoreExtensions gives the default list", "IgnoreExtensions=\n",
         [](OptionValues &) {
         }},
        {"ParallelChecks 1", "ParallelChecks=1\n",
         [](OptionValues &o) {
             o.parallelChecks = 1;
         }},
        {"ParallelChecks 0 is invalid", "ParallelChecks=0\n",
         [](OptionValues &) {
         }},
        {"ParallelChecks 65 is invalid", "ParallelChecks=65\n",
         [](OptionValues &) {
         }},
        {"ParallelChecks text is invalid", "ParallelChecks=many\n",
         [](OptionValues &) {
         }},
        {"PerHost 64", "PerHost=64\n",
         [](OptionValues &o) {
             o.perHost = 64;
         }},
        {"PerHost 0 is invalid", "PerHost=0\n",
         [](OptionValues &) {
         }},
        {"PerHost text is invalid", "PerHost=all\n",
         [](OptionValues &) {
         }},
        {"keys in other letter case", "startURL=http://c.com/\nSHOWOPTIONS=1\nsubdomainonly=1\n",
         [](OptionValues &o) {
             o.startUrl = u"http://c.com/"_s;
             o.showOptions = true;
             o.urlBase = UrlBaseMode::Subdomain;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(iniPath(), "[Settings]\n" + c.settings);
        OptionValues expected;
        c.change(expected);
        EXPECT_EQ(loadOptions(store()), expected);
    }
}

TEST(OptionValues, ParallelChecksText)
{
    struct Case
    {
        const char *text;
        int count;
    };

    const std::vector<Case> cases = {
        {"1", 1}, {"16", 16}, {"64", 64}, {"08", 8},  {"0", 16},  {"65", 16}, {"100", 16},
        {"", 16}, {"-1", 16}, {"+8", 16}, {" 8", 16}, {"8 ", 16}, {"x", 16},  {"\u0663", 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parallelChecksFromText(QString::fromUtf8(c.text)), c.count);
        // The same reading, with its own default.
        EXPECT_EQ(perHostFromText(QString::fromUtf8(c.text)),
                  c.count == 16 && QByteArray(c.text) != "16" ? 4 : c.count);
    }
}

TEST_F(OptionValuesTest, RefusedWritesReportTheFullPath)
{
    writeAll(m_dir.filePath(u"file"_s), "x");
    const QString folder = m_dir.filePath(u"file"_s);
    const OptionWriter writer(SettingsStore::inFolder(folder));
    const QString expected = u"Unable to write to "_s + folder + u"/settings.ini"_s;

    QString error;
    EXPECT_FALSE(writer.writeStartUrl(u"x"_s, &error));
    EXPECT_EQ(error, expected);
    error.clear();
    EXPECT_FALSE(writer.writeUrlBase(true, &error));
    EXPECT_EQ(error, expected);
    error.clear();
    EXPECT_FALSE(writer.writeIgnoreUrls(u"a\nb"_s, &error));
    EXPECT_EQ(error, expected);
    // Loading from there still gives the defaults.
    EXPECT_EQ(loadOptions(writer.store()), OptionValues());
}

TEST_F(OptionValuesTest, ResetRemovesBothFilesAndIgnoresMissingOnes)
{
    writeAll(iniPath(), "[Settings]\nShowOptions=1\n");
    writeAll(m_dir.filePath(u"history.txt"_s), "http://a.com/\r\n");
    writeAll(m_dir.filePath(u"other.txt"_s), "keep");
    removeStoredOptions(m_dir.path());
    EXPECT_FALSE(QFileInfo::exists(iniPath()));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(u"history.txt"_s)));
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(u"other.txt"_s)));
    EXPECT_EQ(loadOptions(store()), OptionValues());
    removeStoredOptions(m_dir.path()); // nothing left to remove: no failure
    removeStoredOptions(m_dir.filePath(u"missing"_s));
}

} // namespace quorvel::test
