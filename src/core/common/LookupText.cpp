#include "core/common/LookupText.h"

namespace quorvel {

QString LookupText(const QString &key)
{
    return key;
}

} // namespace quorvel
