// The main window's two long operations: a collection run (Check) and a broken-link pass (Check
// Broken Links), and the run state that sets the controls while they go.

#include "core/app/UrlHistory.h"
#include "core/common/Text.h"
#include "core/results/CheckResult.h"
#include "gui/app/TAppForm.h"
#include "gui/results/ResultsModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace quorvel {

void TAppForm::setRunState(RunState state)
{
    // Every control the state governs is set each time, so the look never depends on the state
    // before.
    m_runState = state;
    const bool collecting = state == RunState::Collecting || state == RunState::Stopping;
    m_checkButton->setText(state == RunState::Collecting ? stopCaption()
                           : state == RunState::Stopping ? stoppingCaption()
                                                         : checkCaption());
    m_checkButton->setEnabled(state == RunState::Idle || state == RunState::Collecting);
    for (QWidget *row : optionRows()) {
        row->setEnabled(!collecting);
    }
    m_brokenButton->setText(state == RunState::CheckingLinks ? stopCaption() : checkBrokenLinksCaption());
    m_brokenButton->setEnabled(!collecting);
    // A pass takes the HEAD and Per host options as they are when it starts; changing them then
    // would have no effect.
    m_useHead->setEnabled(state != RunState::CheckingLinks);
    m_perHost->setEnabled(state != RunState::CheckingLinks);
    if (state == RunState::Idle) {
        m_runBusy.reset();
    } else if (!m_runBusy) {
        m_runBusy.emplace();
    }
}

void TAppForm::onCheckClicked()
{
    // Enter and the menus' Check item do what a click does: nothing while the button is disabled
    // (a broken-link pass runs, or a stop is under way).
    if (m_runState == RunState::Stopping || m_runState == RunState::CheckingLinks) {
        return;
    }
    if (m_runState == RunState::Collecting) {
        if (m_collector) {
            m_collector->requestStop();
        }
        setRunState(RunState::Stopping);
        return;
    }
    if (trimControl(m_urlBox->currentText()).isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Please enter URL!"));
        m_urlBox->setFocus();
        return;
    }
    startRun();
}

void TAppForm::startRun()
{
    setRunState(RunState::Collecting);
    m_ignoredExtensions = trimControl(m_ignoreExtensions->text());
    m_requestAgent = m_agentBox->currentText();

    const QString address = fixUpAddress(m_urlBox->currentText());
    if (address != m_urlBox->currentText()) {
        m_urlBox->setEditText(address);
    }
    m_model->clear();
    const HistoryUpdate history = HistoryEkle(m_dataFolder, address);
    setHistory(history.lines);
    if (!history.error.isEmpty()) {
        // The run goes on without the history.
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), history.error);
    }
    m_model->runStarted();

    CollectionSnapshot snapshot;
    snapshot.address = address;
    snapshot.ignoreUrlsText = m_ignoreUrls->toPlainText();
    snapshot.ignoreExtensionsText = m_ignoredExtensions;
    snapshot.removeAnchors = m_removeAnchors->isChecked();
    snapshot.urlBase = urlBaseMode();
    snapshot.userAgent = m_requestAgent;
    snapshot.generation = ++m_generation;

    m_collector = TCollector::create(snapshot);
    TCollector *run = m_collector.get();
    connect(run, &TCollector::loading, this, &TAppForm::onLoading);
    connect(run, &TCollector::redirectRow, this, &TAppForm::onRedirectRow);
    connect(run, &TCollector::urlBoxChanged, this, &TAppForm::onUrlBoxChanged);
    connect(run, &TCollector::rowsCollected, this, &TAppForm::onRowsCollected);
    connect(run, &TCollector::finished, this, &TAppForm::onRunFinished);
    m_statusTotal->setText(tr("Total Links: %1").arg(0));
    m_collector.start();
}

void TAppForm::onLoading(quint64 generation, const QString &address)
{
    if (generation != m_generation) {
        return;
    }
    showTotal();
    m_statusActivity->setText(tr("Loading: %1").arg(address));
}

void TAppForm::onRedirectRow(quint64 generation, const LinkRow &row)
{
    if (generation == m_generation) {
        m_model->appendRows({row});
    }
}

void TAppForm::onUrlBoxChanged(quint64 generation, const QString &target)
{
    if (generation == m_generation) {
        m_urlBox->setEditText(target);
    }
}

void TAppForm::onRowsCollected(quint64 generation, const QList<LinkRow> &rows)
{
    if (generation == m_generation) {
        m_model->appendRows(rows);
    }
}

void TAppForm::onRunFinished(quint64 generation, qsizetype, const QString &error)
{
    if (generation != m_generation) {
        return;
    }
    const bool stoppedByUser = m_runState == RunState::Stopping;
    m_collector.reset();
    showTotal();
    IslemTamam();
    // A page that could not be loaded must not pass for one without links: the reason stays in the
    // activity panel until the next run.
    if (!error.isEmpty() && !stoppedByUser) {
        m_statusActivity->setText(tr("Could not load: %1").arg(error));
    }
    beep();
}

void TAppForm::IslemTamam()
{
    setRunState(RunState::Idle);
    m_statusActivity->clear();
}

void TAppForm::onHeaderClicked(int column)
{
    // The table is never re-ordered under a running collection or check.
    if (m_runState != RunState::Idle) {
        return;
    }
    m_model->headerClicked(column);
}

void TAppForm::onCheckBrokenLinksClicked()
{
    if (m_runState == RunState::CheckingLinks) {
        if (m_checkPass) {
            m_checkPass->stop();
        }
        return;
    }
    if (m_runState != RunState::Idle) {
        return; // the button is disabled during a collection run
    }
    m_statusActivity->setText(tr("Checking Broken Links..."));
    setRunState(RunState::CheckingLinks);
    if (m_model->rowCount() > 0) {
        selectRow(0);
        m_list->setFocus();
    }
    m_model->resetCheckCells();

    const QStringList links = linksOfRows(m_model->rows());
    const LinkCheckOptions options = checkOptions(m_requestAgent);
    m_checkedRows = 0;
    showCheckProgress(0, static_cast<int>(links.size()));
    m_checkProgress->setVisible(true);

    m_checkPass = LinkChecker::createOnWorkerThread(links, options);
    connect(m_checkPass.get(), &LinkChecker::rowChecked, this, &TAppForm::onRowChecked);
    connect(m_checkPass.get(), &LinkChecker::finished, this, &TAppForm::onCheckPassFinished);
    m_checkPass.start();
}

void TAppForm::onRowChecked(int row, const TURLStatus &status)
{
    if (sender() != m_checkPass.get()) {
        return; // a pass that was already ended
    }
    m_model->setCheckResult(row, status);
    showCheckProgress(++m_checkedRows, m_checkProgress->maximum());
}

void TAppForm::onCheckPassFinished()
{
    if (sender() != m_checkPass.get()) {
        return;
    }
    m_checkPass.reset();
    setRunState(RunState::Idle);
    m_statusActivity->clear();
    m_checkProgress->setVisible(false);
    showCheckSummary();
    beep();
}

} // namespace quorvel
