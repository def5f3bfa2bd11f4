#pragma once

#include "core/results/ParallelChecks.h"

#include <QString>
#include <QStringList>

namespace quorvel {

// The values a first start shows in the option rows; the window and the CLI share them.

// The maker's home page; QUORVEL_MAKER_HOST is a build option.
inline QString defaultStartUrl()
{
    return QStringLiteral("http://" QUORVEL_MAKER_HOST);
}

inline QString defaultIgnoreExtensions()
{
    return QStringLiteral("ico jpg jpeg png gif bmp svg css js exe zip rar 7z apk pdf doc docx xls xlsx ppt pptx");
}

// The Agent box's list, in the order it shows them; the first entry is the default agent.
inline QStringList agentList()
{
    return {
        QStringLiteral("Embarcadero URI Client/1.0"),
        QStringLiteral("Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
                       "Chrome/87.0.4280.88 Safari/537.36"),
        QStringLiteral("Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/41.0.2228.0 "
                       "Safari/537.36"),
        QStringLiteral("Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"),
        QStringLiteral("Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)"),
        QStringLiteral("Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)"),
    };
}

inline QString defaultAgent()
{
    return agentList().constFirst();
}

inline QString defaultTimeoutText()
{
    return QStringLiteral("5000");
}

// A placeholder site, once with each scheme, so the user sees what the box expects.
inline QStringList defaultIgnoreUrlLines()
{
    return {QStringLiteral("http://www.example.com/"), QStringLiteral("https://www.example.com/")};
}

// The Ignore URLs box's whole text for the default lines (a plain-text box separates lines with LF).
inline QString defaultIgnoreUrlsText()
{
    return defaultIgnoreUrlLines().join(QChar(u'\n'));
}

} // namespace quorvel
