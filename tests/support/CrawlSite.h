#pragma once

#include "core/crawl/Crawler.h"
#include "support/Gate.h"
#include "support/LoopbackServer.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::test {

// A generated site for the crawl's tests, on two loopback servers: the site itself and an
// "external" host whose pages link onward (a crawl must never follow them).
//
// The site is a tree of a few hundred HTML pages drawn from a seed: every page links to its
// children, back to its parent and now and then to an earlier page, so a page's depth is its
// distance in the tree and known in advance. Among them stand pages robots.txt forbids or allows
// by wildcard, "$" and longest match; redirects (to a page, in a loop, off the site); 404 and 500
// pages; a PDF, a text file and an image; links with fragments and repeats; pages listed only in
// the sitemaps (orphans), where /sitemap.xml is an index pointing at a gzip sitemap and a plain
// one, and robots.txt names one more sitemap.
//
// Every request is recorded (method, path with query, host), so tests count fetches; expect()
// computes from the generated links what a crawl should find.
class CrawlSite final
{
public:
    // The agent a crawl of this site should send: robots.txt has a group for its product token.
    static constexpr const char16_t *kAgent = u"QuorvelTest/1.0 (+loopback)";

    struct Options
    {
        unsigned seed = 20261211;
        int pages = 300; // pages of the tree, the start page included
        int robotsStatus = 200;
        // The start page also links to /files/held.txt, whose answer waits until release() (or
        // the site's end); held() turns true once it has been asked for.
        bool holdOnePath = false;
    };

    struct Request
    {
        std::string method;
        std::string target; // path with its query
        bool external = false;
    };

    // What a crawl with these options should find.
    struct Expectation
    {
        std::map<QString, int> depths;  // each crawled page's address, and its depth
        std::map<QString, int> inlinks; // rows on crawled pages pointing at each crawled page
        QStringList orphans;            // sitemap pages no crawled page links to (sorted)
        QStringList disallowedLinked;   // addresses robots.txt keeps the crawl from, linked from pages
    };

    // The crawl options the tests give a crawl of this site: its agent, short time-outs and waits, a
    // few requests at a time, and Internal by host:port (the external host is this machine on
    // another port).
    static CrawlOptions crawlOptions();

    explicit CrawlSite(Options options);
    CrawlSite();
    ~CrawlSite();
    CrawlSite(const CrawlSite &) = delete;
    CrawlSite &operator=(const CrawlSite &) = delete;

    bool start();

    QString url(const std::string &target) const;         // an address on the site
    QString externalUrl(const std::string &target) const; // an address on the external host
    QString startUrl() const { return url("/"); }

    // maxDepth and whether robots.txt is obeyed and the sitemaps read, as a crawl is told.
    Expectation expect(int maxDepth, bool obeyRobots, bool useSitemap) const;

    // Addresses of the site's pages by what they are, for tests of single cases.
    QString landingPage() const { return url("/landing.html"); } // reached only by a 301
    QString redirectToLanding() const { return url("/moved/landing"); }
    QString loopStart() const { return url("/loop/a"); }
    QString awayRedirect() const { return url("/away"); }
    QString awayTarget() const { return externalUrl("/ext/landing.html"); }
    // Linked only from inside files that are not HTML pages, or from pages that answer an error.
    QStringList linkedOnlyFromNonPages() const;
    // Linked only from the external host's pages (and the external host's own onward links).
    QStringList linkedOnlyFromOutside() const;

    std::vector<Request> requests() const;
    int count(const std::string &method, const std::string &target, bool external = false) const;
    int mostInFlight() const;
    // Every answer of the site waits this long first, so requests overlap (0: none).
    void setDelayMs(int ms) { m_delayMs = ms; }
    bool held() const { return m_held.load(); }
    void release() { m_gate.open(); }

private:
    struct Link
    {
        bool external = false;
        std::string target;
        std::string fragment; // without "#"; empty: none
        bool absolute = false;
    };

    struct Node
    {
        int status = 200;
        std::string contentType = "text/html; charset=utf-8";
        std::string redirect; // Location, absolute or a path
        std::vector<Link> links;
        std::string body; // for resources
        bool disallowed = false;
        bool holds = false;
    };

    static Node redirectNode(int status, const std::string &location);
    static Node resourceNode(const std::string &contentType, const std::string &body, bool holds = false);
    void generate();
    void addPage(const std::string &target, std::vector<Link> links, bool disallowed = false);
    std::string render(const Node &node, bool external) const;
    void serve(bool external, const httplib::Request &req, httplib::Response &res);
    QString addressOf(const Link &link) const;
    // The page a link to target ends at after its redirects, or empty: no page on the site.
    std::string finalPage(const std::string &target) const;

    const Options m_options;
    std::map<std::string, Node> m_nodes;
    std::map<std::string, Node> m_externalNodes;
    std::vector<std::string> m_sitemapTargets; // in the order the crawl reads them
    std::vector<std::string> m_treeTargets;

    Gate m_gate;
    std::atomic<bool> m_held{false};
    std::atomic<int> m_delayMs{0};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    int m_inFlight = 0;
    int m_mostInFlight = 0;

    LoopbackServer m_site;
    LoopbackServer m_external;
};

} // namespace quorvel::test
