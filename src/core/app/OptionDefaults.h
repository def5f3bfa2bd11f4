#pragma once

#include <QString>

namespace quorvel {

// The values a first start shows in the option rows; the window and the CLI share them.
inline QString DefaultIgnoreExtensions()
{
    return QStringLiteral("ico jpg jpeg png gif bmp svg css js exe zip rar 7z apk pdf doc docx xls xlsx ppt pptx");
}

inline QString DefaultAgent()
{
    return QStringLiteral("Embarcadero URI Client/1.0");
}

inline QString DefaultTimeoutText()
{
    return QStringLiteral("5000");
}

} // namespace quorvel
