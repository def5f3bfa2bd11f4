#include "support/CrawlSite.h"

#include <QSet>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <thread>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

std::string gzipped(const std::string &text)
{
    z_stream zs{};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(text.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    zs.avail_in = uInt(text.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string urlSet(const std::vector<std::string> &addresses)
{
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>)"
                      "\n<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (const std::string &address : addresses) {
        xml += "  <url><loc>" + address + "</loc></url>\n";
    }
    return xml + "</urlset>\n";
}

std::string pageTarget(int i)
{
    return "/pages/" + std::to_string(i) + ".html";
}

} // namespace

CrawlOptions CrawlSite::crawlOptions()
{
    CrawlOptions o;
    o.check.userAgent = QString::fromUtf16(kAgent);
    o.check.connectTimeout = u"2000"_s;
    o.check.responseTimeout = u"2000"_s;
    o.check.retryWaitMaxMs = 200;
    o.check.parallel = 8;
    o.check.perHost = 4;
    o.urlBase = UrlBaseMode::Subdomain;
    return o;
}

CrawlSite::CrawlSite()
    : CrawlSite(Options{})
{}

CrawlSite::CrawlSite(Options options)
    : m_options(options)
{
    for (const bool external : {false, true}) {
        LoopbackServer &server = external ? m_external : m_site;
        const auto handler = [this, external](const httplib::Request &req, httplib::Response &res) {
            serve(external, req, res);
        };
        server.server().Get(".*", handler);
        // Headers and body go out in two writes: without this the second waits for the client's
        // delayed acknowledgement, and a crawl of the site takes seconds instead of a moment.
        server.server().set_tcp_nodelay(true);
    }
}

CrawlSite::~CrawlSite()
{
    m_gate.open(); // no answer outlives the site
}

bool CrawlSite::start()
{
    // The pages hold both servers' addresses; they are made before any thread serves them.
    if (!m_site.bind() || !m_external.bind()) {
        return false;
    }
    generate();
    return m_site.start() && m_external.start();
}

QString CrawlSite::url(const std::string &target) const
{
    return m_site.url(QString::fromStdString(target));
}

QString CrawlSite::externalUrl(const std::string &target) const
{
    return m_external.url(QString::fromStdString(target));
}

QString CrawlSite::addressOf(const Link &link) const
{
    return link.external ? externalUrl(link.target) : url(link.target);
}

CrawlSite::Node CrawlSite::redirectNode(int status, const std::string &location)
{
    Node node;
    node.status = status;
    node.redirect = location;
    return node;
}

CrawlSite::Node CrawlSite::resourceNode(const std::string &contentType, const std::string &body, bool holds)
{
    Node node;
    node.contentType = contentType;
    node.body = body;
    node.holds = holds;
    return node;
}

void CrawlSite::addPage(const std::string &target, std::vector<Link> links, bool disallowed)
{
    Node node;
    node.links = std::move(links);
    node.disallowed = disallowed;
    m_nodes[target] = std::move(node);
}

