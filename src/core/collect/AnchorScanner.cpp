#include "core/collect/AnchorScanner.h"

namespace quorvel {

void ScanAnchors(const QString &, const QString &, const AnchorSink &) {}

QString DecodeCharacterReferences(QStringView text)
{
    return text.toString();
}

} // namespace quorvel
