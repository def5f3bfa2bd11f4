#include "cli/CliArguments.h"
#include "cli/CliProcess.h"
#include "cli/CliRun.h"
#include "core/app/VersionInfo.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"
#include "support/PositionPages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// Runs the CLI with standard input, output and error on a new terminal; out is all the terminal
// showed (the terminal turns each LF into CR LF).
CliRun runCliOnTerminal(const QStringList &args)
{
    std::vector<QByteArray> argBytes = {QByteArray(QUORVEL_CLI_PATH)};
    for (const QString &arg : args) {
        argBytes.push_back(arg.toUtf8());
    }
    std::vector<char *> argv;
    for (QByteArray &arg : argBytes) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            run.out.append(buffer, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // EIO once the child has closed its side
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs the CLI with only standard error on a new terminal (standard input and output are
// /dev/null); err is all the terminal showed (the terminal turns each LF into CR LF).
CliRun runCliWithErrOnTerminal(const QStringList &args)
{
    std::vector<QByteArray> argBytes = {QByteArray(QUORVEL_CLI_PATH)};
    for (const QString &arg : args) {
        argBytes.push_back(arg.toUtf8());
    }
    std::vector<char *> argv;
    for (QByteArray &arg : argBytes) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    CliRun run;
    int master = -1;
    int terminal = -1;
    if (::openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed";
        return run;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(terminal, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(terminal); // the master reads EIO once the child's copy is closed too
    if (pid < 0) {
        ::close(master);
        ADD_FAILURE() << "fork failed";
        return run;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            run.err.append(buffer, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Row
{
    QString link;
    QString follow;
    QString type;
    QString anchor;
    friend bool operator==(const Row &, const Row &) = default;
};

void PrintTo(const Row &r, std::ostream *os)
{
    *os << "{" << r.link.toStdString() << " | " << r.follow.toStdString() << " | " << r.type.toStdString() << " | "
        << r.anchor.toStdString() << "}";
}

std::vector<Row> parseRows(const QByteArray &json)
{
    std::vector<Row> rows;
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        EXPECT_EQ(o.value(u"response"_s).toString(), QString());
        EXPECT_EQ(o.value(u"time"_s).toString(), QString());
        EXPECT_EQ(o.value(u"icon"_s).toInt(), 10);
        rows.push_back({o.value(u"link"_s).toString(), o.value(u"follow"_s).toString(), o.value(u"type"_s).toString(),
                        o.value(u"anchor"_s).toString()});
    }
    return rows;
}

QString edgeCasesAddress()
{
    return u"file://"_s + dataPath(u"edge-cases.html"_s);
}

const QString kPage = u"http://www.example.com/a/b/c.html"_s;

} // namespace

// Every edge case of the scanner and the resolver in one page, collected as a web page would be.
TEST(Cli, CollectGivesTheRowOfEveryEdgeCase)
{
    const CliRun run = runCli({u"collect"_s, edgeCasesAddress(), u"--page-url"_s, kPage, u"--format"_s, u"json"_s});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString in = u"Internal"_s;
    const QString ex = u"External"_s;
    const QString df = u"dofollow"_s;
    const std::vector<Row> expected = {
        {u"http://www.example.com/Caps/Path.HTML"_s, df, in, u"Capital Anchor"_s},
        {u"http://www.example.com/a/b/x1.html"_s, u"NOFOLLOW"_s, in, u"nf"_s},
        {u"http://www.example.com/a/b/x2.html"_s, u"NOFOLLOW"_s, in, u"sp"_s},
        {u"http://www.example.com/a/b/x3.html"_s, u"UGC"_s, in, u"ugc"_s},
        {u"http://www.example.com/a/b/x4.html"_s, df, in, u"no"_s},
        {u"http://www.example.com/a/b/x5.html"_s, df, in, u"mixed quotes"_s},
        {u"http://www.example.com/a/b/m1.html"_s, df, in, u"first<a href=\"m2.html\">second"_s},
        {u"http://www.example.com/a/b/m2.html"_s, df, in, u"second"_s},
        {u"http://www.example.com/a/b/img.html"_s, df, in, u"<img src=\"p.png\" alt=\"Alt\">"_s},
        {u"http://www.example.com/a/b/e.html"_s, df, in, u"Tom & Jerry&nbsp;AAA"_s},
        {u"http://www.example.com/a/b/c.html"_s, df, in, u"in comment"_s},
        {u"http://www.example.com/a/b/s.html"_s, df, in, u"in script"_s},
        {u"http://www.example.com/a/b/g1.html"_s, df, in, u"<a href=\"g2.html\">g2"_s},
        {u"http://www.example.com/a/b/"_s, df, in, u"empty"_s},
        {u"MAILTO:Someone@Example.com"_s, df, ex, u"mail"_s},
        {u"http://www.example.com/a/b/ml.html"_s, df, in, u"line one line two"_s},
        {u"http://cdn.example.org/x"_s, df, ex, u"scheme relative"_s},
        {u"http://www.example.com//"_s, df, in, u"slashes"_s},
        {u"http://www.example.com/a/x.html"_s, df, in, u"up one"_s},
        {u"http://www.example.com/y.html"_s, df, in, u"up too far"_s},
        {u"http://www.example.com/a/"_s, df, in, u"dot dot"_s},
        {u"http://www.example.com/a/b/"_s, df, in, u"dot"_s},
        {u"http://www.example.com/a/b/./z.html"_s, df, in, u"dot slash"_s},
        {u"http://www.example.com/a/b/?q=1"_s, df, in, u"query"_s},
        {u"http://www.example.com/a/b/"_s, df, in, u"fragment"_s},
        {u"http://www.example.com/a/b/JavaScript:void(0)"_s, df, in, u"JS"_s},
        {u"http://www.example.com/a/b/tel:+123"_s, df, in, u"tel"_s},
        {u"http://www.example.com/a/b/ftp://ftp.example.com/f"_s, df, in, u"ftp"_s},
        {u"http://www.example.com/a/b/DOC.PDF"_s, df, in, u"PDF"_s},
        {u"http://www.example.com/a/b/doc.pdf?x=1"_s, df, in, u"pdf query"_s},
        {u"http://www.example.com/a/b/doc.pdf"_s, df, in, u"pdf fragment"_s},
        {u"http://www.example.com/a/b/x1.html"_s, df, in, u"again"_s},
        {u"http://WWW.Example.com/q"_s, df, ex, u"case"_s},
        {u"http://192.168.0.1/r"_s, df, ex, u"ip"_s},
        {u"https://sub.other.co.uk/p"_s, df, ex, u"other"_s},
        {u"http://blog.example.com/"_s, df, in, u"blog"_s},
    };
    const std::vector<Row> rows = parseRows(run.out);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i], expected[i]);
    }
}

TEST(Cli, ModeAnchorsAndIgnoreListChangeTheRows)
{
    QTemporaryDir dir;
    const QString ignore = dir.filePath(u"ignore.txt"_s);
    {
        QFile f(ignore);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\r\nhttp://www.example.com/a/b/x\nhttp://WWW\r\n\r\n");
    }
    const QString page = u"file://"_s + dir.filePath(u"p.html"_s);
    {
        QFile f(dir.filePath(u"p.html"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<a href=\"x1.html\">a</a>\n<a href=\"#f\">b</a>\n<a href=\"http://blog.example.com/\">c</a>\n"
                "<a href=\"http://WWW.example.com/\">d</a>\n<a href=\"s.pdf\">e</a>\n");
    }

    struct Case
    {
        const char *name;
        QStringList args;
        std::vector<QString> links;
        std::vector<QString> types;
    };

    const std::vector<Case> cases = {
        {"subdomain mode types by host",
         {u"--mode"_s, u"subdomain"_s},
         {u"http://www.example.com/a/b/x1.html"_s, u"http://www.example.com/a/b/"_s, u"http://blog.example.com/"_s,
          u"http://WWW.example.com/"_s},
         {u"Internal"_s, u"Internal"_s, u"External"_s, u"External"_s}},
        {"no mode gives no rows", {u"--mode"_s, u"none"_s}, {}, {}},
        {"keep anchors, no ignored extensions",
         {u"--keep-anchors"_s, u"--ignore-ext"_s, u""_s},
         {u"http://www.example.com/a/b/x1.html"_s, u"http://www.example.com/a/b/#f"_s, u"http://blog.example.com/"_s,
          u"http://WWW.example.com/"_s, u"http://www.example.com/a/b/s.pdf"_s},
         {u"Internal"_s, u"Internal"_s, u"Internal"_s, u"Internal"_s, u"Internal"_s}},
        {"ignored prefixes compare with letter case",
         {u"--ignore-urls"_s, ignore},
         {u"http://www.example.com/a/b/"_s, u"http://blog.example.com/"_s},
         {u"Internal"_s, u"Internal"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(QStringList{u"collect"_s, page, u"--page-url"_s, kPage} + c.args);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const std::vector<Row> rows = parseRows(run.out);
        ASSERT_EQ(rows.size(), c.links.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].link, c.links[i]);
            EXPECT_EQ(rows[i].type, c.types[i]);
        }
    }
}

TEST(Cli, FormatsAndExportFile)
{
    QTemporaryDir dir;
    const QString page = dir.filePath(u"p.html"_s);
    {
        QFile f(page);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<a href=\"http://h.com/x\" rel=\"ugc\">a, \"b\"</a>\r\n<a href=\"/y\">\xC3\xA9</a>\r\n");
    }
    const QStringList base = {u"collect"_s, u"file://"_s + page, u"--page-url"_s, u"http://h.com/"_s};

    CliRun run = runCli(base + QStringList{u"--format"_s, u"csv"_s, u"--separator"_s, u";"_s});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QByteArray("http://h.com/x;UGC;Internal;\"a, \"\"b\"\"\";\nhttp://h.com/y;dofollow;Internal;"
                                  "\xC3\xA9;\n"));
    run = runCli(base + QStringList{u"--format"_s, u"txt"_s});
    EXPECT_EQ(run.out, QByteArray("http://h.com/x\nhttp://h.com/y\n"));

    const QString csv = dir.filePath(u"out.CSV"_s);
    run = runCli(base + QStringList{u"--output"_s, csv, u"--separator"_s, u","_s});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xEF\xBB\xBFhttp://h.com/x,UGC,Internal,\"a, \"\"b\"\"\",\r\n"
                                      "http://h.com/y,dofollow,Internal,\xC3\xA9,\r\n"));

    run = runCli(base + QStringList{u"--output"_s, dir.filePath(u"missing/out.txt"_s)});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("Cannot create file")) << run.err.toStdString();
}

