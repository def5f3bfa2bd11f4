#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QString values in GoogleTest failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quorvel::test {

// The folder of the committed test pages (tests/data).
QString dataPath(const QString &fileName);

} // namespace quorvel::test
