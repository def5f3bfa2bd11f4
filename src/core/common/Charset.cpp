#include "core/common/Charset.h"

namespace quorvel {

QString DecodeBody(const QByteArray &, const QByteArray &body)
{
    return QString::fromLatin1(body);
}

} // namespace quorvel