// collect's JSON places each row at its tag: "line" and "column" follow "icon", with the same
// numbers for a page served over http and for the same page read from a file.
TEST(Cli, CollectJsonGivesTheLineAndColumnOfEachRow)
{
    const std::vector<PositionPage> &pages = positionPages();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    LoopbackServer server;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string body = pages[i].page.toStdString();
        server.server().Get("/p" + std::to_string(i) + ".html",
                            [body](const httplib::Request &, httplib::Response &res) {
                                res.set_content(body, "text/html; charset=utf-8");
                            });
    }
    ASSERT_TRUE(server.start());

    for (size_t i = 0; i < pages.size(); ++i) {
        const PositionPage &c = pages[i];
        SCOPED_TRACE(c.name);
        const QString address = server.url(u"/p%1.html"_s.arg(i));
        const QString file = dir.filePath(u"p%1.html"_s.arg(i));
        writeAll(file, c.page.toUtf8());
        for (const QStringList &args : {QStringList{u"collect"_s, address},
                                        QStringList{u"collect"_s, u"file://"_s + file, u"--page-url"_s, address}}) {
            SCOPED_TRACE(args.join(u' ').toStdString());
            const CliRun run = runCli(args);
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
            std::vector<TextPosition> positions;
            for (const QJsonValue &row : rows) {
                positions.push_back({row[u"line"_s].toInt(), row[u"column"_s].toInt()});
            }
            EXPECT_EQ(positions, c.expected);
        }
    }

    // The keys' order, as printed.
    const CliRun run = runCli({u"collect"_s, server.url(u"/p1.html"_s)});
    EXPECT_TRUE(run.out.contains(R"("time": "", "icon": 10, "line": 2, "column": 3})")) << run.out.toStdString();
}

