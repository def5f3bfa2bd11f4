#include "core/analyze/RunAnalysis.h"
#include "core/collect/PageFetcher.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// The text service on loopback HTTPS: answers with `status` and `body`, remembers the request target.
class TextService
{
public:
    TextService(int status, std::string body)
    {
        m_server.server().Get("/services/html2txt",
                              [this, status, body](const httplib::Request &req, httplib::Response &res) {
                                  {
                                      std::lock_guard lock(m_mutex);
                                      m_target = req.target;
                                  }
                                  res.status = status;
                                  res.set_content(body, "text/plain; charset=utf-8");
                              });
    }

    bool start() { return m_server.start(); }

    QString host() const { return u"127.0.0.1:%1"_s.arg(m_server.port()); }

    std::string target()
    {
        std::lock_guard lock(m_mutex);
        return m_target;
    }

private:
    std::mutex m_mutex;
    std::string m_target;
    LoopbackServer m_server{LoopbackServer::Scheme::Https};
};

} // namespace

TEST(AnalysisService, ContentsComeFromTheTextService)
{
    // Nothing listens on port 1: a working fetcher reports a refused connection.
    if (FetchPage(u"http://127.0.0.1:1/"_s, {}).error == u"Unknown Protocol"_s) {
        GTEST_SKIP() << "this build's page fetcher is a placeholder";
    }
    LoopbackServer pages;
    pages.server().Get("/page.html", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<title>Remote</title><h1>Head</h1><img src='a.png'>", "text/html; charset=utf-8");
    });
    ASSERT_TRUE(pages.start());
    const QString address = pages.url(u"/page.html?a=1&b=2"_s);

    struct Case
    {
        const char *name;
        int status;
        std::string body;
        QString contents; // empty: no contents, and the fetch's error, which names the status
    };

    const std::vector<Case> cases = {
        {"the service's text", 200, "Remote text\nline two\n", u"Remote text\r\nline two\r\n"_s},
        {"a failed request shows its error", 500, "oops", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TextService service(c.status, c.body);
        ASSERT_TRUE(service.start());
        AnalysisOptions options;
        options.contentsHost = service.host();
        const AnalysisResult result = runAnalysis(address, options);

        EXPECT_EQ(result.title, u"Remote"_s);
        EXPECT_EQ(result.h1, QStringList{u"Head"_s});
        EXPECT_EQ(result.images.size(), 1);
        EXPECT_EQ(service.target(), "/services/html2txt?url=" + encodeForQuery(address).toStdString());
        EXPECT_EQ(result.contents, c.contents);
        if (c.contents.isEmpty()) {
            EXPECT_TRUE(result.contentsError.contains(u"500"_s)) << result.contentsError.toStdString();
        } else {
            EXPECT_TRUE(result.contentsError.isEmpty());
        }
        EXPECT_EQ(result.counts.contents, result.contents.size());
    }
}

} // namespace quorvel::test
