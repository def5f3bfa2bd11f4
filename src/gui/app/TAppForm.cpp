#include "gui/app/TAppForm.h"

#include "ui_TAppForm.h"

#include "core/analyze/RunAnalysis.h"
#include "core/app/DataFolder.h"
#include "core/app/MakerSite.h"
#include "core/app/OptionDefaults.h"
#include "core/app/OptionValues.h"
#include "core/app/SettingsStore.h"
#include "core/app/UrlHistory.h"
#include "core/app/VersionInfo.h"
#include "core/collect/LocalPage.h"
#include "core/common/LookupText.h"
#include "core/common/Text.h"
#include "core/results/CheckResult.h"
#include "core/results/Export.h"
#include "core/results/RowOrder.h"
#include "gui/analyze/TAnalyzeForm.h"
#include "gui/app/AppFormOptions.h"
#include "gui/common/BusyCursor.h"
#include "gui/common/CaptionDialog.h"
#include "gui/common/Icons.h"
#include "gui/common/WidgetPlacement.h"
#include "gui/results/ExportFileDialog.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/TFindDialog.h"
#include "gui/windows/TAboutBox.h"
#include "gui/windows/TFeedbackForm.h"
#include "gui/windows/UpdateNotifier.h"
#include "gui/windows/WindowContext.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
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

const QString kCheck = u"Check"_s;
const QString kStop = u"STOP"_s;
const QString kStopping = u"Stopping..."_s;
const QString kCheckBrokenLinks = u"Check Broken Links"_s;
const QString kNotFound = u"Not found"_s;

// Tahoma where the system has it, else the closest sans-serif.
QFont tahoma(int pixelSize, bool bold = false)
{
    QFont font;
    font.setFamilies({u"Tahoma"_s, u"DejaVu Sans"_s, u"Liberation Sans"_s, u"Sans Serif"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TAppForm::TAppForm(AppEnvironment environment, QWidget *parent)
    : QMainWindow(parent)
    , m_environment(std::move(environment))
    , m_ui(std::make_unique<Ui::TAppForm>())
{
    setObjectName(u"AppForm"_s);
    setFont(tahoma(11));
    // Start-up, in order: identity, file drops, data folder, list separator. The identity comes
    // first: the menus' update notifier and the windows they open are given it when built.
    readIdentity();
    buildWindow();
    buildMenus();
    setAcceptDrops(true);
    m_dataFolder =
        ChooseDataFolder(m_environment.programFolder, m_companyName, m_appProductName, m_environment.configHome);
    m_options = new AppFormOptions(optionControls(), SettingsStore::inFolder(m_dataFolder), this);
    m_options->applyStoredOptions();
    setHistory(HistoryEkle(m_dataFolder, QString()).lines);
    // A refused write is shown; the control keeps its new value.
    connect(m_options, &AppFormOptions::writeRefused, this, [this](const QString &error) {
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), error);
    });
    m_options->connectWriters();
    m_localeListSeparator = LocaleListSeparator(QLocale());
    m_startupComplete = true;
    // Right after start-up the start address is selected, so typing replaces it.
    QTimer::singleShot(1, this, [this] { m_urlBox->lineEdit()->selectAll(); });
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

TAppForm::~TAppForm() = default;

void TAppForm::readIdentity()
{
    const AppIdentity identity = ReadAppIdentity(m_environment.programFile);
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
    CentreOnScreen(*this, QSize(729, 455));

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
    m_agentBox = ui.ComboBox1;
    m_ignoreExtensionsRow = ui.Panel5;
    m_ignoreExtensions = ui.Edit2;
    m_checkOptionsRow = ui.Panel6;
    m_removeAnchors = ui.CheckBox2;
    m_useHead = ui.CheckBox3;
    m_ignoreUrlsRow = ui.Panel7;
    m_ignoreUrls = ui.Memo1;
    m_splitter = ui.Splitter1;
    m_list = ui.ListBox1;
    m_findButton = ui.Button1;
    m_exportButton = ui.Button3;
    m_brokenButton = ui.Button2;
    m_feedbackButton = ui.Button4;
    m_aboutButton = ui.Button5;
}

void TAppForm::setFontsAndColours()
{
    // A form names one font family; Tahoma needs its fall-backs, and the sizes are in pixels.
    m_ui->UrlLabel->setFont(tahoma(16));
    m_urlBox->setFont(tahoma(19));
    m_checkButton->setFont(tahoma(16, true));
    m_showOptions->setFont(tahoma(13));
    // After the font: a style sheet set first would leave the box's line edit in the default font.
    m_urlBox->setStyleSheet(u"QComboBox { color: white; background-color: rgb(63, 81, 181); }"_s);
}

void TAppForm::finishControls()
{
    const auto *digits = new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), this);
    m_connectTimeout->setValidator(digits);
    m_responseTimeout->setValidator(digits);
    m_agentBox->addItems(AgentList());
    m_parallelChecks->setRange(kMinParallelChecksOption, kMaxParallelChecksOption);
    m_parallelChecks->setValue(kDefaultParallelChecksOption);

    m_model = new ResultsModel(m_list);
    m_list->setModel(m_model);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView *header = m_list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    for (const auto &[section, width] : {std::pair{1, 100}, {2, 100}, {4, 120}, {5, 120}}) {
        header->setSectionResizeMode(section, QHeaderView::Interactive);
        header->resizeSection(section, width);
    }
    // The Ignore URLs row and the results share the splitter, whose bar sets the row's height.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({40, 400});

    const QSize iconSize(32, 32);
    m_findButton->setIcon(NamedIcon(u"search"_s));
    m_exportButton->setIcon(NamedIcon(u"document-save"_s));
    m_brokenButton->setIcon(NamedIcon(u"link_break"_s));
    m_feedbackButton->setIcon(NamedIcon(u"feedback"_s));
    m_aboutButton->setIcon(NamedIcon(u"about"_s));
    // "STOP" takes the place of "Check Broken Links" without moving its neighbours.
    FitWidthToCaptions(*m_brokenButton, {kCheckBrokenLinks, kStop});
}