TEST(Cli, BadUsageAndUnreadablePagesAreReported)
{
    QTemporaryDir dir;

    struct Case
    {
        const char *name;
        QStringList args;
        int exitCode;
        QByteArray errContains;
    };

    const std::vector<Case> cases = {
        {"no arguments", {}, 2, "usage:"},
        {"unknown command", {u"sweep"_s, u"x"_s}, 2, "unknown command"},
        {"no address", {u"collect"_s}, 2, "no address"},
        {"blank address", {u"collect"_s, u" \t"_s}, 2, "Please enter URL!"},
        {"unknown option", {u"collect"_s, u"file:///x"_s, u"--fast"_s}, 2, "unknown option"},
        {"bad mode", {u"collect"_s, u"file:///x"_s, u"--mode"_s, u"host"_s}, 2, "unknown mode"},
        {"bad format", {u"collect"_s, u"file:///x"_s, u"--format"_s, u"xml"_s}, 2, "unknown format"},
        {"option without value", {u"collect"_s, u"file:///x"_s, u"--agent"_s}, 2, "needs a value"},
        {"check-only option on collect", {u"collect"_s, u"file:///x"_s, u"--head"_s}, 2, "unknown option"},
        {"parallel out of range", {u"check"_s, u"file:///x"_s, u"--parallel"_s, u"0"_s}, 2, "1 to 1024"},
        {"timeout not a number", {u"check"_s, u"file:///x"_s, u"--connect-timeout"_s, u"5s"_s}, 2, "whole number"},
        {"page url on a web address",
         {u"collect"_s, u"http://h.com/"_s, u"--page-url"_s, u"http://h.com/"_s},
         2,
         "--page-url"},
        {"missing ignore file",
         {u"collect"_s, u"file:///x"_s, u"--ignore-urls"_s, u"/no/such/file"_s},
         2,
         "Ignore URLs"},
        {"missing page", {u"collect"_s, u"file:///no/such/page.html"_s}, 3, "/no/such/page.html"},
        {"a folder", {u"collect"_s, u"file://"_s + dir.path()}, 3, "folder"},
        {"separator a double quote", {u"collect"_s, u"file:///x"_s, u"--separator"_s, u"\""_s}, 2, "--separator"},
        {"separator CR", {u"collect"_s, u"file:///x"_s, u"--separator"_s, u"\r"_s}, 2, "--separator"},
        {"separator LF", {u"collect"_s, u"file:///x"_s, u"--separator"_s, u"\n"_s}, 2, "--separator"},
        {"empty output name", {u"collect"_s, u"file:///x"_s, u"--output"_s, u""_s}, 2, "--output needs a file"},
        {"empty ignore file name", {u"collect"_s, u"file:///x"_s, u"--ignore-urls"_s, u""_s}, 2, "--ignore-urls"},
        // A path that names no file is read as a local file (and found missing), never requested.
        {"absolute path of no file", {u"collect"_s, u"/no/such/page.html"_s}, 3, "No such file"},
        {"./ path of no file", {u"check"_s, u"./no-such-page.html"_s}, 3, "No such file"},
        {"../ path of no file", {u"collect"_s, u"../no-such-page.html"_s}, 3, "No such file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.errContains)) << run.err.toStdString();
        if (c.exitCode == 3) {
            EXPECT_EQ(run.out, QByteArray("[]\n"));
        }
    }
}

// --help and --version answer on standard output; bad usage gets the reason, the synopsis and a
// pointer to --help on standard error, and nothing on standard output.
TEST(Cli, HelpVersionAndUsageLines)
{
    CliRun run = runCli({u"--help"_s});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, cliUsage().toUtf8());
    EXPECT_EQ(run.err, QByteArray());

    // The version is the build's: the one its version block holds, not a copy kept by hand.
    run = runCli({u"--version"_s});
    EXPECT_EQ(run.exitCode, 0);
    const AppIdentity identity = readAppIdentity(QStringLiteral(QUORVEL_CLI_PATH));
    ASSERT_EQ(identity.error, QString());
    EXPECT_EQ(run.out, "quorvel-cli " + identity.AppVersion.toUtf8() + "\n");
    EXPECT_EQ(run.out, cliVersionLine().toUtf8());

    run = runCli({u"collect"_s, u"x"_s, u"--fast"_s});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, QByteArray());
    EXPECT_EQ(run.err, "quorvel-cli: unknown option \"--fast\" for collect\n" +
                           cliUsage().section(u'\n', 0, 4).toUtf8() + "\nRun quorvel-cli --help for the options.\n");
}