void CrawlSite::generate()
{
    std::mt19937 rng(m_options.seed);
    const auto chance = [&rng](unsigned oneIn) {
        return rng() % oneIn == 0;
    };
    const int n = std::max(m_options.pages, 40);

    // The tree: page 0 is the start; pages 10 to 14 of every 25 stand where robots.txt has a say.
    std::vector<bool> disallowed(static_cast<size_t>(n), false);
    m_treeTargets.assign(size_t(n), std::string());
    for (int i = 0; i < n; ++i) {
        std::string target = i == 0 ? "/" : pageTarget(i);
        if (i >= 10) {
            switch (i % 25) {
            case 10:
                target = "/private/" + std::to_string(i) + ".html"; // Disallow: /private/
                disallowed[size_t(i)] = true;
                break;
            case 11:
                target = "/private/open-" + std::to_string(i) + ".html"; // the longer Allow wins
                break;
            case 12:
                target = "/cgi/" + std::to_string(i) + ".cgi"; // Disallow: /*.cgi$
                disallowed[size_t(i)] = true;
                break;
            case 13:
                target = "/cgi/" + std::to_string(i) + ".cgi?v=1"; // "$" is not the end here
                break;
            case 14:
                target = pageTarget(i) + "?session=7"; // Disallow: /*?session=
                disallowed[size_t(i)] = true;
                break;
            default:
                break;
            }
        }
        m_treeTargets[size_t(i)] = target;
    }
    std::vector<std::vector<int>> children(static_cast<size_t>(n));
    std::vector<int> parent(static_cast<size_t>(n), -1);
    for (int i = 1; i < n; ++i) {
        const int p = std::max(0, (i - 1) / 3 - int(rng() % 2));
        parent[size_t(i)] = p;
        children[size_t(p)].push_back(i);
    }

    const auto internal = [](const std::string &target, std::string fragment = {}, bool absolute = false) {
        return Link{false, target, std::move(fragment), absolute};
    };
    for (int i = 0; i < n; ++i) {
        std::vector<Link> links;
        for (const int c : children[size_t(i)]) {
            links.push_back(internal(m_treeTargets[size_t(c)], chance(4) ? "sec" : "", chance(3)));
            if (chance(8)) {
                links.push_back(internal(m_treeTargets[size_t(c)])); // a repeat counts as an inlink too
            }
        }
        if (i > 0) {
            links.push_back(internal(m_treeTargets[size_t(parent[size_t(i)])], "", chance(2)));
            if (chance(3)) {
                links.push_back(internal(m_treeTargets[rng() % unsigned(i)], chance(2) ? "top" : ""));
            }
            if (chance(10)) {
                links.push_back(Link{true, "/ext/" + std::to_string(rng() % 5) + ".html", {}, true});
            }
            if (i % 17 == 3) {
                links.push_back(internal("/files/doc.pdf"));
            } else if (i % 17 == 5) {
                links.push_back(internal("/files/notes.txt"));
            } else if (i % 17 == 7) {
                links.push_back(internal("/files/pic.png"));
            }
            if (i % 29 == 4) {
                links.push_back(internal("/missing/" + std::to_string(i) + ".html"));
            }
            if (i % 31 == 6) {
                links.push_back(internal("/error/" + std::to_string(i) + ".html"));
            }
        } else {
            for (const char *target : {"/moved/landing", "/loop/a", "/away", "/files/notes.txt", "/files/doc.pdf",
                                       "/files/pic.png", "/missing/0.html", "/error/0.html"}) {
                links.push_back(internal(target));
            }
            links.push_back(Link{true, "/ext/0.html", {}, true});
            if (m_options.holdOnePath) {
                links.push_back(internal("/files/held.txt"));
            }
        }
        addPage(m_treeTargets[size_t(i)], std::move(links), disallowed[size_t(i)]);
    }

    // Reached only through a redirect; the loop and the way off the site lead to no page.
    addPage("/landing.html", {internal("/"), internal(pageTarget(1))});
    m_nodes["/moved/landing"] = redirectNode(301, "/landing.html");
    m_nodes["/loop/a"] = redirectNode(302, "/loop/b");
    m_nodes["/loop/b"] = redirectNode(302, "/loop/a");
    m_nodes["/away"] = redirectNode(301, externalUrl("/ext/landing.html").toStdString());

    // Answers that are no pages to scan, though they hold links.
    m_nodes["/files/doc.pdf"] = resourceNode("application/pdf", "%PDF-1.4 <a href=\"/pages/never.html\">");
    m_nodes["/files/notes.txt"] = resourceNode("text/plain", "<a href=\"/pages/never.html\">never</a>");
    m_nodes["/files/pic.png"] = resourceNode("image/png", "\x89PNG\r\n");
    m_nodes["/files/held.txt"] = resourceNode("text/plain", "held", true);
    for (const auto &[target, node] : std::map<std::string, Node>(m_nodes)) {
        for (const Link &link : node.links) {
            if (link.target.starts_with("/missing/") || link.target.starts_with("/error/")) {
                Node error;
                error.status = link.target.starts_with("/missing/") ? 404 : 500;
                error.links = {
                    internal(link.target.starts_with("/missing/") ? "/pages/never-404.html" : "/pages/never-500.html")};
                m_nodes[link.target] = std::move(error);
            }
        }
    }
    for (const char *never : {"/pages/never.html", "/pages/never-404.html", "/pages/never-500.html"}) {
        addPage(never, {internal("/")});
    }
    addPage("/pages/from-outside.html", {internal("/")});

    // Pages the sitemaps list that no page links to, each with a child of its own.
    for (int k = 0; k < 4; ++k) {
        const std::string orphan = "/orphan/" + std::to_string(k) + ".html";
        const std::string child = "/orphan/" + std::to_string(k) + "-child.html";
        addPage(orphan, {internal(child), internal("/")});
        addPage(child, {internal("/")});
    }

    // The external host: its pages link onward on their own host and back into the site.
    const auto externalPage = [this](const std::string &target, std::vector<Link> links) {
        Node node;
        node.links = std::move(links);
        m_externalNodes[target] = std::move(node);
    };
    for (int k = 0; k < 5; ++k) {
        const std::string onward = "/ext/onward-" + std::to_string(k) + ".html";
        externalPage("/ext/" + std::to_string(k) + ".html",
                     {Link{true, onward, {}, false}, Link{false, "/pages/from-outside.html", {}, true}});
        externalPage(onward, {});
    }
    externalPage("/ext/sitemap-only.html", {});
    externalPage("/ext/landing.html", {Link{true, "/ext/onward-landing.html", {}, false}});
    externalPage("/ext/onward-landing.html", {});

    // robots.txt: the "*" group forbids everything; the crawl's own group is the one that counts.
    const std::string privateTarget = m_treeTargets[10];
    Node robots;
    robots.status = m_options.robotsStatus;
    robots.contentType = "text/plain";
    robots.body = "User-agent: *\nDisallow: /\n\n"
                  "User-agent: OtherBot\nAllow: /\n\n"
                  "User-agent: QuorvelTest\n"
                  "Disallow: /private/\n"
                  "Allow: /private/open\n"
                  "Disallow: /*.cgi$\n"
                  "Disallow: /*?session=\n\n"
                  "Sitemap: " +
                  url("/sitemaps/extra.xml").toStdString() + "\n";
    m_nodes["/robots.txt"] = robots;

    // Sitemaps, in the order the crawl reads them: robots.txt's, then /sitemap.xml, an index.
    const std::vector<std::string> extra = {"/orphan/3.html"};
    const std::vector<std::string> zipped = {"/orphan/0.html", "/orphan/1.html", pageTarget(5), privateTarget};
    const std::vector<std::string> plain = {"/orphan/2.html", "/"};
    const auto addresses = [this](const std::vector<std::string> &targets) {
        std::vector<std::string> out;
        for (const std::string &target : targets) {
            out.push_back(url(target).toStdString());
        }
        return out;
    };
    std::vector<std::string> extraAddresses = addresses(extra);
    extraAddresses.push_back(externalUrl("/ext/sitemap-only.html").toStdString()); // another host: not the site's
    m_nodes["/sitemaps/extra.xml"] = resourceNode("application/xml", urlSet(extraAddresses));
    m_nodes["/sitemaps/pages.xml.gz"] = resourceNode("application/gzip", gzipped(urlSet(addresses(zipped))));
    m_nodes["/sitemaps/more.xml"] = resourceNode("application/xml", urlSet(addresses(plain)));
    m_nodes["/sitemap.xml"] = resourceNode(
        "application/xml", R"(<?xml version="1.0" encoding="UTF-8"?>)"
                           "\n<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
                           "  <sitemap><loc>" +
                               url("/sitemaps/pages.xml.gz").toStdString() + "</loc></sitemap>\n  <sitemap><loc>" +
                               url("/sitemaps/more.xml").toStdString() + "</loc></sitemap>\n</sitemapindex>\n");
    m_sitemapTargets = extra;
    m_sitemapTargets.insert(m_sitemapTargets.end(), zipped.begin(), zipped.end());
    m_sitemapTargets.insert(m_sitemapTargets.end(), plain.begin(), plain.end());
}

