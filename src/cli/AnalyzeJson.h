#pragma once

#include "core/analyze/RunAnalysis.h"

#include <QByteArray>

namespace quorvel {

// The analysis as one JSON object (UTF-8, ended by a line feed), keys in this order: url, title,
// description, h1, h2, h3, contents, images [{src, alt, title}], source_length, counts {url, title,
// description, h1, h2, h3, contents}. Lengths are in UTF-16 code units, as the window counts them.
QByteArray analysisToJson(const AnalysisResult &result);

} // namespace quorvel