TEST(Cli, CheckOverHttpReportsStatusLinesAndExitStatus)
{
    LoopbackServer server;
    server.server().Get("/page.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<a href=\"/ok\">ok</a> <a href=\"/gone\">gone</a> <a href=\"/moved\">moved</a> "
                        "<a href=\"MAILTO:x@y.z\">mail</a> <a href=\"/ok\">again</a>",
                        "text/html");
    });
    server.server().Get("/ok",
                        [](const httplib::Request &, httplib::Response &res) { res.set_content("x", "text/plain"); });
    server.server().Get("/gone", [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
    server.server().Get("/moved", [](const httplib::Request &, httplib::Response &res) {
        res.status = 301;
        res.set_header("Location", "/ok");
    });
    server.server().Get("/redirect", [](const httplib::Request &, httplib::Response &res) {
        res.status = 302;
        res.set_header("Location", "page.html");
    });
    ASSERT_TRUE(server.start());

    const CliRun check = runCli({u"check"_s, server.url(u"/redirect"_s), u"--parallel"_s, u"1"_s});
    EXPECT_EQ(check.exitCode, 1) << check.err.toStdString(); // the 404 row
    const QJsonArray rows = QJsonDocument::fromJson(check.out).array();
    ASSERT_EQ(rows.size(), 6);

    struct Expected
    {
        QString link;
        QString response;
        int icon;
        QString verdict;
        QString final;
        int finalStatus;
        int hops;
        int column; // all on line 1; the redirect row has no place (0)
    };

    const std::vector<Expected> expected = {
        // the redirect row is checked too
        {server.url(u"/redirect"_s), u"HTTP/1.1 302 Found"_s, 51, u"redirected"_s, server.url(u"/page.html"_s), 200, 1,
         0},
        {server.url(u"/ok"_s), u"HTTP/1.1 200 OK"_s, 50, u"ok"_s, {}, 200, 0, 1},
        {server.url(u"/gone"_s), u"HTTP/1.1 404 Not Found"_s, 52, u"broken"_s, {}, 404, 0, 22},
        {server.url(u"/moved"_s), u"HTTP/1.1 301 Moved Permanently"_s, 51, u"redirected"_s, server.url(u"/ok"_s), 200,
         1, 47},
        {u"MAILTO:x@y.z"_s, u"EMAIL"_s, -1, u"skipped"_s, {}, 0, 0, 74},
        {server.url(u"/ok"_s), u"HTTP/1.1 200 OK"_s, 50, u"ok"_s, {}, 200, 0, 106},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject row = rows[i].toObject();
        EXPECT_EQ(row.keys(), (QStringList{u"anchor"_s, u"column"_s, u"error"_s, u"final"_s, u"final_status"_s,
                                           u"follow"_s, u"hops"_s, u"icon"_s, u"line"_s, u"link"_s, u"response"_s,
                                           u"time"_s, u"type"_s, u"verdict"_s}));
        EXPECT_EQ(row.value(u"link"_s).toString(), expected[i].link);
        EXPECT_EQ(row.value(u"response"_s).toString(), expected[i].response);
        EXPECT_EQ(row.value(u"icon"_s).toInt(), expected[i].icon);
        EXPECT_EQ(row.value(u"verdict"_s).toString(), expected[i].verdict);
        EXPECT_EQ(row.value(u"final"_s).toString(), expected[i].final);
        EXPECT_EQ(row.value(u"final_status"_s).toInt(), expected[i].finalStatus);
        EXPECT_EQ(row.value(u"hops"_s).toInt(), expected[i].hops);
        EXPECT_EQ(row.value(u"line"_s).toInt(), i == 0 ? 0 : 1);
        EXPECT_EQ(row.value(u"column"_s).toInt(), expected[i].column);
        EXPECT_EQ(row.value(u"error"_s).toString(), QString());
        const QString time = row.value(u"time"_s).toString();
        if (i == 4) {
            EXPECT_TRUE(time.isEmpty());
        } else {
            bool digits = false;
            time.toInt(&digits);
            EXPECT_TRUE(digits) << time.toStdString();
        }
    }
    // The repeated link carries the first one's result.
    EXPECT_EQ(rows[5].toObject().value(u"time"_s), rows[1].toObject().value(u"time"_s));
    EXPECT_TRUE(check.err.endsWith("Checked 6 links: 2 ok, 2 redirected, 1 broken, 0 blocked, 0 rate-limited, "
                                   "0 timeout, 0 unreachable, 0 fragment-missing, 1 skipped\n"))
        << check.err.toStdString();

    const CliRun collect = runCli({u"collect"_s, server.url(u"/page.html"_s), u"--format"_s, u"txt"_s});
    EXPECT_EQ(collect.exitCode, 0);
    EXPECT_EQ(collect.out.count('\n'), 5);

    const CliRun missing = runCli({u"collect"_s, server.url(u"/gone"_s)});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.err.contains("HTTP/1.1 404 Not Found")) << missing.err.toStdString();
    EXPECT_EQ(missing.out, QByteArray("[]\n"));
}

