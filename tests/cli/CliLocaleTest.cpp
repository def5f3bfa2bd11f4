// The command-line program speaks the same English and writes the same bytes whatever the locale:
// only the CSV list separator follows it, when none is given.

#include "support/Fixtures.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

struct LocaleRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

LocaleRun runCliIn(const QString &lang, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"LC_ALL"_s, u"LC_MESSAGES"_s, u"LC_NUMERIC"_s, u"LANGUAGE"_s}) {
        env.remove(name);
    }
    env.insert(u"LANG"_s, lang);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUORVEL_CLI_PATH), args);
    process.waitForFinished(60'000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

const QString kGerman = u"de_DE.UTF-8"_s;
const QString kC = u"C"_s;

} // namespace

TEST(CliLocale, OutputIsTheSameInGermanAndInC)
{
    const QString page = u"file://"_s + dataPath(u"edge-cases.html"_s);
    const QStringList collect = {u"collect"_s, page, u"--page-url"_s, u"http://www.example.com/a/b/c.html"_s};
    struct Case
    {
        const char *name;
        QStringList args;
    };
    const std::vector<Case> cases = {
        {"collect as JSON", collect + QStringList{u"--format"_s, u"json"_s}},
        {"collect as CSV with a separator", collect + QStringList{u"--format"_s, u"csv"_s, u"--separator"_s, u","_s}},
        {"collect as text", collect + QStringList{u"--format"_s, u"txt"_s}},
        {"analyze", {u"analyze"_s, page}},
        {"help", {u"--help"_s}},
        {"a usage error", {u"collect"_s, page, u"--format"_s, u"xml"_s}},
        {"a missing file", {u"collect"_s, u"file:///nonexistent/quorvel-locale-test.html"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const LocaleRun german = runCliIn(kGerman, c.args);
        const LocaleRun plain = runCliIn(kC, c.args);
        EXPECT_EQ(german.exitCode, plain.exitCode);
        EXPECT_FALSE(plain.out.isEmpty() && plain.err.isEmpty());
        EXPECT_EQ(german.out, plain.out);
        EXPECT_EQ(german.err, plain.err);
    }
}

// Without --separator the CSV takes the locale's list separator: ';' where the decimal separator is
// ',' (German), else ','. Nothing else in the file changes.
TEST(CliLocale, CsvSeparatorIsTheOnlyDifference)
{
    const QStringList collect = {u"collect"_s,    u"file://"_s + dataPath(u"edge-cases.html"_s),
                                 u"--page-url"_s, u"http://www.example.com/a/b/c.html"_s,
                                 u"--format"_s,   u"csv"_s};
    const LocaleRun german = runCliIn(kGerman, collect);
    const LocaleRun plain = runCliIn(kC, collect);
    const LocaleRun semicolons = runCliIn(kC, collect + QStringList{u"--separator"_s, u";"_s});
    ASSERT_EQ(german.exitCode, 0) << german.err.toStdString();
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(german.out, semicolons.out);
    EXPECT_NE(german.out, plain.out);
    EXPECT_EQ(german.err, plain.err);
}

} // namespace quorvel::test
