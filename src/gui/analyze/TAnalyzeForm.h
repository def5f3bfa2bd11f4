#pragma once

#include <QMainWindow>

QT_BEGIN_NAMESPACE
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;
QT_END_NAMESPACE

namespace quorvel {

struct AnalysisResult;

// The Analyze window of one page: title, description, headings, contents, images and source, each
// with its length. Made per analysis, filled once, released when closed. UI thread.
class TAnalyzeForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAnalyzeForm)

public:
    explicit TAnalyzeForm(const AnalysisResult &result, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_placed = false; // centred once, at the first showing, when the frame's size is final

    QWidget *buildAnalyzeTab(const AnalysisResult &result);
    QWidget *buildImagesTab(const AnalysisResult &result);
    QWidget *buildSourceTab(const AnalysisResult &result);
};

} // namespace quorvel