// The exit status of check follows the verdicts: broken, timeout, unreachable and a missing
// fragment fail the run; a bot wall and a site still busy fail it only with --strict.
TEST(Cli, CheckExitStatusFollowsTheVerdicts)
{
    LoopbackServer server;
    httplib::Server &s = server.server();
    s.Get("/ok", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<p id=\"here\">x</p>", "text/html");
    });
    s.Get("/to-gone", [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/gone", 301); });
    s.Get("/gone", [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
    s.Get("/wall", [](const httplib::Request &, httplib::Response &res) { res.status = 999; });
    s.Get("/busy", [](const httplib::Request &, httplib::Response &res) { res.status = 429; });
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Case
    {
        const char *name;
        QStringList hrefs;
        QStringList extra;
        int exitCode;
        QString verdict; // of the last row
    };

    const QString refused = u"http://127.0.0.1:%1/x"_s.arg(refusedPort());
    const std::vector<Case> cases = {
        {"all fine", {u"/ok"_s, u"mailto:a@b.c"_s}, {}, 0, u"skipped"_s},
        {"a redirect that ends in 404", {u"/ok"_s, u"/to-gone"_s}, {}, 1, u"broken"_s},
        {"the same, not followed", {u"/to-gone"_s}, {u"--max-redirects"_s, u"0"_s}, 0, u"redirected"_s},
        {"unreachable", {refused}, {}, 1, u"unreachable"_s},
        {"a fragment that is there", {u"/ok#here"_s}, {u"--keep-anchors"_s}, 0, u"ok"_s},
        {"a fragment that is not", {u"/ok#gone"_s}, {u"--keep-anchors"_s}, 1, u"fragment-missing"_s},
        {"a bot wall", {u"/wall"_s}, {}, 0, u"blocked"_s},
        {"a bot wall, strict", {u"/wall"_s}, {u"--strict"_s}, 1, u"blocked"_s},
        {"still busy", {u"/busy"_s}, {u"--retries"_s, u"0"_s}, 0, u"rate-limited"_s},
        {"still busy, strict", {u"/busy"_s}, {u"--retries"_s, u"0"_s, u"--strict"_s}, 1, u"rate-limited"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray html;
        for (const QString &href : c.hrefs) {
            const QString absolute = href.startsWith(u'/') ? server.url(href) : href;
            html += "<a href=\"" + absolute.toUtf8() + "\">x</a>\n";
        }
        const QString page = dir.filePath(u"page.html"_s);
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(html);
        file.close();
        const CliRun run = runCli(QStringList{u"check"_s, page} + c.extra);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
        ASSERT_EQ(rows.size(), c.hrefs.size()) << run.out.toStdString();
        EXPECT_EQ(rows.last().toObject().value(u"verdict"_s).toString(), c.verdict);
        EXPECT_TRUE(run.err.contains("Checked %1 links: "_ba.replace("%1", QByteArray::number(c.hrefs.size()))))
            << run.err.toStdString();
    }
}

// A local page's hrefs without a scheme are not addresses the check can request: they get no
// request, no answer and no icon, and they do not make the check fail.
TEST(Cli, CheckRequestsOnlyHttpAndHttpsAddresses)
{
    std::atomic<int> requests{0};
    LoopbackServer server;
    server.server().Get("/200", [&requests](const httplib::Request &, httplib::Response &res) {
        ++requests;
        res.set_content("x", "text/plain");
    });
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString page = dir.filePath(u"page.html"_s);
    const QByteArray hostLike = "127.0.0.1:" + QByteArray::number(server.port()) + "/200";
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<a href=\"" + hostLike + "\">host-like</a> <a href=\"about.html\">about</a> <a href=\"" +
               server.url(u"/200"_s).toUtf8() + "\">web</a>");
    file.close();

    const CliRun check = runCli({u"check"_s, page});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(check.out).array();
    ASSERT_EQ(rows.size(), 3) << check.out.toStdString();
    for (const int i : {0, 1}) {
        SCOPED_TRACE(i);
        const QJsonObject row = rows[i].toObject();
        EXPECT_EQ(row.value(u"response"_s).toString(), QString());
        EXPECT_EQ(row.value(u"time"_s).toString(), QString());
        EXPECT_EQ(row.value(u"icon"_s).toInt(), -1);
    }
    EXPECT_EQ(rows[2].toObject().value(u"response"_s).toString(), u"HTTP/1.1 200 OK"_s);
    EXPECT_EQ(requests.load(), 1) << "only the web address is requested";
}

// Reading a FIFO would wait for a writer for ever, a device would never end: only regular files
// are pages and Ignore URLs lists, and the list has a size bound.
TEST(Cli, OnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(u"fifo.html"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString page = dir.filePath(u"p.html"_s);
    writeAll(page, "<a href=\"x.html\">x</a>\n");
    const QString huge = dir.filePath(u"huge.txt"_s);
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(16LL * 1024 * 1024 + 1)); // sparse: takes no room on the disk
    }

    struct Case
    {
        const char *name;
        QStringList args;
        int exitCode;
        QByteArray errContains;
    };

    const std::vector<Case> cases = {
        {"collect a FIFO", {u"collect"_s, u"file://"_s + fifo}, 3, "Not a regular file"},
        {"check a FIFO", {u"check"_s, u"file://"_s + fifo}, 3, "Not a regular file"},
        {"analyze a FIFO", {u"analyze"_s, u"file://"_s + fifo}, 3, "Not a regular file"},
        {"a FIFO named by its path", {u"collect"_s, fifo}, 3, "Not a regular file"},
        {"ignore list a device", {u"collect"_s, page, u"--ignore-urls"_s, u"/dev/zero"_s}, 2, "Not a regular file"},
        {"ignore list a FIFO", {u"collect"_s, page, u"--ignore-urls"_s, fifo}, 2, "Not a regular file"},
        {"ignore list too large", {u"collect"_s, page, u"--ignore-urls"_s, huge}, 2, "larger than 16 MiB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.errContains)) << run.err.toStdString();
    }
}

// A full disk or a reader that went away loses the output: that is a failure, not success.
TEST(Cli, FailedWritesToStandardOutputExitFour)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString page = dir.filePath(u"p.html"_s);
    writeAll(page, "<a href=\"x.html\">x</a>\n");
    enum class Sink
    {
        DevFull,
        ClosedPipe
    };

    struct Case
    {
        const char *name;
        QStringList args;
        Sink sink;
        QByteArray reason;
    };

    const std::vector<Case> cases = {
        {"json rows to a full disk", {u"collect"_s, page}, Sink::DevFull, "No space left on device"},
        {"txt rows to a full disk", {u"collect"_s, page, u"--format"_s, u"txt"_s}, Sink::DevFull, "No space left"},
        {"analysis to a full disk", {u"analyze"_s, page}, Sink::DevFull, "No space left on device"},
        {"help to a full disk", {u"--help"_s}, Sink::DevFull, "No space left on device"},
        {"rows to a closed pipe", {u"collect"_s, page}, Sink::ClosedPipe, "Broken pipe"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QProcess process;
        int pipeFds[2] = {-1, -1};
        if (c.sink == Sink::DevFull) {
            process.setStandardOutputFile(u"/dev/full"_s);
        } else {
            // The reading end is closed before the start, so every write gets EPIPE; with SIGPIPE
            // ignored (as many shells and supervisors run programs) that is the only sign.
            ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
            ::close(pipeFds[0]);
            const int writeFd = pipeFds[1];
            process.setChildProcessModifier([writeFd] {
                ::dup2(writeFd, STDOUT_FILENO);
                ::signal(SIGPIPE, SIG_IGN);
            });
        }
        process.start(QStringLiteral(QUORVEL_CLI_PATH), c.args);
        ASSERT_TRUE(process.waitForFinished(60'000));
        if (pipeFds[1] >= 0) {
            ::close(pipeFds[1]);
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 4);
        const QByteArray err = process.readAllStandardError();
        EXPECT_TRUE(err.contains("cannot write to standard output")) << err.toStdString();
        EXPECT_TRUE(err.contains(c.reason)) << err.toStdString();
    }
}

// An escape sequence in a page reaches a terminal only as visible text; a file or a pipe gets the
// rows byte for byte, and messages are always escaped.
TEST(Cli, ControlCharactersNeverReachTheTerminalRaw)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The file name reaches the "Loading:" progress on standard error.
    const QString page = dir.filePath(u"p\u001B[1m.html"_s);
    writeAll(page, "<a href=\"http://h.com/\x1b]0;owned\x07\">a\x1b[31mred\xC2\x9B"
                   "2J</a>\n");
    const QStringList args = {u"collect"_s, page, u"--format"_s, u"csv"_s, u"--separator"_s, u","_s};

    const CliRun piped = runCli(args);
    ASSERT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out, QByteArray("http://h.com/\x1b]0;owned\x07,dofollow,Internal,a\x1b[31mred\xC2\x9B"
                                    "2J,\n"));

    const CliRun terminal = runCliOnTerminal(args);
    ASSERT_EQ(terminal.exitCode, 0) << terminal.out.toStdString();
    EXPECT_TRUE(terminal.out.contains("http://h.com/\\x1b]0;owned\\x07,dofollow,Internal,a\\x1b[31mred\\u009b2J,"))
        << terminal.out.toStdString();
    EXPECT_TRUE(
        terminal.out.contains(QByteArray("Loading: file://" + QFile::encodeName(dir.path()) + "/p\\x1b[1m.html")))
        << terminal.out.toStdString();
    EXPECT_FALSE(terminal.out.contains("\x1b[1m")) << terminal.out.toStdString();
    EXPECT_FALSE(terminal.out.contains("\x1b]")) << terminal.out.toStdString();
    EXPECT_FALSE(terminal.out.contains("\x1b[31m")) << terminal.out.toStdString();
    EXPECT_FALSE(terminal.out.contains("\xC2\x9B")) << terminal.out.toStdString();
    EXPECT_FALSE(terminal.out.contains('\x07')) << terminal.out.toStdString();

    // The file name of a missing page reaches standard error in the message.
    const CliRun missing = runCli({u"collect"_s, dir.filePath(u"no\u001B[2Jpage.html"_s)});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.err.contains("no\\x1b[2Jpage.html")) << missing.err.toStdString();
    EXPECT_FALSE(missing.err.contains('\x1b')) << missing.err.toStdString();
}

// The export never replaces the page it was made from, and a run that loaded no page leaves an
// earlier export alone.
TEST(Cli, OutputNeverDestroysItsInput)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray pageBytes = "<a href=\"x.html\">x</a>\n";
    const QString page = dir.filePath(u"p.html"_s);
    writeAll(page, pageBytes);
    const QString ignore = dir.filePath(u"ignore.txt"_s);
    writeAll(ignore, "http://nothing/\n");
    ASSERT_TRUE(QFile::link(page, dir.filePath(u"symlink.txt"_s)));
    ASSERT_EQ(::link(QFile::encodeName(page).constData(), QFile::encodeName(dir.filePath(u"hard.txt"_s)).constData()),
              0);

    struct Case
    {
        const char *name;
        QStringList args;
        QByteArray errContains;
    };

    const std::vector<Case> cases = {
        {"the same name", {u"collect"_s, page, u"--output"_s, page}, "the page being read"},
        {"another spelling", {u"collect"_s, u"file://"_s + page, u"--output"_s, u"./p.html"_s}, "the page being read"},
        {"a symbolic link", {u"collect"_s, page, u"--output"_s, u"symlink.txt"_s}, "the page being read"},
        {"a hard link", {u"check"_s, page, u"--output"_s, u"hard.txt"_s}, "the page being read"},
        {"the Ignore URLs file",
         {u"collect"_s, page, u"--ignore-urls"_s, ignore, u"--output"_s, u"ignore.txt"_s},
         "the Ignore URLs file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runCli(c.args, dir.path());
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(c.errContains)) << run.err.toStdString();
        EXPECT_EQ(readAll(page), pageBytes);
        EXPECT_EQ(readAll(ignore), QByteArray("http://nothing/\n"));
    }

    const QString earlier = dir.filePath(u"out.txt"_s);
    writeAll(earlier, "earlier export\r\n");
    const CliRun failed = runCli({u"collect"_s, dir.filePath(u"missing.html"_s), u"--output"_s, earlier});
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_TRUE(failed.err.contains("No such file")) << failed.err.toStdString();
    EXPECT_EQ(readAll(earlier), QByteArray("earlier export\r\n"));
}

// Ctrl-C (or a TERM from a supervisor) during a check stops the pass and prints what it has.
TEST(Cli, SignalDuringCheckPrintsTheFinishedRows)
{
    std::mutex mutex;
    std::condition_variable arrived;
    int silentRequests = 0;
    RawServer silent([&](RawServer::Connection &connection) {
        connection.readRequestHead();
        {
            const std::lock_guard lock(mutex);
            ++silentRequests;
        }
        arrived.notify_all();
        connection.waitForShutdown(); // never answers
    });
    ASSERT_TRUE(silent.start());
    LoopbackServer server;
    const QByteArray silentUrl = silent.url(u"/silent"_s).toUtf8();
    server.server().Get("/page.html", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content("<a href=\"/ok\">ok</a> <a href=\"" + silentUrl.toStdString() + "\">silent</a>", "text/html");
    });
    server.server().Get("/ok",
                        [](const httplib::Request &, httplib::Response &res) { res.set_content("x", "text/plain"); });
    ASSERT_TRUE(server.start());

    struct Case
    {
        const char *name;
        int signal;
        int exitCode;
        QString format;
        QByteArray expected; // for csv; json is parsed
    };

    const std::vector<Case> cases = {
        {"SIGINT, json", SIGINT, 130, u"json"_s, {}},
        {"SIGTERM, csv", SIGTERM, 143, u"csv"_s,
         server.url(u"/ok"_s).toUtf8() + ";dofollow;Internal;ok;HTTP/1.1 200 OK\n" + silentUrl +
             ";dofollow;Internal;silent;\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        {
            const std::lock_guard lock(mutex);
            silentRequests = 0;
        }
        QProcess process;
        // One request at a time, in table order: when the silent link is asked, the first row is done.
        process.start(QStringLiteral(QUORVEL_CLI_PATH),
                      {u"check"_s, server.url(u"/page.html"_s), u"--parallel"_s, u"1"_s, u"--response-timeout"_s,
                       u"600000"_s, u"--format"_s, c.format, u"--separator"_s, u";"_s});
        ASSERT_TRUE(process.waitForStarted());
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(60), [&] { return silentRequests > 0; }));
        }
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), c.signal), 0);
        ASSERT_TRUE(process.waitForFinished(60'000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), c.exitCode);
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        EXPECT_TRUE(err.contains("stopped by")) << err.toStdString();
        if (c.format == u"csv") {
            EXPECT_EQ(out, c.expected);
            continue;
        }
        const QJsonArray rows = QJsonDocument::fromJson(out).array();
        ASSERT_EQ(rows.size(), 2) << out.toStdString();
        EXPECT_EQ(rows[0].toObject().value(u"response"_s).toString(), u"HTTP/1.1 200 OK"_s);
        EXPECT_EQ(rows[0].toObject().value(u"icon"_s).toInt(), 50);
        EXPECT_EQ(rows[1].toObject().value(u"link"_s).toString(), QString::fromUtf8(silentUrl));
        EXPECT_EQ(rows[1].toObject().value(u"response"_s).toString(), QString());
    }
}

