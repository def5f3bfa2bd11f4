#include "core/common/LookupText.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(LookupText, ReturnsTheKeyUnchanged)
{
    for (const QString &key : {u""_s, u"Yes"_s, u"Restart Application?"_s, u" padded \r\n"_s, u"\u00E9\u4E2D"_s}) {
        EXPECT_EQ(LookupText(key), key);
    }
}

} // namespace quorvel::test
