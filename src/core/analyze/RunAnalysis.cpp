#include "core/analyze/RunAnalysis.h"

#include "core/collect/LocalPage.h"
#include "core/collect/PageFetcher.h"
#include "core/common/Logging.h"

#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The Contents text: a local page's own rendering, or the text service's rendering of a web page
// (asked even when stopped: the fetch ends at once and its message is the error).
void fillContents(AnalysisResult &result, bool local, const QString &renderedText, bool stopped,
                  const QString &contentsHost, const FetchOptions &fetch)
{
    if (local) {
        if (!result.pageError.isEmpty()) {
            result.contentsError = result.pageError;
        } else if (stopped) {
            result.contentsError = QString::fromUtf16(kAnalysisStoppedMessage);
        } else {
            result.contents = renderedText;
        }
        return;
    }
    const FetchedPage contents = FetchPage(contentsServiceAddress(contentsHost, result.url), fetch);
    result.contents = memoText(contents.text);
    if (result.contents.isEmpty()) {
        result.contentsError = contents.error;
    }
}

} // namespace

AnalysisResult runAnalysis(const QString &address, const AnalysisOptions &options)
{
    QElapsedTimer timer;
    timer.start();
    qCDebug(lcAnalyze).noquote() << "analysis of" << address;
    AnalysisResult result;
    result.url = address;
    auto stopped = [&options] {
        return options.stop && options.stop->load();
    };

    FetchOptions fetch;
    fetch.userAgent = options.userAgent;
    fetch.cancel = options.stop;

    const bool local = isLocalAddress(address);
    if (local) {
        const PageText page = readLocalPage(address);
        result.source = page.text;
        result.pageError = page.error;
    } else {
        const FetchedPage page = FetchPage(address, fetch);
        result.source = page.text;
        result.pageError = page.error;
    }

    QString note;
    QString renderedText;
    if (!stopped()) {
        const PageAnalysis analysis = analyzeHtml(result.source);
        result.title = analysis.title;
        result.description = memoText(analysis.description);
        result.h1 = analysis.h1;
        result.h2 = analysis.h2;
        result.h3 = analysis.h3;
        renderedText = analysis.text;
        note = analysis.note;
    }

    fillContents(result, local, renderedText, stopped(), options.contentsHost, fetch);
    if (!note.isEmpty()) {
        result.contents = result.contents.isEmpty() ? note : note + u"\r\n\r\n"_s + result.contents;
    }

    result.counts =
        countsFor(result.url, result.title, result.description, result.h1, result.h2, result.h3, result.contents);
    if (!stopped()) {
        result.images = ImagesListele(result.source);
    }
    qCDebug(lcAnalyze).nospace().noquote()
        << "analysis of " << address << " ended in " << timer.elapsed() << " ms: " << result.source.size()
        << " characters, " << result.images.size() << " images"
        << (result.pageError.isEmpty() ? QString() : u", page error: "_s + result.pageError)
        << (result.contentsError.isEmpty() ? QString() : u", contents error: "_s + result.contentsError);
    return result;
}

} // namespace quorvel