// The check's progress line is drawn on standard error only when that is a terminal, and erased
// before the summary; through a pipe standard error carries the summary alone.
TEST(Cli, CheckProgressLineOnlyOnATerminal)
{
    LoopbackServer server;
    server.server().Get("/page.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<a href=\"/a\">a</a> <a href=\"/b\">b</a> <a href=\"/c\">c</a>", "text/html");
    });
    server.server().Get(R"(/[abc])",
                        [](const httplib::Request &, httplib::Response &res) { res.set_content("x", "text/plain"); });
    ASSERT_TRUE(server.start());
    const QStringList args = {u"check"_s, server.url(u"/page.html"_s), u"--format"_s, u"json"_s};
    const QByteArray summary = "Checked 3 links: 3 ok, 0 redirected, 0 broken, 0 blocked, 0 rate-limited, 0 timeout, "
                               "0 unreachable, 0 fragment-missing, 0 skipped";
    const QByteArray erase = "\r\x1b[K";

    const CliRun piped = runCli(args);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, summary + '\n');

    const CliRun terminal = runCliWithErrOnTerminal(args);
    EXPECT_EQ(terminal.exitCode, 0);
    const std::string shown = terminal.err.toStdString();
    EXPECT_TRUE(terminal.err.contains(QByteArray(erase + "Checking links: 3/3, ")))
        << shown << ": the last count is drawn";
    // The terminal shows the progress, then the line is erased and the summary written over it.
    EXPECT_TRUE(terminal.err.endsWith(QByteArray(erase + summary + "\r\n"))) << shown;
    const qsizetype summaryAt = terminal.err.lastIndexOf(summary);
    EXPECT_GT(terminal.err.lastIndexOf("Checking links: "), 0) << shown;
    EXPECT_LT(terminal.err.lastIndexOf("Checking links: "), summaryAt) << shown;
    EXPECT_EQ(terminal.err.count(summary), 1) << shown;
}

