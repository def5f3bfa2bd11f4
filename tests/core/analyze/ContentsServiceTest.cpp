#include "core/analyze/ContentsService.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(ContentsService, EncodesTheWholeAddressForTheQuery)
{
    struct Case
    {
        const char *name;
        QString in;
        QString out;
    };

    const std::vector<Case> cases = {
        {"letters, digits and the nine marks pass", u"AZaz09!$'()*-._@"_s, u"AZaz09!$'()*-._@"_s},
        {"blank becomes plus", u"a b"_s, u"a+b"_s},
        {"address separators are encoded", u"http://h.com/a?x=1&y"_s, u"http%3A%2F%2Fh.com%2Fa%3Fx%3D1%26y"_s},
        {"percent and plus are encoded", u"%2B+"_s, u"%252B%2B"_s},
        {"other ASCII marks are encoded", u"~#,;[]\"<>"_s, u"%7E%23%2C%3B%5B%5D%22%3C%3E"_s},
        {"two-byte letter, upper-case hex", u"caf\u00E9"_s, u"caf%C3%A9"_s},
        {"three-byte letter", u"\u20AC"_s, u"%E2%82%AC"_s},
        {"surrogate pair becomes its four bytes", u"\U0001F600"_s, u"%F0%9F%98%80"_s},
        {"control characters and DEL", u"\t\u0001\n\u007F"_s, u"%09%01%0A%7F"_s},
        {"NUL", QString(QChar(0)), u"%00"_s},
        {"lone surrogate as the replacement character", QString(QChar(0xD800)) + u"a"_s, u"%EF%BF%BDa"_s},
        {"empty", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeForQuery(c.in), c.out);
    }
}

TEST(ContentsService, AddressGoesToTheServicePathOverHttps)
{
    EXPECT_EQ(contentsServiceAddress(QString::fromUtf16(kContentsServiceHost), u"http://example.com/a b?q=1"_s),
              u"https://www.w3.org/services/html2txt?url=http%3A%2F%2Fexample.com%2Fa+b%3Fq%3D1"_s);
    EXPECT_EQ(contentsServiceAddress(u"127.0.0.1:8443"_s, u"x"_s), u"https://127.0.0.1:8443/services/html2txt?url=x"_s);
}

} // namespace quorvel::test
