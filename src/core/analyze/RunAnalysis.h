#pragma once

#include "core/analyze/ContentsService.h"
#include "core/analyze/ImageInventory.h"
#include "core/analyze/PageAnalysis.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace quorvel {

struct AnalysisOptions
{
    QString userAgent;
    QString contentsHost = QString::fromUtf16(kContentsServiceHost);
    const std::atomic<bool> *stop = nullptr; // cuts the fetches off and skips the steps not yet begun
};

// Everything the Analyze window shows for one address.
struct AnalysisResult
{
    QString url;       // the address as chosen
    QString source;    // the page text as fetched or read (Source tab); empty when it could not be had
    QString pageError; // why the page could not be had; the window does not show it
    QString title;
    QString description; // as the memo holds it: line breaks as CR LF
    QStringList h1;
    QStringList h2;
    QStringList h3;
    // The text service's answer; for a local file the page's own rendered text. A note comes first
    // when only part of the page was parsed.
    QString contents;
    // Why there are no contents: the text service's or the local file's error, or a stop. It is not
    // the page's text, so it is neither in `contents` nor counted.
    QString contentsError;
    ImageRows images;
    AnalysisCounts counts;
};

// The message shown as the contents when a stop came before the analysis of a local file.
inline constexpr const char16_t *kAnalysisStoppedMessage = u"The analysis was stopped.";

// Analyses one page synchronously on the calling thread: fetches it (http, https) or reads it
// ("file:///"), parses it once, asks the text service for its contents (a local file's contents are
// rendered here, as the service cannot reach it) and lists its images.
AnalysisResult runAnalysis(const QString &address, const AnalysisOptions &options);

} // namespace quorvel
