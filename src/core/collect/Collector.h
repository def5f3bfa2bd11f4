#pragma once

#include "core/collect/RunOptions.h"
#include "core/results/LinkRow.h"

#include <QString>

namespace quorvel {

// The Check command's fix-up of the URL box text: "http://" is put in front unless the text begins
// with "http" or "file:///" (both case-sensitive, the text untrimmed).
QString FixUpAddress(const QString &boxText);

// Scans a page and turns every link found into rows, in page order.
LinkRows CollectLinks(const QString &pageText, const QString &base, const RunOptions &options);

} // namespace quorvel
