#include "core/app/MakerSite.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(MakerSite, AddressesFormedFromTheHost)
{
    const MakerSite site(u"maker.test:8080"_s);

    struct Case
    {
        const char *name;
        QString address;
        QString expected;
    };

    const std::vector<Case> cases = {
        {"start URL", site.startUrl(), u"http://maker.test:8080"_s},
        {"help", site.helpUrl(u"Quorvel"_s), u"http://maker.test:8080/help/quorvel/"_s},
        {"help with blanks", site.helpUrl(u"Link Analyzer Pro"_s), u"http://maker.test:8080/help/link-analyzer-pro/"_s},
        {"home", site.homeUrl(), u"https://maker.test:8080"_s},
        {"credits", site.creditsUrl(), u"https://maker.test:8080/blog/credits-and-acknowledgements/"_s},
        {"uninstall", site.uninstallUrl(), u"http://maker.test:8080/blog/how-to-uninstall-brellan-software/"_s},
        {"update fallback", site.updateFallbackUrl(), u"http://maker.test:8080"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.address, c.expected);
    }
    EXPECT_EQ(site.feedbackUrls(), (QStringList{u"https://maker.test:8080/php/feedback.php"_s,
                                                u"http://maker.test:8080/php/feedback.php"_s}));
    // Without a host of its own, the site is the build's.
    EXPECT_EQ(MakerSite().startUrl(), u"http://"_s + QStringLiteral(QUORVEL_MAKER_HOST));
}

} // namespace quorvel::test
