#include "gui/app/TAppForm.h"

#include "ui_TAppForm.h"

#include "core/app/DataFolder.h"
#include "core/app/OptionDefaults.h"
#include "core/app/SettingsStore.h"
#include "core/app/UrlHistory.h"
#include "core/app/VersionInfo.h"
#include "core/collect/LocalPage.h"
#include "core/common/Logging.h"
#include "core/common/Text.h"
#include "core/results/Export.h"
#include "gui/analyze/AnalysisLauncher.h"
#include "gui/app/AppFormOptions.h"
#include "gui/common/EscapeClears.h"
#include "gui/common/Icons.h"
#include "gui/common/LayoutStore.h"
#include "gui/common/WidgetPlacement.h"
#include "gui/results/ExportFileDialog.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/ResultsTable.h"
#include "gui/results/TFindDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The Check button's described width; a wider caption (a translation, a large font) widens it.
constexpr int kCheckButtonMinimumWidth = 130;

} // namespace

TAppForm::TAppForm(AppEnvironment environment, QWidget *parent)
    : QMainWindow(parent)
    , m_environment(std::move(environment))
    , m_ui(std::make_unique<Ui::TAppForm>())
{
    setObjectName(u"AppForm"_s);
    // Start-up, in order: identity, file drops, data folder, list separator. The identity comes
    // first: the menus' update notifier and the windows they open are given it when built.
    readIdentity();
    buildWindow();
    m_analyses = new AnalysisLauncher(this);
    buildPopupMenus();
    buildMenuBar();
    setAcceptDrops(true);
    m_dataFolder =
        chooseDataFolder(m_environment.programFolder, m_companyName, m_appProductName, m_environment.configHome);
    m_options = new AppFormOptions(optionControls(), SettingsStore::inFolder(m_dataFolder), this);
    m_options->applyStoredOptions();
    setHistory(HistoryEkle(m_dataFolder, QString()).lines);
    // A refused write is shown; the control keeps its new value.
    connect(m_options, &AppFormOptions::writeRefused, this, [this](const QString &error) {
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), error);
    });
    m_options->connectWriters();
    m_localeListSeparator = LocaleListSeparator(QLocale());
    restoreLayout();
    m_startupComplete = true;
    // Right after start-up the start address is selected, so typing replaces it.
    QTimer::singleShot(1, this, [this] { m_urlBox->lineEdit()->selectAll(); });
}

int TAppForm::analysesRunning() const
{
    return m_analyses->running();
}

UrlBaseMode TAppForm::urlBaseMode() const
{
    return m_domainName->isChecked()      ? UrlBaseMode::Domain
           : m_subdomainName->isChecked() ? UrlBaseMode::Subdomain
                                          : UrlBaseMode::None;
}

LinkCheckOptions TAppForm::checkOptions(const QString &agent) const
{
    LinkCheckOptions options;
    options.userAgent = agent;
    options.useHead = m_useHead->isChecked();
    options.connectTimeout = m_connectTimeout->text();
    options.responseTimeout = m_responseTimeout->text();
    options.parallel = m_parallelChecks->value();
    options.perHost = m_perHost->value();
    // With anchors kept, a "#name" must exist in the page it points into.
    options.checkFragments = !m_removeAnchors->isChecked();
    return options;
}

CrawlOptions TAppForm::crawlOptions() const
{
    CrawlOptions options;
    options.ignoreUrlsText = m_ignoreUrls->toPlainText();
    options.ignoreExtensionsText = trimControl(m_ignoreExtensions->text());
    options.removeAnchors = m_removeAnchors->isChecked();
    options.urlBase = urlBaseMode();
    options.check = checkOptions(m_agentBox->currentText());
    return options;
}

OptionControls TAppForm::optionControls() const
{
    OptionControls controls;
    controls.urlBox = m_urlBox;
    controls.showOptions = m_showOptions;
    controls.domainName = m_domainName;
    controls.subdomainName = m_subdomainName;
    controls.removeAnchors = m_removeAnchors;
    controls.useHead = m_useHead;
    controls.connectTimeout = m_connectTimeout;
    controls.responseTimeout = m_responseTimeout;
    controls.agentBox = m_agentBox;
    controls.ignoreExtensions = m_ignoreExtensions;
    controls.ignoreUrls = m_ignoreUrls;
    controls.parallelChecks = m_parallelChecks;
    controls.perHost = m_perHost;
    controls.optionRows = optionRows();
    return controls;
}