void TAppForm::buildStatusBar()
{
    // "Total Links: N" in a 200-pixel panel, the activity in the rest.
    auto *status = new QStatusBar(this);
    status->setObjectName(u"StatusBar1"_s);
    status->setSizeGripEnabled(true);
    m_statusTotal = new QLabel(status);
    m_statusTotal->setObjectName(u"StatusPanel0"_s);
    m_statusTotal->setFixedWidth(200);
    m_statusActivity = new QLabel(status);
    m_statusActivity->setObjectName(u"StatusPanel1"_s);
    status->addWidget(m_statusTotal);
    status->addWidget(m_statusActivity, 1);
    m_checkProgress = new QProgressBar(status);
    m_checkProgress->setObjectName(u"CheckProgress"_s);
    m_checkProgress->setFixedWidth(200);
    m_checkProgress->setFormat(u"%v / %m"_s);
    m_checkProgress->setVisible(false);
    status->addPermanentWidget(m_checkProgress);
    setStatusBar(status);
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
        m_popupMenu2->popup(m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_findButton, &QPushButton::clicked, this, &TAppForm::onFind);
    connect(m_exportButton, &QPushButton::clicked, this, &TAppForm::onExport);
}

QList<QWidget *> TAppForm::optionRows() const
{
    return {m_urlBaseRow, m_requestRow, m_ignoreExtensionsRow, m_checkOptionsRow, m_ignoreUrlsRow};
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
    if (!WriteExportFile(dialog.selectedFiles().first(), m_model->rows(), m_localeListSeparator, &error)) {
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), error);
    }
}

