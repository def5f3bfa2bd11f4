#include "PageGenerator.h"

#include <random>
#include <string>

namespace quorvel::bench {

QByteArray generatePage(qint64 targetBytes, int anchors, unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) {
        return static_cast<int>(rng() % static_cast<unsigned>(n));
    };
    static const char *const kRels[] = {
        "", " rel=\"nofollow\"", " rel=\"sponsored noopener\"", " rel=\"UGC\"", " rel=\"noopener\"", " rel='nofollow'"};
    static const char *const kTexts[] = {"Home",        "Read &amp; learn",    "caf&#233; &#x41;",
                                         "A&nbsp;B",    "<img src=\"i.png\">", "line one\nline two",
                                         "&lt;tag&gt;", "plain anchor text"};

    QByteArray page;
    page.reserve(targetBytes + 4096);
    page += "<!DOCTYPE html>\n<html><head><title>bench</title></head><body>\n";
    const qint64 perAnchor = anchors > 0 ? targetBytes / anchors : targetBytes;
    std::string filler;
    for (int i = 0; i < anchors; ++i) {
        const qint64 lineStart = page.size();
        std::string href;
        switch (pick(8)) {
        case 0:
            href = "/abs/path/" + std::to_string(i) + ".html";
            break;
        case 1:
            href = "rel/page" + std::to_string(i) + ".html?q=" + std::to_string(i);
            break;
        case 2:
            href = "../up/" + std::to_string(i);
            break;
        case 3:
            href = "http://www.example.com/a/" + std::to_string(i);
            break;
        case 4:
            href = "https://sub" + std::to_string(i % 50) + ".other-site.co.uk/x#frag";
            break;
        case 5:
            href = "//cdn.example.com/lib" + std::to_string(i) + ".js";
            break;
        case 6:
            href = "mailto:user" + std::to_string(i) + "@example.com";
            break;
        default:
            href = "#section" + std::to_string(i);
            break;
        }
        const bool single = pick(4) == 0;
        const bool capitals = pick(5) == 0;
        const char q = single ? '\'' : '"';
        std::string tag = capitals ? "<A HREF=" : "<a href=";
        tag += q;
        tag += href;
        tag += q;
        tag += kRels[pick(6)];
        tag += ">";
        tag += kTexts[pick(8)];
        if (pick(20) != 0) {
            tag += capitals ? "</A>" : "</a>";
        }
        page += "<p>";
        page += tag.c_str();
        // Pads to the page's length per anchor with prose that holds no "<a ".
        const qint64 used = page.size() - lineStart;
        if (used + 6 < perAnchor) {
            filler.assign(static_cast<size_t>(perAnchor - used - 6), 'x');
            for (size_t k = 7; k < filler.size(); k += 8) {
                filler[k] = ' ';
            }
            page += filler.c_str();
        }
        page += "</p>\n";
    }
    page += "</body></html>\n";
    return page;
}

} // namespace quorvel::bench
