#pragma once

#include "core/analyze/RunAnalysis.h"
#include "core/common/OwnedThread.h"
#include "gui/common/BusyCursor.h"

#include <QObject>
#include <QString>

#include <map>
#include <optional>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

// Analyze URL for a window: each analysis fetches and parses off the UI thread, on its own thread
// with its own stop token, and opens its Analyze window when done; the wait cursor shows while any
// runs. Dropping the launcher (or stopAll) stops them and waits. UI thread.
class AnalysisLauncher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AnalysisLauncher)

public:
    // Analyze windows open as windows of their own, owned by window.
    explicit AnalysisLauncher(QWidget *window);
    ~AnalysisLauncher() override;

    void analyze(const QString &address, const AnalysisOptions &options);
    void stopAll();
    // Analyses whose page is still being fetched.
    int running() const { return static_cast<int>(m_analyses.size()); }

private:
    QWidget *m_window;
    std::map<quint64, OwnedThreadPtr> m_analyses;
    quint64 m_last = 0;
    std::optional<BusyCursor> m_busy;
};

} // namespace quorvel
