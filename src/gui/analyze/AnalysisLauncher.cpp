#include "gui/analyze/AnalysisLauncher.h"

#include "gui/analyze/TAnalyzeForm.h"

#include <QWidget>

using namespace Qt::StringLiterals;

namespace quorvel {

AnalysisLauncher::AnalysisLauncher(QWidget *window)
    : QObject(window)
    , m_window(window)
{}

AnalysisLauncher::~AnalysisLauncher()
{
    stopAll();
}

void AnalysisLauncher::stopAll()
{
    m_analyses.clear();
    m_busy.reset();
}

void AnalysisLauncher::analyze(const QString &address, const AnalysisOptions &options)
{
    if (!m_busy) {
        m_busy.emplace();
    }
    const quint64 analysis = ++m_last;
    m_analyses.emplace(analysis, runOwned<AnalysisResult>(
                                     u"Analysis"_s, this,
                                     [address, options](const std::atomic<bool> &stop) {
                                         AnalysisOptions stoppable = options;
                                         stoppable.stop = &stop;
                                         return runAnalysis(address, stoppable);
                                     },
                                     [this, analysis](const AnalysisResult &result) {
                                         m_analyses.erase(analysis);
                                         if (m_analyses.empty()) {
                                             m_busy.reset();
                                         }
                                         auto *form = new TAnalyzeForm(result, m_window);
                                         form->setWindowFlag(Qt::Window);
                                         form->show();
                                     }));
}

} // namespace quorvel
