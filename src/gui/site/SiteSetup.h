#pragma once

#include "core/crawl/Crawler.h"

#include <QChar>
#include <QString>

#include <functional>

namespace quorvel {

// What a Site window is given when it opens: the start address, the main window's options, where
// crawls are recorded, and how addresses are opened.
struct SiteSetup
{
    QString start;
    CrawlOptions options;
    // The main window's options as they are at the moment: asked at each Start; empty: options.
    std::function<CrawlOptions()> optionsNow;
    QString storePath;                                       // the crawl store; crawls.sqlite in the data folder
    QChar listSeparator = u',';                              // of a CSV report
    QString contentsHost;                                    // of Analyze URL; empty: the default
    std::function<void(const QString &address)> openAddress; // empty: the desktop's default handler
};

} // namespace quorvel
