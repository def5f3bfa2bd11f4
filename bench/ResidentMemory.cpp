#include "ResidentMemory.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace quorvel::bench {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

} // namespace quorvel::bench
