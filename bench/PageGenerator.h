#pragma once

#include <QByteArray>

namespace quorvel::bench {

// A seeded page of about targetBytes with the given number of anchors in mixed forms: both quotes,
// capitals, rel values, entities, relative and absolute hrefs, some closing tags missing.
QByteArray generatePage(qint64 targetBytes, int anchors, unsigned seed = 20261210);

} // namespace quorvel::bench
