#include "gui/app/TAppForm.h"

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
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
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
#include <QVBoxLayout>

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

QWidget *panel(const QString &name, int height, QWidget *parent)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(name);
    widget->setFixedHeight(height);
    auto *layout = new QHBoxLayout(widget);
    layout->setContentsMargins(6, 2, 6, 2);
    return widget;
}

} // namespace

TAppForm::TAppForm(AppEnvironment environment, QWidget *parent)
    : QMainWindow(parent)
    , m_environment(std::move(environment))
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
    controls.optionRows = {m_panel2, m_panel4, m_panel5, m_panel6, m_panel7};
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
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // URL row.
    m_panel1 = panel(u"Panel1"_s, 36, central);
    auto *urlLabel = new QLabel(u"URL:"_s, m_panel1);
    urlLabel->setFont(tahoma(16));
    m_urlBox = new QComboBox(m_panel1);
    m_urlBox->setObjectName(u"Edit1"_s);
    m_urlBox->setEditable(true);
    m_urlBox->setInsertPolicy(QComboBox::NoInsert);
    m_urlBox->setMaxVisibleItems(20);
    // Long history entries must not widen the window.
    m_urlBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_urlBox->setMinimumContentsLength(20);
    m_urlBox->setFont(tahoma(19));
    m_urlBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_urlBox->setStyleSheet(u"QComboBox { color: white; background-color: rgb(63, 81, 181); }"_s);
    // Files dropped on the URL box go to the window's drop rule; as text they would land in the middle
    // of the address.
    m_urlBox->lineEdit()->setAcceptDrops(false);
    m_checkButton = new QToolButton(m_panel1);
    m_checkButton->setObjectName(u"BitBtn1"_s);
    m_checkButton->setText(kCheck);
    m_checkButton->setFont(tahoma(16, true));
    m_checkButton->setFixedWidth(130);
    m_checkButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_checkButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_showOptions = new QCheckBox(u"Show Options"_s, m_panel1);
    m_showOptions->setObjectName(u"CheckBox1"_s);
    m_showOptions->setFont(tahoma(13));
    m_panel1->layout()->addWidget(urlLabel);
    m_panel1->layout()->addWidget(m_urlBox);
    m_panel1->layout()->addWidget(m_checkButton);
    m_panel1->layout()->addWidget(m_showOptions);
    column->addWidget(m_panel1);

    // Option rows, hidden until "Show Options".
    m_panel2 = panel(u"Panel2"_s, 30, central);
    auto *baseLabel = new QLabel(u"URL Base:"_s, m_panel2);
    baseLabel->setToolTip(u"Outside of URL base will be regarded as external"_s);
    m_domainName = new QRadioButton(u"Domain Name"_s, m_panel2);
    m_domainName->setObjectName(u"RadioButton1"_s);
    m_domainName->setChecked(true);
    m_subdomainName = new QRadioButton(u"Subdomain Name"_s, m_panel2);
    m_subdomainName->setObjectName(u"RadioButton2"_s);
    m_panel2->layout()->addWidget(baseLabel);
    m_panel2->layout()->addWidget(m_domainName);
    m_panel2->layout()->addWidget(m_subdomainName);
    static_cast<QHBoxLayout *>(m_panel2->layout())->addStretch(1);

    m_panel4 = panel(u"Panel4"_s, 30, central);
    const auto *digits = new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), this);
    m_connectTimeout = new QLineEdit(m_panel4);
    m_connectTimeout->setObjectName(u"Edit3"_s);
    m_connectTimeout->setValidator(digits);
    m_connectTimeout->setFixedWidth(70);
    m_responseTimeout = new QLineEdit(m_panel4);
    m_responseTimeout->setObjectName(u"Edit4"_s);
    m_responseTimeout->setValidator(digits);
    m_responseTimeout->setFixedWidth(70);
    m_agentBox = new QComboBox(m_panel4);
    m_agentBox->setObjectName(u"ComboBox1"_s);
    m_agentBox->setEditable(true);
    m_agentBox->setInsertPolicy(QComboBox::NoInsert);
    m_agentBox->addItems(AgentList());
    m_agentBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_agentBox->setMinimumContentsLength(20);
    m_agentBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_panel4->layout()->addWidget(new QLabel(u"Connection Timeout (ms):"_s, m_panel4));
    m_panel4->layout()->addWidget(m_connectTimeout);
    m_panel4->layout()->addWidget(new QLabel(u"Response Timeout (ms):"_s, m_panel4));
    m_panel4->layout()->addWidget(m_responseTimeout);
    m_parallelChecks = new QSpinBox(m_panel4);
    m_parallelChecks->setObjectName(u"ParallelChecks"_s);
    m_parallelChecks->setRange(kMinParallelChecksOption, kMaxParallelChecksOption);
    m_parallelChecks->setValue(kDefaultParallelChecksOption);
    m_panel4->layout()->addWidget(new QLabel(u"Parallel checks:"_s, m_panel4));
    m_panel4->layout()->addWidget(m_parallelChecks);
    m_panel4->layout()->addWidget(new QLabel(u"Agent:"_s, m_panel4));
    m_panel4->layout()->addWidget(m_agentBox);

    m_panel5 = panel(u"Panel5"_s, 30, central);
    m_ignoreExtensions = new QLineEdit(m_panel5);
    m_ignoreExtensions->setObjectName(u"Edit2"_s);
    m_panel5->layout()->addWidget(new QLabel(u"Ignore Extensions:"_s, m_panel5));
    m_panel5->layout()->addWidget(m_ignoreExtensions);

    m_panel6 = panel(u"Panel6"_s, 24, central);
    m_removeAnchors = new QCheckBox(u"Remove # Anchors"_s, m_panel6);
    m_removeAnchors->setObjectName(u"CheckBox2"_s);
    m_removeAnchors->setChecked(true);
    m_useHead = new QCheckBox(u"Only Use HTTP HEAD for Broken Link Check (Faster)"_s, m_panel6);
    m_useHead->setObjectName(u"CheckBox3"_s);
    m_panel6->layout()->addWidget(m_removeAnchors);
    m_panel6->layout()->addWidget(m_useHead);
    static_cast<QHBoxLayout *>(m_panel6->layout())->addStretch(1);

    for (QWidget *row : {m_panel2, m_panel4, m_panel5, m_panel6}) {
        row->setVisible(false);
        column->addWidget(row);
    }

    // The Ignore URLs row and the results share a splitter, whose bar sets the row's height.
    m_splitter = new QSplitter(Qt::Vertical, central);
    m_splitter->setObjectName(u"Splitter1"_s);
    m_splitter->setHandleWidth(5);
    m_splitter->setChildrenCollapsible(false);
    m_panel7 = new QWidget(m_splitter);
    m_panel7->setObjectName(u"Panel7"_s);
    m_panel7->setMinimumHeight(1);
    auto *ignoreRow = new QHBoxLayout(m_panel7);
    ignoreRow->setContentsMargins(6, 2, 6, 2);
    m_ignoreUrls = new QPlainTextEdit(m_panel7);
    m_ignoreUrls->setObjectName(u"Memo1"_s);
    m_ignoreUrls->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *ignoreLabel = new QLabel(u"Ignore URLs:"_s, m_panel7);
    ignoreLabel->setAlignment(Qt::AlignTop);
    ignoreRow->addWidget(ignoreLabel);
    ignoreRow->addWidget(m_ignoreUrls);
    m_panel7->setVisible(false);

    auto *panel10 = new QWidget(m_splitter);
    panel10->setObjectName(u"Panel10"_s);
    auto *panel10Layout = new QVBoxLayout(panel10);
    panel10Layout->setContentsMargins(0, 0, 0, 0);
    auto *panel8 = new QWidget(panel10);
    panel8->setObjectName(u"Panel8"_s);
    auto *panel8Layout = new QVBoxLayout(panel8);
    panel8Layout->setContentsMargins(0, 0, 0, 0);
    panel10Layout->addWidget(panel8);
    m_list = new QTableView(panel8);
    m_list->setObjectName(u"ListBox1"_s);
    m_model = new ResultsModel(m_list);
    m_list->setModel(m_model);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->setVisible(false);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(20);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView *header = m_list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    for (const auto &[section, width] : {std::pair{1, 100}, {2, 100}, {4, 120}, {5, 120}}) {
        header->setSectionResizeMode(section, QHeaderView::Interactive);
        header->resizeSection(section, width);
    }
    panel8Layout->addWidget(m_list);
    m_splitter->addWidget(m_panel7);
    m_splitter->addWidget(panel10);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({40, 400});
    column->addWidget(m_splitter, 1);

    // Button bar.
    auto *panel3 = panel(u"Panel3"_s, 45, central);
    m_findButton = new QPushButton(panel3);
    m_findButton->setObjectName(u"Button1"_s);
    m_findButton->setIcon(NamedIcon(u"search"_s));
    m_findButton->setIconSize(QSize(32, 32));
    m_findButton->setToolTip(u"Find"_s);
    m_exportButton = new QPushButton(panel3);
    m_exportButton->setObjectName(u"Button3"_s);
    m_exportButton->setIcon(NamedIcon(u"document-save"_s));
    m_exportButton->setIconSize(QSize(32, 32));
    m_exportButton->setToolTip(u"Export to File"_s);
    m_brokenButton = new QPushButton(u"Check Broken Links"_s, panel3);
    m_brokenButton->setObjectName(u"Button2"_s);
    m_brokenButton->setIcon(NamedIcon(u"link_break"_s));
    m_brokenButton->setIconSize(QSize(32, 32));
    m_brokenButton->setToolTip(u"Check Broken Links"_s);
    FitWidthToCaptions(*m_brokenButton, {kCheckBrokenLinks, kStop});
    panel3->layout()->addWidget(m_findButton);
    panel3->layout()->addWidget(m_exportButton);
    panel3->layout()->addWidget(m_brokenButton);
    static_cast<QHBoxLayout *>(panel3->layout())->addStretch(1);
    m_feedbackButton = new QPushButton(NamedIcon(u"feedback"_s), u"Send Feedback..."_s, panel3);
    m_feedbackButton->setObjectName(u"Button4"_s);
    m_feedbackButton->setIconSize(QSize(32, 32));
    m_aboutButton = new QPushButton(NamedIcon(u"about"_s), u"About..."_s, panel3);
    m_aboutButton->setObjectName(u"Button5"_s);
    m_aboutButton->setIconSize(QSize(32, 32));
    panel3->layout()->addWidget(m_feedbackButton);
    panel3->layout()->addWidget(m_aboutButton);
    column->addWidget(panel3);

    setCentralWidget(central);

    // Status bar: "Total Links: N" in a 200-pixel panel, the activity in the rest.
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

    CentreOnScreen(*this, QSize(729, 455));
    setKeyboardOrder();

    // A file dropped anywhere on the window goes to the URL box by the window's own rule, never as
    // its path typed into whichever text box lies under the mouse.
    for (QLineEdit *box : findChildren<QLineEdit *>()) {
        box->setAcceptDrops(false);
    }
    m_ignoreUrls->setAcceptDrops(false);

    connect(m_checkButton, &QToolButton::clicked, this, &TAppForm::onCheckClicked);
    m_urlBox->installEventFilter(this);
    m_urlBox->lineEdit()->installEventFilter(this);
    connect(m_urlBox->lineEdit(), &QLineEdit::returnPressed, this, &TAppForm::onCheckClicked);
    connect(m_brokenButton, &QPushButton::clicked, this, &TAppForm::onCheckBrokenLinksClicked);
    connect(m_showOptions, &QCheckBox::toggled, this, [this](bool on) {
        // Shown top to bottom, hidden bottom to top.
        if (on) {
            for (QWidget *row : {m_panel2, m_panel4, m_panel5, m_panel6, m_panel7}) {
                row->setVisible(true);
            }
            m_agentBox->lineEdit()->deselect();
        } else {
            for (QWidget *row : {m_panel7, m_panel6, m_panel5, m_panel4, m_panel2}) {
                row->setVisible(false);
            }
        }
    });
    connect(header, &QHeaderView::sectionClicked, this, &TAppForm::onHeaderClicked);
    connect(m_list, &QTableView::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_popupSource = PopupSource::List;
        m_popupMenu2->popup(m_list->viewport()->mapToGlobal(pos));
    });
    connect(m_findButton, &QPushButton::clicked, this, &TAppForm::onFind);
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        ExportFileDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return;
        }
        QString error;
        if (!WriteExportFile(dialog.selectedFiles().first(), m_model->rows(), m_localeListSeparator, &error)) {
            QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), error);
        }
    });
}

void TAppForm::setKeyboardOrder()
{
    // Tab leaves the results list instead of walking its cells, and visits the controls top to
    // bottom, left to right: the URL row, the option rows, the list, the button bar.
    m_list->setTabKeyNavigation(false);
    const QList<QWidget *> order = {
        m_urlBox,         m_checkButton,     m_showOptions,    m_domainName, m_subdomainName,
        m_connectTimeout, m_responseTimeout, m_parallelChecks, m_agentBox,   m_ignoreExtensions,
        m_removeAnchors,  m_useHead,         m_ignoreUrls,     m_list,       m_findButton,
        m_exportButton,   m_brokenButton,    m_feedbackButton, m_aboutButton};
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order.at(i - 1), order.at(i));
    }
    // Tab in the Ignore URLs box moves on rather than typing a tab character into the list.
    m_ignoreUrls->setTabChangesFocus(true);
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
    for (QWidget *row : {m_panel2, m_panel4, m_panel5, m_panel6, m_panel7}) {
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