void TAppForm::buildMenus()
{
    // The Check button's menu and the list's context menu share their handlers.
    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(u"PopupMenu1"_s);
    m_popupMenu2 = new QMenu(this);
    m_popupMenu2->setObjectName(u"PopupMenu2"_s);
    for (QMenu *menu : {m_popupMenu1, m_popupMenu2}) {
        const bool list = menu == m_popupMenu2;
        QAction *check = menu->addAction(kCheck, this, &TAppForm::onCheckMenuItem);
        check->setObjectName(list ? u"MenuItem1"_s : u"Check1"_s);
        QFont bold = check->font();
        bold.setBold(true);
        check->setFont(bold);
        menu->setDefaultAction(check);
        menu->addAction(u"Go to URL..."_s, this, &TAppForm::onGotoUrl)->setObjectName(u"GotoURL1"_s);
        menu->addAction(u"Copy URL"_s, this, &TAppForm::onCopyUrl)->setObjectName(u"CopyURL1"_s);
        if (list) {
            menu->addAction(u"Copy Anchor Text"_s, this, &TAppForm::onCopyAnchorText)
                ->setObjectName(u"CopyAnchorText1"_s);
        }
        menu->addAction(u"Analyze URL..."_s, this, &TAppForm::onAnalyzeUrl)
            ->setObjectName(list ? u"MenuItem5"_s : u"AnalyzeURL1"_s);
    }
    for (QMenu *menu : {m_popupMenu1, m_popupMenu2}) {
        menu->addSeparator();
        addWebToolItems(menu);
    }
    m_checkButton->setMenu(m_popupMenu1);
    // BitBtn1DropDownClick: the arrow part opened the menu.
    connect(m_popupMenu1, &QMenu::aboutToShow, this, [this] { m_popupSource = PopupSource::Button; });

    QMenuBar *bar = menuBar();
    bar->setObjectName(u"MainMenu1"_s);
    QMenu *file = bar->addMenu(u"File"_s);
    file->addAction(u"Load File..."_s, this, &TAppForm::onLoadFile)->setObjectName(u"LoadFile1"_s);
    file->addSeparator();
    file->addAction(u"Exit"_s, this, [] { QCoreApplication::quit(); })->setObjectName(u"Exit1"_s);

    QMenu *results = bar->addMenu(u"Results"_s);
    QAction *find = results->addAction(NamedIcon(u"search"_s), u"Find..."_s, m_findButton, &QPushButton::click);
    find->setObjectName(u"Search1"_s);
    find->setShortcut(QKeySequence(u"Ctrl+F"_s));
    results->addAction(NamedIcon(u"document-save"_s), u"Export to File..."_s, m_exportButton, &QPushButton::click)
        ->setObjectName(u"ExporttoFile1"_s);
    results->addAction(NamedIcon(u"link_break"_s), kCheckBrokenLinks, m_brokenButton, &QPushButton::click)
        ->setObjectName(u"FindBrokenLinks1"_s);

    QMenu *tools = bar->addMenu(u"Tools"_s);
    for (const FixedTool tool : FixedToolsInMenuOrder()) {
        QAction *item = tools->addAction(NamedIcon(u"html"_s), FixedToolCaption(tool), this,
                                         [this, tool] { openAddress(FixedToolAddress(tool)); });
        item->setObjectName(FixedToolObjectName(tool));
    }

    QMenu *settings = bar->addMenu(u"Settings"_s);
    settings->addAction(u"Reset to Defaults..."_s, this, &TAppForm::onResetToDefaults)
        ->setObjectName(u"ResettoDefaults1"_s);

    QMenu *help = bar->addMenu(u"Help"_s);
    QAction *onlineHelp = help->addAction(u"Online Help"_s, this, &TAppForm::onOnlineHelp);
    onlineHelp->setObjectName(u"Help2"_s);
    onlineHelp->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    QAction *updates = help->addAction(u"Update Notifications"_s);
    updates->setObjectName(u"UpdateNotifications1"_s);
    m_updateNotifier = new UpdateNotifier(
        windowContext(),
        m_environment.showUpdateIni.isEmpty() ? ShowUpdateSetting() : ShowUpdateSetting(m_environment.showUpdateIni),
        updates, this);
    help->addAction(NamedIcon(u"feedback"_s), u"Send Feedback..."_s, this, &TAppForm::onSendFeedback)
        ->setObjectName(u"SendFeedback1"_s);
    help->addAction(NamedIcon(u"about"_s), u"About..."_s, this, &TAppForm::onAbout)->setObjectName(u"About1"_s);
    connect(m_feedbackButton, &QPushButton::clicked, this, &TAppForm::onSendFeedback);
    connect(m_aboutButton, &QPushButton::clicked, this, &TAppForm::onAbout);
}