std::string CrawlSite::render(const Node &node, bool external) const
{
    std::string html = "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>Page</title></head>\n"
                       "<body>\n<h1 id=\"sec\">Section</h1>\n";
    int i = 0;
    for (const Link &link : node.links) {
        std::string href;
        if (link.external != external || link.absolute) {
            href = addressOf(link).toStdString();
        } else {
            href = link.target;
        }
        if (!link.fragment.empty()) {
            href += "#" + link.fragment;
        }
        html += "<p>Link <a href=\"" + href + "\">number " + std::to_string(++i) + "</a></p>\n";
    }
    return html + "</body></html>\n";
}

void CrawlSite::serve(bool external, const httplib::Request &req, httplib::Response &res)
{
    std::string target = req.path;
    std::string separator = "?";
    for (const auto &[name, value] : req.params) {
        target += separator + name + "=" + value;
        separator = "&";
    }
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(Request{req.method, target, external});
        if (!external) {
            m_mostInFlight = std::max(m_mostInFlight, ++m_inFlight);
        }
    }
    if (const int delay = m_delayMs.load(); delay > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    const std::map<std::string, Node> &nodes = external ? m_externalNodes : m_nodes; // made before serving
    if (const auto it = nodes.find(target); it == nodes.end()) {
        res.status = 404;
        res.set_content("no such page", "text/plain");
    } else {
        const Node &node = it->second;
        if (node.holds) {
            m_held = true;
            m_gate.wait();
        }
        res.status = node.status;
        if (!node.redirect.empty()) {
            res.set_header("Location", node.redirect);
        } else if (node.contentType.starts_with("text/html")) {
            res.set_content(render(node, external), node.contentType.c_str());
        } else {
            res.set_content(node.body, node.contentType.c_str());
        }
    }
    if (!external) {
        const std::lock_guard lock(m_mutex);
        --m_inFlight;
    }
}

