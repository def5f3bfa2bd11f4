#include "support/Fixtures.h"

using namespace Qt::StringLiterals;

namespace quorvel::test {

QString dataPath(const QString &fileName)
{
    return QStringLiteral(QUORVEL_TEST_DATA_DIR) + u'/' + fileName;
}

} // namespace quorvel::test
