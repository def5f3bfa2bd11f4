#include "cli/CliArguments.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(CliArguments, BadUsageIsRefusedWithItsReason)
{
    struct Case
    {
        const char *name;
        QStringList args;
        QString error;
    };

    const std::vector<Case> cases = {
        {"nothing", {}, u"no command given"_s},
        {"unknown command", {u"sweep"_s, u"x"_s}, u"unknown command \"sweep\""_s},
        {"no address", {u"check"_s, u"--head"_s}, u"no address given"_s},
        {"two addresses", {u"collect"_s, u"a"_s, u"b"_s}, u"more than one address given"_s},
        {"unknown option", {u"collect"_s, u"x"_s, u"--fast"_s}, u"unknown option \"--fast\" for collect"_s},
        {"single-dash unknown option", {u"collect"_s, u"x"_s, u"-q"_s}, u"unknown option \"-q\" for collect"_s},
        {"check option on collect",
         {u"collect"_s, u"x"_s, u"--parallel"_s, u"2"_s},
         u"unknown option \"--parallel\" for collect"_s},
        {"collect option on analyze",
         {u"analyze"_s, u"x"_s, u"--mode"_s, u"none"_s},
         u"unknown option \"--mode\" for analyze"_s},
        {"analyze option on check",
         {u"check"_s, u"x"_s, u"--contents-host"_s, u"h"_s},
         u"unknown option \"--contents-host\" for check"_s},
        {"help after the command", {u"collect"_s, u"x"_s, u"--help"_s}, u"unknown option \"--help\" for collect"_s},
        {"value missing", {u"collect"_s, u"x"_s, u"--agent"_s}, u"--agent needs a value"_s},
        {"value on a switch", {u"check"_s, u"x"_s, u"--head=1"_s}, u"--head takes no value"_s},
        {"bad format", {u"collect"_s, u"x"_s, u"--format"_s, u"xml"_s}, u"unknown format \"xml\""_s},
        {"csv for analyze", {u"analyze"_s, u"x"_s, u"--format"_s, u"csv"_s}, u"unknown format \"csv\""_s},
        {"bad mode",
         {u"collect"_s, u"x"_s, u"--mode"_s, u"host"_s},
         u"unknown mode \"host\" (domain, subdomain or none)"_s},
        {"parallel 0", {u"check"_s, u"x"_s, u"--parallel"_s, u"0"_s}, u"--parallel takes a number from 1 to 1024"_s},
        {"parallel 1025",
         {u"check"_s, u"x"_s, u"--parallel"_s, u"1025"_s},
         u"--parallel takes a number from 1 to 1024"_s},
        {"parallel text",
         {u"check"_s, u"x"_s, u"--parallel"_s, u"many"_s},
         u"--parallel takes a number from 1 to 1024"_s},
        {"per-host 0", {u"check"_s, u"x"_s, u"--per-host"_s, u"0"_s}, u"--per-host takes a number from 1 to 1024"_s},
        {"negative redirects",
         {u"check"_s, u"x"_s, u"--max-redirects"_s, u"-1"_s},
         u"--max-redirects takes a number from 0 to 100"_s},
        {"retries as words",
         {u"check"_s, u"x"_s, u"--retries"_s, u"two"_s},
         u"--retries takes a number from 0 to 10"_s},
        {"a wait of days",
         {u"check"_s, u"x"_s, u"--retry-wait-max"_s, u"86400"_s},
         u"--retry-wait-max takes a number from 0 to 3600"_s},
        {"strict on collect", {u"collect"_s, u"x"_s, u"--strict"_s}, u"unknown option \"--strict\" for collect"_s},
        {"timeout with a unit",
         {u"check"_s, u"x"_s, u"--connect-timeout"_s, u"5s"_s},
         u"--connect-timeout takes a whole number of milliseconds"_s},
        {"timeout too long",
         {u"check"_s, u"x"_s, u"--response-timeout"_s, u"1234567890"_s},
         u"--response-timeout takes a whole number of milliseconds"_s},
        {"separator of two", {u"collect"_s, u"x"_s, u"--separator"_s, u"ab"_s}, u"--separator takes one character"_s},
        {"separator empty", {u"collect"_s, u"x"_s, u"--separator"_s, u""_s}, u"--separator takes one character"_s},
        {"separator quote",
         {u"collect"_s, u"x"_s, u"--separator"_s, u"\""_s},
         u"--separator cannot be a double quote or a line break"_s},
        {"separator LF",
         {u"collect"_s, u"x"_s, u"--separator"_s, u"\n"_s},
         u"--separator cannot be a double quote or a line break"_s},
        {"empty output", {u"collect"_s, u"x"_s, u"--output"_s, u""_s}, u"--output needs a file name"_s},
        {"empty ignore file", {u"collect"_s, u"x"_s, u"--ignore-urls"_s, u""_s}, u"--ignore-urls needs a file name"_s},
        // The first bad value given is the one reported.
        {"first bad value",
         {u"collect"_s, u"x"_s, u"--mode"_s, u"host"_s, u"--format"_s, u"xml"_s},
         u"unknown mode \"host\" (domain, subdomain or none)"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(parseCliArguments(c.args, &error).has_value());
        EXPECT_EQ(error, c.error);
    }
}

TEST(CliArguments, ValuesReachTheirFields)
{
    struct Case
    {
        const char *name;
        QStringList args;
        std::function<void(CliArguments &)> expect; // turns the defaults into the expected arguments
    };

    const std::vector<Case> cases = {
        {"defaults",
         {u"collect"_s, u"page.html"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Collect;
         }},
        {"help word",
         {u"help"_s, u"anything"_s},
         [](CliArguments &a) {
             a.address.clear();
         }},
        {"short help",
         {u"-h"_s},
         [](CliArguments &a) {
             a.address.clear();
         }},
        {"version",
         {u"--version"_s, u"--fast"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Version;
             a.address.clear();
         }},
        {"check options",
         {u"check"_s, u"--head"_s, u"http://h.com/"_s, u"--parallel"_s, u"1024"_s, u"--connect-timeout"_s, u"0"_s,
          u"--response-timeout"_s, u"999999999"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Check;
             a.address = u"http://h.com/"_s;
             a.head = true;
             a.parallel = 1024;
             a.connectTimeout = u"0"_s;
             a.responseTimeout = u"999999999"_s;
         }},
        {"verdict options",
         {u"check"_s, u"page.html"_s, u"--per-host"_s, u"64"_s, u"--max-redirects"_s, u"0"_s, u"--retries"_s, u"0"_s,
          u"--retry-wait-max"_s, u"5"_s, u"--strict"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Check;
             a.perHost = 64;
             a.maxRedirects = 0;
             a.retries = 0;
             a.retryWaitMaxSeconds = 5;
             a.strict = true;
         }},
        {"collect options, the last repeat counts",
         {u"collect"_s,
          u"page.html"_s,
          u"--mode"_s,
          u"none"_s,
          u"--mode"_s,
          u"subdomain"_s,
          u"--keep-anchors"_s,
          u"--remove-anchors"_s,
          u"--keep-anchors"_s,
          u"--ignore-ext"_s,
          u""_s,
          u"--ignore-urls"_s,
          u"list.txt"_s,
          u"--agent"_s,
          u"--head"_s,
          u"--page-url"_s,
          u"http://h.com/"_s,
          u"--format"_s,
          u"csv"_s,
          u"--format"_s,
          u"txt"_s,
          u"--separator"_s,
          u";"_s,
          u"--output"_s,
          u"out.csv"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Collect;
             a.mode = UrlBaseMode::Subdomain;
             a.removeAnchors = false;
             a.ignoreExtensions.clear();
             a.ignoreUrlsFile = u"list.txt"_s;
             a.agent = u"--head"_s; // an option's value is taken as it is
             a.pageUrl = u"http://h.com/"_s;
             a.format = CliFormat::Txt;
             a.separator = u';';
             a.outputFile = u"out.csv"_s;
         }},
        {"analyze options",
         {u"analyze"_s, u"page.html"_s, u"--contents-host"_s, u"127.0.0.1:9"_s, u"--format"_s, u"json"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Analyze;
             a.contentsHost = u"127.0.0.1:9"_s;
         }},
        {"a value after an equals sign",
         {u"collect"_s, u"page.html"_s, u"--format=csv"_s, u"--mode=none"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Collect;
             a.format = CliFormat::Csv;
             a.mode = UrlBaseMode::None;
         }},
        {"an address that starts with a dash, after --",
         {u"collect"_s, u"--keep-anchors"_s, u"--"_s, u"-page.html"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Collect;
             a.address = u"-page.html"_s;
             a.removeAnchors = false;
         }},
        {"a lone dash is an address",
         {u"collect"_s, u"-"_s},
         [](CliArguments &a) {
             a.command = CliCommand::Collect;
             a.address = u"-"_s;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const std::optional<CliArguments> parsed = parseCliArguments(c.args, &error);
        ASSERT_TRUE(parsed.has_value()) << error.toStdString();
        CliArguments expected;
        expected.address = u"page.html"_s;
        c.expect(expected);
        EXPECT_EQ(parsed->command, expected.command);
        EXPECT_EQ(parsed->address, expected.address);
        EXPECT_EQ(parsed->mode, expected.mode);
        EXPECT_EQ(parsed->removeAnchors, expected.removeAnchors);
        EXPECT_EQ(parsed->ignoreExtensions, expected.ignoreExtensions);
        EXPECT_EQ(parsed->ignoreUrlsFile, expected.ignoreUrlsFile);
        EXPECT_EQ(parsed->agent, expected.agent);
        EXPECT_EQ(parsed->pageUrl, expected.pageUrl);
        EXPECT_EQ(parsed->head, expected.head);
        EXPECT_EQ(parsed->connectTimeout, expected.connectTimeout);
        EXPECT_EQ(parsed->responseTimeout, expected.responseTimeout);
        EXPECT_EQ(parsed->parallel, expected.parallel);
        EXPECT_EQ(parsed->perHost, expected.perHost);
        EXPECT_EQ(parsed->maxRedirects, expected.maxRedirects);
        EXPECT_EQ(parsed->retries, expected.retries);
        EXPECT_EQ(parsed->retryWaitMaxSeconds, expected.retryWaitMaxSeconds);
        EXPECT_EQ(parsed->strict, expected.strict);
        EXPECT_EQ(parsed->format, expected.format);
        EXPECT_EQ(parsed->separator, expected.separator);
        EXPECT_EQ(parsed->outputFile, expected.outputFile);
        EXPECT_EQ(parsed->contentsHost, expected.contentsHost);
    }
}

TEST(CliArguments, UsageListsEveryOptionOfTheTable)
{
    const QString usage = cliUsage();
    EXPECT_TRUE(usage.startsWith(u"usage: quorvel-cli collect ADDRESS [options]\n"_s)) << usage.toStdString();
    for (const CliOption &entry : cliOptionTable()) {
        const QString name = u"--"_s + entry.option.names().constFirst();
        SCOPED_TRACE(name.toStdString());
        const QString synopsis = entry.option.valueName().isEmpty() ? name : name + u' ' + entry.option.valueName();
        const qsizetype at = usage.indexOf(u"\n  "_s + synopsis + u' ');
        ASSERT_GE(at, 0) << usage.toStdString();
        // The option's line holds its meaning.
        const QString line = usage.mid(at + 1).section(u'\n', 0, 0);
        EXPECT_TRUE(line.endsWith(u' ' + entry.option.description())) << line.toStdString();
        EXPECT_FALSE(entry.option.description().isEmpty());
        // And every option the table accepts for a command is one the parser takes for it.
        for (const auto &[command, scope] : {std::pair{u"collect"_s, kCollectScope}, std::pair{u"check"_s, kCheckScope},
                                             std::pair{u"analyze"_s, kAnalyzeScope}}) {
            QString error;
            const bool takesValue = !entry.option.valueName().isEmpty();
            QStringList args = {command, u"x"_s, name};
            if (takesValue) {
                args.append(name == u"--format" ? u"json"_s : name == u"--mode" ? u"none"_s : u"1"_s);
            }
            const bool ok = parseCliArguments(args, &error).has_value();
            EXPECT_EQ(ok, (entry.scope & scope) != 0) << command.toStdString() << ": " << error.toStdString();
        }
    }
    EXPECT_TRUE(usage.contains(u"1 to 1024 (default 16)"_s));
}

} // namespace quorvel::test