std::string CrawlSite::finalPage(const std::string &target) const
{
    std::string at = target;
    std::set<std::string> seen;
    while (seen.insert(at).second) {
        const auto it = m_nodes.find(at);
        if (it == m_nodes.end()) {
            return {};
        }
        const Node &node = it->second;
        if (node.redirect.empty()) {
            return node.status == 200 && node.contentType.starts_with("text/html") ? at : std::string();
        }
        if (!node.redirect.starts_with("/")) {
            return {}; // off the site
        }
        at = node.redirect;
    }
    return {}; // a loop
}

CrawlSite::Expectation CrawlSite::expect(int maxDepth, bool obeyRobots, bool useSitemap) const
{
    const auto allowed = [&](const std::string &target) {
        const auto it = m_nodes.find(target);
        return !obeyRobots || it == m_nodes.end() || !it->second.disallowed;
    };
    std::map<std::string, int> depth{{"/", 0}};
    std::vector<std::string> level{"/"};
    for (int d = 0; !level.empty() && d < maxDepth; ++d) {
        std::vector<std::string> deeper;
        const auto reach = [&](const std::string &target) {
            const std::string page = allowed(target) ? finalPage(target) : std::string();
            if (!page.empty() && allowed(page) && depth.emplace(page, d + 1).second) {
                deeper.push_back(page);
            }
        };
        if (d == 0 && useSitemap) {
            // The sitemaps' pages stand one link away from the start.
            std::for_each(m_sitemapTargets.begin(), m_sitemapTargets.end(), reach);
        }
        for (const std::string &target : level) {
            for (const Link &link : m_nodes.at(target).links) {
                if (!link.external) {
                    reach(link.target);
                }
            }
        }
        level = std::move(deeper);
    }

    Expectation e;
    std::map<QString, int> pointing; // every address rows of crawled pages point at
    QSet<QString> disallowedLinked;
    for (const auto &[target, d] : depth) {
        e.depths[url(target)] = d;
        for (const Link &link : m_nodes.at(target).links) {
            const QString address = addressOf(link);
            ++pointing[address];
            if (link.external) {
                continue;
            }
            if (obeyRobots && d < maxDepth && !allowed(link.target)) {
                disallowedLinked.insert(address);
                continue; // not asked: no final address
            }
            const std::string page = finalPage(link.target);
            if (!page.empty() && page != link.target) {
                ++pointing[url(page)];
            }
        }
    }
    for (const auto &[address, d] : e.depths) {
        e.inlinks[address] = pointing.contains(address) ? pointing.at(address) : 0;
    }
    if (useSitemap) {
        for (const std::string &target : m_sitemapTargets) {
            const QString address = url(target);
            if (target != "/" && !pointing.contains(address) && !e.orphans.contains(address)) {
                e.orphans.append(address);
            }
        }
    }
    e.orphans.sort();
    e.disallowedLinked = QStringList(disallowedLinked.cbegin(), disallowedLinked.cend());
    e.disallowedLinked.sort();
    return e;
}

QStringList CrawlSite::linkedOnlyFromNonPages() const
{
    return {url("/pages/never.html"), url("/pages/never-404.html"), url("/pages/never-500.html")};
}

QStringList CrawlSite::linkedOnlyFromOutside() const
{
    QStringList out{url("/pages/from-outside.html"), externalUrl("/ext/onward-landing.html")};
    for (int k = 0; k < 5; ++k) {
        out.append(externalUrl("/ext/onward-" + std::to_string(k) + ".html"));
    }
    return out;
}

std::vector<CrawlSite::Request> CrawlSite::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

int CrawlSite::count(const std::string &method, const std::string &target, bool external) const
{
    const std::lock_guard lock(m_mutex);
    return int(std::count_if(m_requests.begin(), m_requests.end(), [&](const Request &r) {
        return r.method == method && r.target == target && r.external == external;
    }));
}

int CrawlSite::mostInFlight() const
{
    const std::lock_guard lock(m_mutex);
    return m_mostInFlight;
}

} // namespace quorvel::test