void TAppForm::addWebToolItems(QMenu *menu)
{
    const QString suffix = menu == m_popupMenu2 ? u"_2"_s : QString();
    QMenu *index = menu->addMenu(CheckIndexCaption());
    index->setObjectName(u"CheckIndex1"_s + suffix);
    const QList<WebTool> indexTools = IndexTools();
    for (const WebTool tool : WebToolsInMenuOrder()) {
        QMenu *target = indexTools.contains(tool) ? index : menu;
        target->addAction(WebToolCaption(tool), this, [this, tool] { openWebTool(tool); })
            ->setObjectName(WebToolObjectName(tool) + suffix);
        if (tool == indexTools.constLast()) {
            // "All" runs the four index checks in order, each applying the row-target rule itself.
            index
                ->addAction(AllIndexCaption(), this,
                            [this, indexTools] {
                                for (const WebTool each : indexTools) {
                                    openWebTool(each);
                                }
                            })
                ->setObjectName(u"All1"_s + suffix);
        }
    }
}

void TAppForm::openWebTool(WebTool tool)
{
    if (const std::optional<QString> target = rowTarget()) {
        openAddress(WebToolAddress(tool, *target));
    }
}

void TAppForm::onResetToDefaults()
{
    const int answer = ShowCaptionDialog(this, LookupText(u"Restart Application?"_s), DialogKind::Confirmation,
                                         {DialogButton::Yes, DialogButton::No}, LookupText(u"Confirmation"_s),
                                         {LookupText(u"Yes"_s), LookupText(u"No"_s)});
    if (answer != DialogResultCode(DialogButton::Yes)) {
        return;
    }
    RemoveStoredOptions(m_dataFolder);
    if (m_environment.restart) {
        m_environment.restart();
        return;
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    QCoreApplication::quit();
}

void TAppForm::setLocalFile(const QString &path)
{
    m_urlBox->setEditText(LocalAddressOf(path));
}

void TAppForm::setRunState(RunState state)
{
    // Every control the state governs is set each time, so the look never depends on the state
    // before.
    m_runState = state;
    const bool collecting = state == RunState::Collecting || state == RunState::Stopping;
    m_checkButton->setText(state == RunState::Collecting ? kStop : state == RunState::Stopping ? kStopping : kCheck);
    m_checkButton->setEnabled(state == RunState::Idle || state == RunState::Collecting);
    for (QWidget *row : optionRows()) {
        row->setEnabled(!collecting);
    }
    m_brokenButton->setText(state == RunState::CheckingLinks ? kStop : kCheckBrokenLinks);
    m_brokenButton->setEnabled(!collecting);
    // A pass takes the HEAD option as it is when it starts; changing it then would have no effect.
    m_useHead->setEnabled(state != RunState::CheckingLinks);
    if (state == RunState::Idle) {
        m_runBusy.reset();
    } else if (!m_runBusy) {
        m_runBusy.emplace();
    }
}

void TAppForm::beep()
{
    if (m_environment.beep) {
        m_environment.beep();
    } else {
        QApplication::beep();
    }
}

void TAppForm::openAddress(const QString &address)
{
    if (m_environment.openAddress) {
        m_environment.openAddress(address);
    } else {
        QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
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
        QMessageBox::warning(this, u"Warning"_s, u"Please enter URL!"_s);
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

    const QString address = FixUpAddress(m_urlBox->currentText());
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
    snapshot.urlBase = m_domainName->isChecked()      ? UrlBaseMode::Domain
                       : m_subdomainName->isChecked() ? UrlBaseMode::Subdomain
                                                      : UrlBaseMode::None;
    snapshot.userAgent = m_requestAgent;
    snapshot.generation = ++m_generation;

    m_collector = TCollector::create(snapshot);
    TCollector *run = m_collector.get();
    connect(run, &TCollector::loading, this, &TAppForm::onLoading);
    connect(run, &TCollector::redirectRow, this, &TAppForm::onRedirectRow);
    connect(run, &TCollector::urlBoxChanged, this, &TAppForm::onUrlBoxChanged);
    connect(run, &TCollector::rowsCollected, this, &TAppForm::onRowsCollected);
    connect(run, &TCollector::finished, this, &TAppForm::onRunFinished);
    m_statusTotal->setText(u"Total Links: 0"_s);
    m_collector.start();
}

void TAppForm::onLoading(quint64 generation, const QString &address)
{
    if (generation != m_generation) {
        return;
    }
    m_statusTotal->setText(u"Total Links: "_s + QString::number(m_model->rowCount()));
    m_statusActivity->setText(u"Loading: "_s + address);
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
    m_statusTotal->setText(u"Total Links: "_s + QString::number(m_model->rowCount()));
    IslemTamam();
    // A page that could not be loaded must not pass for one without links: the reason stays in the
    // activity panel until the next run.
    if (!error.isEmpty() && !stoppedByUser) {
        m_statusActivity->setText(u"Could not load: "_s + error);
    }
    beep();
}

void TAppForm::IslemTamam()
{
    setRunState(RunState::Idle);
    m_statusActivity->clear();
}

std::optional<int> TAppForm::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return rows.first().row();
}

void TAppForm::selectRow(int row)
{
    m_list->selectRow(row);
    m_list->scrollTo(m_model->index(row, 0));
}

std::optional<QString> TAppForm::rowTarget() const
{
    if (m_popupSource == PopupSource::List) {
        if (const std::optional<int> row = selectedRow()) {
            return m_model->rows().at(*row).link;
        }
        return std::nullopt;
    }
    if (m_popupSource == PopupSource::Button) {
        return m_urlBox->currentText();
    }
    return std::nullopt;
}

void TAppForm::onCheckMenuItem()
{
    if (m_popupSource == PopupSource::List) {
        if (const std::optional<int> row = selectedRow()) {
            m_urlBox->setEditText(m_model->rows().at(*row).link);
            onCheckClicked();
        }
    } else if (m_popupSource == PopupSource::Button) {
        onCheckClicked();
    }
}

void TAppForm::onGotoUrl()
{
    if (const std::optional<QString> target = rowTarget()) {
        openAddress(*target);
    }
}

void TAppForm::onCopyUrl()
{
    if (const std::optional<QString> target = rowTarget()) {
        QGuiApplication::clipboard()->setText(*target);
    }
}

void TAppForm::onCopyAnchorText()
{
    if (const std::optional<int> row = selectedRow()) {
        QGuiApplication::clipboard()->setText(m_model->rows().at(*row).anchorText);
    }
}

void TAppForm::onHeaderClicked(int column)
{
    // The table is never re-ordered under a running collection or check.
    if (m_runState != RunState::Idle) {
        return;
    }
    m_model->headerClicked(column);
}

void TAppForm::onFind()
{
    if (!m_findDialog) {
        m_findDialog = new TFindDialog(this);
        connect(m_findDialog, &TFindDialog::findNext, this, &TAppForm::onFindNext);
    }
    m_findPosition = -1;
    m_findDialog->move(frameGeometry().left() + 100, frameGeometry().top() + 150);
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void TAppForm::onFindNext(const QString &text)
{
    m_findPosition = FindNextRow(m_model->rows(), text, m_findPosition);
    if (m_findPosition < 0) {
        // The old match must not look like the answer.
        m_list->clearSelection();
        m_statusActivity->setText(kNotFound);
        beep();
        return;
    }
    if (m_statusActivity->text() == kNotFound) {
        m_statusActivity->clear();
    }
    selectRow(static_cast<int>(m_findPosition));
}

void TAppForm::onLoadFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), QString(), u"HTML File (*.htm*);;Any File (*)"_s);
    if (!path.isEmpty()) {
        setLocalFile(QFileInfo(path).absoluteFilePath());
    }
}