void TAppForm::setHistory(const QStringList &entries)
{
    // Replacing the list leaves the text in the box as it was, and writes nothing.
    const QSignalBlocker blocker(m_urlBox);
    const QString text = m_urlBox->currentText();
    m_urlBox->clear();
    m_urlBox->addItems(entries);
    m_urlBox->setCurrentIndex(-1);
    m_urlBox->setEditText(text);
}

TAppForm::~TAppForm()
{
    saveLayout();
}

QString TAppForm::layoutFile() const
{
    return m_dataFolder + u"window-state.ini"_s;
}

namespace {

const QString kResultsHeader = u"Results"_s;
const QString kSortColumnKey = u"Results/SortColumn"_s;
const QString kDescendingKey = u"Results/Descending"_s;
const QString kSortedKey = u"Results/Sorted"_s;

} // namespace

void TAppForm::restoreLayout()
{
    if (m_dataFolder.isEmpty()) {
        return;
    }
    m_layout = std::make_unique<LayoutStore>(layoutFile());
    m_layoutRestored = m_layout->restoreWindow(*this);
    m_layout->restoreHeader(kResultsHeader, *m_list->horizontalHeader());
    SortState sort;
    sort.SortedColumn1 = m_layout->intValue(kSortColumnKey, 0);
    sort.Descending1 = m_layout->intValue(kDescendingKey, 0) != 0;
    sort.sortedMode = m_layout->intValue(kSortedKey, 0) != 0;
    m_model->setSortState(sort);
    m_table->showSortState();
}

void TAppForm::saveLayout()
{
    if (!m_layout) {
        return;
    }
    m_layout->saveWindow(*this);
    m_layout->saveHeader(kResultsHeader, *m_list->horizontalHeader());
    const SortState &sort = m_model->sortState();
    m_layout->setInt(kSortColumnKey, sort.SortedColumn1);
    m_layout->setInt(kDescendingKey, sort.Descending1 ? 1 : 0);
    m_layout->setInt(kSortedKey, sort.sortedMode ? 1 : 0);
    // The layout is a convenience: a folder that refuses it costs the next start its layout only.
    QString error;
    if (!m_layout->sync(&error)) {
        qCWarning(lcGui).noquote() << error;
    }
}

void TAppForm::showRemembered()
{
    if (m_layoutRestored) {
        show();
    } else {
        showMaximized();
    }
}

void TAppForm::readIdentity()
{
    const AppIdentity identity = readAppIdentity(m_environment.programFile);
    m_startupError = identity.error;
    m_appProductName = identity.AppProductName;
    m_appVersion = identity.AppVersion;
    m_appTitle = identity.AppTitle;
    m_companyName = identity.CompanyName;
    setWindowTitle(m_appTitle);
}

void TAppForm::buildWindow()
{
    // The layout, captions, tab order and the described control names come from TAppForm.ui; the
    // code adds what a form cannot say: fonts with fall-backs, icons, validators, ranges from the
    // option limits, the list's model and header, and the status bar's panels.
    m_ui->setupUi(this);
    bindControls();
    setFontsAndColours();
    finishControls();
    buildStatusBar();
    // The described restored size, but never below the window's minimum (800 x 600), where every
    // caption still fits.
    centreOnScreen(*this, QSize(729, 455).expandedTo(minimumSize()));

    // A file dropped anywhere on the window goes to the URL box by the window's own rule, never as
    // its path typed into whichever text box lies under the mouse (the URL box's own line edit too:
    // there it would land in the middle of the address).
    for (QLineEdit *box : findChildren<QLineEdit *>()) {
        box->setAcceptDrops(false);
    }
    m_ignoreUrls->setAcceptDrops(false);
    connectControls();
}