// With standard output and error on one pipe (a run's "> file 2>&1"), the report arrives whole
// and the summary after it: the report is larger than one buffer of standard output, so a summary
// written before the last buffer went out would land inside the JSON.
TEST(Cli, SummaryFollowsTheReportOnASharedPipe)
{
    LoopbackServer server;
    server.server().Get("/page.html", [](const httplib::Request &, httplib::Response &res) {
        std::string page;
        for (int i = 0; i < 200; ++i) {
            page += "<a href=\"/ok/" + std::to_string(i) + "\">link " + std::to_string(i) + "</a>\n";
        }
        res.set_content(page, "text/html");
    });
    server.server().Get(R"(/ok/\d+)",
                        [](const httplib::Request &, httplib::Response &res) { res.set_content("x", "text/plain"); });
    ASSERT_TRUE(server.start());
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(QUORVEL_CLI_PATH),
                  {u"check"_s, server.url(u"/page.html"_s), u"--format"_s, u"json"_s});
    ASSERT_TRUE(process.waitForFinished(60'000));
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray both = process.readAll();
    const QByteArray summary = "Checked 200 links: 200 ok, ";
    const qsizetype summaryAt = both.indexOf(summary);
    ASSERT_GT(summaryAt, 0) << both.right(300).toStdString();
    QJsonParseError error{};
    const QJsonDocument report = QJsonDocument::fromJson(both.first(summaryAt), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(report.array().size(), 200);
    EXPECT_GT(summaryAt, 8192) << "the report spans more than one buffer";
}

} // namespace quorvel::test