void TAppForm::onAnalyzeUrl()
{
    // The list with no selected row does not fall back to the URL box.
    const std::optional<QString> target = rowTarget();
    if (!target || target->isEmpty()) {
        return;
    }
    AnalysisOptions options;
    options.userAgent = m_requestAgent;
    if (!m_environment.contentsHost.isEmpty()) {
        options.contentsHost = m_environment.contentsHost;
    }
    if (!m_analysisBusy) {
        m_analysisBusy.emplace();
    }
    // The fetches and the parse run off the UI thread; the window opens when they are done.
    const quint64 analysis = ++m_lastAnalysis;
    m_analyses.emplace(analysis, RunOwned<AnalysisResult>(
                                     u"Analysis"_s, this,
                                     [address = *target, options](const std::atomic<bool> &stop) {
                                         AnalysisOptions stoppable = options;
                                         stoppable.stop = &stop;
                                         return RunAnalysis(address, stoppable);
                                     },
                                     [this, analysis](AnalysisResult result) {
                                         m_analyses.erase(analysis);
                                         if (m_analyses.empty()) {
                                             m_analysisBusy.reset();
                                         }
                                         auto *form = new TAnalyzeForm(result, this);
                                         form->setWindowFlag(Qt::Window);
                                         form->show();
                                     }));
}