void TAppForm::bindControls()
{
    const Ui::TAppForm &ui = *m_ui;
    m_urlBox = ui.Edit1;
    m_checkButton = ui.BitBtn1;
    m_showOptions = ui.CheckBox1;
    m_urlBaseRow = ui.Panel2;
    m_domainName = ui.RadioButton1;
    m_subdomainName = ui.RadioButton2;
    m_requestRow = ui.Panel4;
    m_connectTimeout = ui.Edit3;
    m_responseTimeout = ui.Edit4;
    m_parallelChecks = ui.ParallelChecks;
    m_perHost = ui.PerHost;
    m_agentBox = ui.ComboBox1;
    m_ignoreExtensionsRow = ui.Panel5;
    m_ignoreExtensions = ui.Edit2;
    m_checkOptionsRow = ui.Panel6;
    m_removeAnchors = ui.CheckBox2;
    m_useHead = ui.CheckBox3;
    m_ignoreUrlsRow = ui.Panel7;
    m_optionsPanel = ui.OptionsPanel;
    m_ignoreUrls = ui.Memo1;
    m_splitter = ui.OptionsSplitter;
    m_list = ui.ListBox1;
    m_problemsOnly = ui.ProblemsOnly;
    m_filterEdit = ui.FilterEdit;
    m_findButton = ui.Button1;
    m_exportButton = ui.Button3;
    m_brokenButton = ui.Button2;
    m_feedbackButton = ui.Button4;
    m_aboutButton = ui.Button5;
}

void TAppForm::setFontsAndColours()
{
    // Every control keeps the desktop's font and size, as menus and dialogs do; only the Check
    // button stands out, in bold. The URL box sets both of its colours, so it reads the same on a
    // light and on a dark desktop.
    QFont bold = m_checkButton->font();
    bold.setBold(true);
    m_checkButton->setFont(bold);
    m_urlBox->setStyleSheet(u"QComboBox { color: white; background-color: rgb(63, 81, 181); }"_s);
}

void TAppForm::fitButtonWidths()
{
    // The captions a run gives the two buttons, in the user's language and the font of the moment:
    // "STOP" takes the place of "Check" or "Check Broken Links" without moving anything, so a second
    // click at the same place stops the run.
    fitWidthToCaptions(*m_brokenButton, {checkBrokenLinksCaption(), stopCaption()});
    fitWidthToCaptions(*m_checkButton, {checkCaption(), stopCaption(), stoppingCaption()});
    m_checkButton->setFixedWidth(std::max(m_checkButton->minimumWidth(), kCheckButtonMinimumWidth));
}

void TAppForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    const bool built = m_brokenButton != nullptr && m_checkButton != nullptr;
    if (built && (event->type() == QEvent::FontChange || event->type() == QEvent::LanguageChange ||
                  event->type() == QEvent::StyleChange)) {
        fitButtonWidths();
    }
}

void TAppForm::finishControls()
{
    const auto *digits = new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), this);
    m_connectTimeout->setValidator(digits);
    m_responseTimeout->setValidator(digits);
    m_agentBox->addItems(agentList());
    m_parallelChecks->setRange(kMinParallelChecksOption, kMaxParallelChecksOption);
    m_parallelChecks->setValue(kDefaultParallelChecksOption);
    m_perHost->setRange(kMinPerHostOption, kMaxPerHostOption);
    m_perHost->setValue(kDefaultPerHostOption);

    m_problemsOnly->setStyleSheet(u"QCheckBox { margin: 2px 6px; }"_s); // aligned with the option rows

    m_model = new ResultsModel(m_list);
    m_list->setModel(m_model);
    m_table = new ResultsTable(m_list, m_model);
    m_filterEdit->setToolTip(tr("Show only the links whose address or anchor text holds this text (Esc clears)"));
    EscapeClears::install(m_filterEdit);
    // The filter box comes between "Problems only" and the list it filters.
    setTabOrder(m_problemsOnly, m_filterEdit);
    setTabOrder(m_filterEdit, m_list);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView *header = m_list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    for (const auto &[section, width] :
         {std::pair{1, 100}, {2, 100}, {4, 120}, {5, 120}, {LinkRow::kVerdictColumn, 110}}) {
        header->setSectionResizeMode(section, QHeaderView::Interactive);
        // Wide enough for its caption (in any language) beside the sort arrow.
        const QString caption = m_model->headerData(section, Qt::Horizontal).toString();
        header->resizeSection(section, std::max(width, header->fontMetrics().horizontalAdvance(caption) + 24));
    }
    // The options and the results share the splitter; its bar sets the options' height, which
    // the Ignore URLs box takes up or gives back.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);

    const QSize iconSize(32, 32);
    m_findButton->setIcon(namedIcon(u"search"_s));
    m_exportButton->setIcon(namedIcon(u"document-save"_s));
    m_brokenButton->setIcon(namedIcon(u"link_break"_s));
    m_feedbackButton->setIcon(namedIcon(u"feedback"_s));
    m_aboutButton->setIcon(namedIcon(u"about"_s));
    fitButtonWidths();
}

