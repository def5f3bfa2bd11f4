#pragma once

#include <QString>

namespace quorvel {

// The text to show for a caption key. Keys are the English texts themselves and there is no
// translation table, so the key comes back unchanged; every user-visible caption still passes
// through here so a translation can be added in one place.
QString LookupText(const QString &key);

} // namespace quorvel
