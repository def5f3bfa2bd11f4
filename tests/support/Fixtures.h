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

// A file's bytes, or "<unreadable>" when it cannot be opened.
QByteArray readAll(const QString &path);

// Writes bytes as a file's whole content; a failure fails the test.
void writeAll(const QString &path, const QByteArray &bytes);

} // namespace quorvel::test