void TAppForm::connectControls()
{
    connect(m_checkButton, &QToolButton::clicked, this, &TAppForm::onCheckClicked);
    m_urlBox->installEventFilter(this);
    m_urlBox->lineEdit()->installEventFilter(this);
    connect(m_urlBox->lineEdit(), &QLineEdit::returnPressed, this, &TAppForm::onCheckClicked);
    connect(m_brokenButton, &QPushButton::clicked, this, &TAppForm::onCheckBrokenLinksClicked);
    connect(m_showOptions, &QCheckBox::toggled, this, &TAppForm::onShowOptionsToggled);
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this, &TAppForm::onHeaderClicked);
    connect(m_list, &QTableView::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_popupSource = PopupSource::List;
        m_listMenu->popup(m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_findButton, &QPushButton::clicked, this, &TAppForm::onFind);
    connect(m_filterEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filterText = text;
        applyProblemsFilter(0, m_model->rowCount() - 1);
    });
    connect(m_exportButton, &QPushButton::clicked, this, &TAppForm::onExport);
    connectProblemsFilter();
}

QList<QWidget *> TAppForm::optionRows() const
{
    // The panel around them first: shown before its rows, hidden after them.
    return {m_optionsPanel, m_urlBaseRow, m_requestRow, m_ignoreExtensionsRow, m_checkOptionsRow, m_ignoreUrlsRow};
}

void TAppForm::onShowOptionsToggled(bool on)
{
    // Shown top to bottom, hidden bottom to top.
    QList<QWidget *> rows = optionRows();
    if (!on) {
        std::reverse(rows.begin(), rows.end());
    }
    for (QWidget *row : rows) {
        row->setVisible(on);
    }
    if (on) {
        m_agentBox->lineEdit()->deselect();
    }
}

void TAppForm::onExport()
{
    ExportFileDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    QString error;
    if (!writeExportFile(dialog.selectedFiles().first(), m_model->rows(), m_localeListSeparator, &error)) {
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), error);
    }
}

void TAppForm::setLocalFile(const QString &path)
{
    m_urlBox->setEditText(localAddressOf(path));
}

void TAppForm::beep() const
{
    if (m_environment.beep) {
        m_environment.beep();
    } else {
        QApplication::beep();
    }
}

void TAppForm::openAddress(const QString &address) const
{
    if (m_environment.openAddress) {
        m_environment.openAddress(address);
    } else {
        QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
    }
}

bool TAppForm::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach the combo box, which hands them to its line edit without filters; both are watched.
    if ((watched == m_urlBox || watched == m_urlBox->lineEdit()) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_V && key->modifiers() == Qt::ControlModifier) {
            // Pasted line breaks become blanks, so the box keeps one line.
            m_urlBox->lineEdit()->insert(pasteText(QGuiApplication::clipboard()->text()));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TAppForm::closeEvent(QCloseEvent *event)
{
    // The window closes at once; a run, a check pass or an analysis still going is stopped and
    // its thread joined.
    ++m_generation;
    m_collector.reset();
    m_checkPass.reset();
    m_analyses->stopAll();
    m_runBusy.reset();
    if (m_findDialog) {
        m_findDialog->close();
    }
    event->accept();
}

void TAppForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TAppForm::dropEvent(QDropEvent *event)
{
    // The last existing file wins; folders and anything else are ignored.
    for (const QUrl &url : event->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            setLocalFile(path);
        }
    }
    event->acceptProposedAction();
}

void TAppForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_startupComplete) {
        m_agentBox->lineEdit()->deselect();
    }
}

} // namespace quorvel