WindowContext TAppForm::windowContext()
{
    WindowContext context;
    context.appProductName = m_appProductName;
    context.appTitle = m_appTitle;
    context.appVersion = m_appVersion;
    context.makerHost = m_environment.makerHost;
    context.programFolder = QFileInfo(m_environment.programFile).absolutePath();
    context.open = [this](const QString &address) {
        openAddress(address);
    };
    context.beep = [this] {
        beep();
    };
    return context;
}

void TAppForm::startUpdateCheck()
{
    m_updateNotifier->start();
}

void TAppForm::onSendFeedback()
{
    TFeedbackForm form(windowContext(), this);
    form.exec();
}

void TAppForm::onAbout()
{
    TAboutBox box(windowContext(), this);
    box.exec();
}

void TAppForm::onOnlineHelp()
{
    const MakerSite site(m_environment.makerHost.isEmpty() ? MakerSiteHost() : m_environment.makerHost);
    openAddress(site.helpUrl(m_appProductName));
}

bool TAppForm::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach the combo box, which hands them to its line edit without filters; both are watched.
    if ((watched == m_urlBox || watched == m_urlBox->lineEdit()) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_V && key->modifiers() == Qt::ControlModifier) {
            // Pasted line breaks become blanks, so the box keeps one line.
            m_urlBox->lineEdit()->insert(PasteText(QGuiApplication::clipboard()->text()));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
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
    m_statusActivity->setText(u"Checking Broken Links..."_s);
    setRunState(RunState::CheckingLinks);
    if (m_model->rowCount() > 0) {
        selectRow(0);
        m_list->setFocus();
    }
    m_model->resetCheckCells();

    const QStringList links = LinksOf(m_model->rows());
    LinkCheckOptions options;
    options.userAgent = m_requestAgent;
    options.useHead = m_useHead->isChecked();
    options.connectTimeout = m_connectTimeout->text();
    options.responseTimeout = m_responseTimeout->text();
    options.parallel = m_parallelChecks->value();
    m_checkedRows = 0;
    m_checkProgress->setRange(0, static_cast<int>(links.size()));
    m_checkProgress->setValue(0);
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
    m_checkProgress->setValue(++m_checkedRows);
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
    beep();
}

void TAppForm::closeEvent(QCloseEvent *event)
{
    // The window closes at once; a run, a check pass or an analysis still going is stopped and
    // its thread joined.
    ++m_generation;
    m_collector.reset();
    m_checkPass.reset();
    m_analyses.clear();
    m_runBusy.reset();
    m_analysisBusy.reset();
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
