#include "core/results/CheckResult.h"

#include "core/results/CheckPass.h"
#include "core/results/LinkChecker.h"
#include "support/Fixtures.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(CheckResult, ApplyCheckResultFillsTheCheckCellsOnly)
{
    struct Case
    {
        const char *name;
        TURLStatus status;
        int icon;
    };

    const std::vector<Case> cases = {
        {"answered 200", {u"http://h.com/a"_s, 200, u"12"_s, u"HTTP/1.1 200 OK"_s, {}}, kIconOk},
        {"answered 301", {u"http://h.com/a"_s, 301, u"3"_s, u"HTTP/1.1 301 Moved"_s, {}}, kIconRedirect},
        {"answered 404", {u"http://h.com/a"_s, 404, u"7"_s, u"HTTP/1.1 404 Not Found"_s, {}}, kIconBroken},
        {"answered 600", {u"http://h.com/a"_s, 600, u"7"_s, u"HTTP/1.1 600 Odd"_s, {}}, kIconNone},
        {"no answer", {u"http://h.com/a"_s, -1, u"5000"_s, {}, u"Could not resolve host: h.com"_s}, kIconNone},
        {"mail link", {u"mailto:x@y.z"_s, 0, {}, u"EMAIL"_s, {}}, kIconNone},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A row that still holds the reason of an earlier pass: a new answer replaces every check cell.
        LinkRow row{u"http://h.com/a"_s,
                    u"dofollow"_s,
                    u"Internal"_s,
                    u"a"_s,
                    u"old"_s,
                    u"99"_s,
                    kIconBroken,
                    u"Could not connect to server"_s};
        applyCheckResult(row, c.status);
        const LinkRow expected{u"http://h.com/a"_s, u"dofollow"_s,           u"Internal"_s, u"a"_s,
                               c.status.MyMessage,  c.status.MyResponseTime, c.icon,        c.status.MyError};
        EXPECT_EQ(row, expected);
    }
}

TEST(CheckResult, LinksOfKeepsRowOrderAndRepeats)
{
    EXPECT_EQ(linksOfRows({}), QStringList());
    const LinkRows rows = {LinkRow::redirectRow(u"http://h.com/"_s),
                           {u"http://h.com/b"_s, {}, {}, {}, {}, {}, kIconCollected},
                           {u"mailto:x@y.z"_s, {}, {}, {}, {}, {}, kIconCollected},
                           {u"http://h.com/b"_s, {}, {}, {}, {}, {}, kIconCollected}};
    EXPECT_EQ(linksOfRows(rows),
              (QStringList{u"http://h.com/"_s, u"http://h.com/b"_s, u"mailto:x@y.z"_s, u"http://h.com/b"_s}));
}

// Requests to one server wait in one line whatever the spelling of its address.
TEST(CheckResult, HostKeyIsTheServerWhateverTheSpelling)
{
    struct Case
    {
        QString address;
        QString key;
    };

    const std::vector<Case> cases = {
        {u"http://example.org/a"_s, u"http://example.org:80"_s},
        {u"http://Example.ORG:80?q"_s, u"http://example.org:80"_s},
        {u"https://example.org#top"_s, u"https://example.org:443"_s},
        {u"https://example.org:8443/x"_s, u"https://example.org:8443"_s},
        {u"http://127.0.0.1:8090/site/"_s, u"http://127.0.0.1:8090"_s},
        // QUrl's to read: an empty port, user info, IPv6, a name in another script.
        {u"http://example.org:/a"_s, u"http://example.org:80"_s},
        {u"http://user:pw@example.org:81/a"_s, u"http://example.org:81"_s},
        {u"http://[::1]:8080/"_s, u"http://::1:8080"_s},
        {u"http://b\u00fccher.example/"_s, u"http://xn--bcher-kva.example:80"_s},
        {u"http://xn--bcher-kva.example/"_s, u"http://xn--bcher-kva.example:80"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(hostKeyOf(c.address), c.key);
        const QUrl url(c.address);
        EXPECT_EQ(hostKeyOf(c.address), url.scheme() + u"://"_s + url.host().toLower() + u':' +
                                            QString::number(url.port(url.scheme() == u"https" ? 443 : 80)));
    }
}

} // namespace quorvel::test
