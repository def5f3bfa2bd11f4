// The main window's menus and the commands they run: the Check button's menu and the list's
// context menu share their commands and apply the row-target rule; the menu bar reaches the rest.

#include "core/analyze/RunAnalysis.h"
#include "core/app/MakerSite.h"
#include "core/app/OptionValues.h"
#include "core/collect/Collector.h"
#include "core/common/LookupText.h"
#include "core/common/Text.h"
#include "core/results/RowOrder.h"
#include "gui/analyze/AnalysisLauncher.h"
#include "gui/app/TAppForm.h"
#include "gui/common/CaptionDialog.h"
#include "gui/common/Icons.h"
#include "gui/common/LayoutStore.h"
#include "gui/results/ResultsModel.h"
#include "gui/results/ResultsTable.h"
#include "gui/results/TFindDialog.h"
#include "gui/results/WebToolItems.h"
#include "gui/site/TSiteForm.h"
#include "gui/windows/TAboutBox.h"
#include "gui/windows/TFeedbackForm.h"
#include "gui/windows/UpdateNotifier.h"
#include "gui/windows/WindowContext.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Gives each item of the menu that has no access key yet one of its own: the first letter that
// starts a word of its caption and no other item of the menu uses, else its first such letter.
void giveAccessKeys(QMenu &menu)
{
    QSet<QChar> taken;
    const QList<QAction *> items = menu.actions();
    for (const QAction *item : items) {
        const QString text = item->text();
        const qsizetype mark = text.indexOf(u'&');
        if (mark >= 0 && mark + 1 < text.size()) {
            taken.insert(text.at(mark + 1).toLower());
        }
    }
    for (QAction *item : items) {
        QString text = item->text();
        if (item->isSeparator() || text.isEmpty() || text.contains(u'&')) {
            continue;
        }
        qsizetype pick = -1;
        for (const bool wordStartsOnly : {true, false}) {
            for (qsizetype i = 0; i < text.size() && pick < 0; ++i) {
                const bool wordStart = i == 0 || !text.at(i - 1).isLetterOrNumber();
                if (text.at(i).isLetterOrNumber() && (wordStart || !wordStartsOnly) &&
                    !taken.contains(text.at(i).toLower())) {
                    pick = i;
                }
            }
        }
        if (pick >= 0) {
            taken.insert(text.at(pick).toLower());
            text.insert(pick, u'&');
            item->setText(text);
        }
    }
}

} // namespace

void TAppForm::buildPopupMenus()
{
    // The Check button's menu and the list's context menu share their handlers.
    m_checkMenu = new QMenu(this);
    m_checkMenu->setObjectName(u"PopupMenu1"_s);
    m_listMenu = new QMenu(this);
    m_listMenu->setObjectName(u"PopupMenu2"_s);
    for (QMenu *menu : {m_checkMenu, m_listMenu}) {
        const bool list = menu == m_listMenu;
        QAction *check = menu->addAction(checkCaption(), this, &TAppForm::onCheckMenuItem);
        check->setObjectName(list ? u"MenuItem1"_s : u"Check1"_s);
        QFont bold = check->font();
        bold.setBold(true);
        check->setFont(bold);
        menu->setDefaultAction(check);
        menu->addAction(tr("Go to URL..."), this, &TAppForm::onGotoUrl)->setObjectName(u"GotoURL1"_s);
        menu->addAction(tr("Copy URL"), this, &TAppForm::onCopyUrl)->setObjectName(u"CopyURL1"_s);
        if (list) {
            menu->addAction(tr("Copy Anchor Text"), this, &TAppForm::onCopyAnchorText)
                ->setObjectName(u"CopyAnchorText1"_s);
            menu->addAction(tr("Copy All"), this, &TAppForm::onCopyAll)->setObjectName(u"CopyAll1"_s);
        }
        menu->addAction(tr("Analyze URL..."), this, &TAppForm::onAnalyzeUrl)
            ->setObjectName(list ? u"MenuItem5"_s : u"AnalyzeURL1"_s);
        menu->addAction(tr("Crawl Site..."), this, &TAppForm::onCrawlSite)
            ->setObjectName(list ? u"CrawlSite2"_s : u"CrawlSite1"_s);
    }
    for (QMenu *menu : {m_checkMenu, m_listMenu}) {
        menu->addSeparator();
        addWebToolItems(menu, menu == m_listMenu ? u"_2"_s : QString(), [this](WebTool tool) { openWebTool(tool); });
        giveAccessKeys(*menu);
    }
    m_checkButton->setMenu(m_checkMenu);
    // BitBtn1DropDownClick: the arrow part opened the menu.
    connect(m_checkMenu, &QMenu::aboutToShow, this, [this] { m_popupSource = PopupSource::Button; });
}

void TAppForm::buildMenuBar()
{
    // Each menu and item has an access key, unique within its menu; the common commands have
    // shortcuts, which the menus show. Ctrl+C on the list belongs to the list itself.
    QMenuBar *bar = menuBar();
    bar->setObjectName(u"MainMenu1"_s);
    QMenu *file = bar->addMenu(tr("&File"));
    file->setObjectName(u"File1"_s);
    QAction *loadFile = file->addAction(tr("&Load File..."), this, &TAppForm::onLoadFile);
    loadFile->setObjectName(u"LoadFile1"_s);
    loadFile->setShortcut(QKeySequence::Open);
    QAction *enterUrl = file->addAction(tr("Enter &URL"), this, &TAppForm::onEnterUrl);
    enterUrl->setObjectName(u"EnterURL1"_s);
    enterUrl->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    file->addSeparator();
    QAction *exit = file->addAction(tr("E&xit"), this, [this] {
        if (m_environment.quit) {
            m_environment.quit();
        } else {
            QCoreApplication::quit();
        }
    });
    exit->setObjectName(u"Exit1"_s);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *results = bar->addMenu(tr("&Results"));
    results->setObjectName(u"Results1"_s);
    // Check does what the button does: start a run, or stop the one that goes.
    QAction *check = results->addAction(tr("&Check"), this, &TAppForm::onCheckClicked);
    check->setObjectName(u"CheckUrl1"_s);
    check->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_Return),
                         QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter)});
    results->addSeparator();
    QAction *find = results->addAction(namedIcon(u"search"_s), tr("&Find..."), m_findButton, &QPushButton::click);
    find->setObjectName(u"Search1"_s);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction *findNext = results->addAction(tr("Find &Next"), this, &TAppForm::onFindAgain);
    findNext->setObjectName(u"FindNext1"_s);
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    QAction *exportItem = results->addAction(namedIcon(u"document-save"_s), tr("&Export to File..."), m_exportButton,
                                             &QPushButton::click);
    exportItem->setObjectName(u"ExporttoFile1"_s);
    exportItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction *broken =
        results->addAction(namedIcon(u"link_break"_s), tr("Check &Broken Links"), m_brokenButton, &QPushButton::click);
    broken->setObjectName(u"FindBrokenLinks1"_s);
    broken->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    results->addSeparator();
    m_problemsOnlyItem = results->addAction(tr("&Problems only"));
    m_problemsOnlyItem->setObjectName(u"ProblemsOnly1"_s);
    m_problemsOnlyItem->setCheckable(true);
    m_problemsOnlyItem->setChecked(m_problemsOnly->isChecked());
    connect(m_problemsOnlyItem, &QAction::toggled, m_problemsOnly, &QCheckBox::setChecked);

    QMenu *tools = bar->addMenu(tr("&Tools"));
    tools->setObjectName(u"Tools1"_s);
    // From the menu bar the start is the URL box's address.
    tools->addAction(tr("&Crawl Site..."), this, [this] { openSiteWindow(m_urlBox->currentText()); })
        ->setObjectName(u"CrawlSite3"_s);
    tools->addSeparator();
    for (const FixedTool tool : fixedToolsInMenuOrder()) {
        QAction *item = tools->addAction(namedIcon(u"html"_s), fixedToolCaption(tool), this,
                                         [this, tool] { openAddress(fixedToolAddress(tool)); });
        item->setObjectName(fixedToolObjectName(tool));
    }
    giveAccessKeys(*tools);

    QMenu *settings = bar->addMenu(tr("&Settings"));
    settings->setObjectName(u"Settings1"_s);
    settings->addAction(tr("&Reset to Defaults..."), this, &TAppForm::onResetToDefaults)
        ->setObjectName(u"ResettoDefaults1"_s);

    QMenu *help = bar->addMenu(tr("&Help"));
    help->setObjectName(u"Help1"_s);
    QAction *onlineHelp = help->addAction(tr("Online &Help"), this, &TAppForm::onOnlineHelp);
    onlineHelp->setObjectName(u"Help2"_s);
    onlineHelp->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    QAction *updates = help->addAction(tr("&Update Notifications"));
    updates->setObjectName(u"UpdateNotifications1"_s);
    m_updateNotifier = new UpdateNotifier(
        windowContext(),
        m_environment.showUpdateIni.isEmpty() ? ShowUpdateSetting() : ShowUpdateSetting(m_environment.showUpdateIni),
        updates, this);
    help->addAction(namedIcon(u"feedback"_s), tr("Send &Feedback..."), this, &TAppForm::onSendFeedback)
        ->setObjectName(u"SendFeedback1"_s);
    help->addAction(namedIcon(u"about"_s), tr("&About..."), this, &TAppForm::onAbout)->setObjectName(u"About1"_s);
    connect(m_feedbackButton, &QPushButton::clicked, this, &TAppForm::onSendFeedback);
    connect(m_aboutButton, &QPushButton::clicked, this, &TAppForm::onAbout);
}

void TAppForm::onEnterUrl()
{
    m_urlBox->setFocus(Qt::ShortcutFocusReason);
    m_urlBox->lineEdit()->selectAll();
}

void TAppForm::onFindAgain()
{
    // F3 looks for the Find box's text once more; with nothing to look for yet it opens Find.
    if (!m_findDialog || m_findDialog->textBox()->text().isEmpty()) {
        onFind();
        return;
    }
    onFindNext(m_findDialog->textBox()->text());
}

void TAppForm::openWebTool(WebTool tool)
{
    if (const std::optional<QString> target = rowTarget()) {
        openAddress(webToolAddress(tool, *target));
    }
}

void TAppForm::onResetToDefaults()
{
    const QString message = LookupText(tr("Restart Application?")) + u"\n\n"_s +
                            tr("This deletes the saved options, the URL history and the remembered window layout "
                               "(size and position, column widths, sort order and splitter positions).");
    const int answer = ShowCaptionDialog(this, message, DialogKind::Confirmation, {DialogButton::Yes, DialogButton::No},
                                         LookupText(tr("Confirmation")), {LookupText(tr("Yes")), LookupText(tr("No"))});
    if (answer != dialogResultCode(DialogButton::Yes)) {
        return;
    }
    removeStoredOptions(m_dataFolder);
    if (m_layout) {
        m_layout->forget();
    }
    if (m_environment.restart) {
        m_environment.restart();
        return;
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    QCoreApplication::quit();
}

std::optional<int> TAppForm::selectedRow() const
{
    return m_table->currentRow();
}

void TAppForm::selectRow(int row)
{
    // The row alone, whatever keys are held: several rows may be selected by the user.
    m_list->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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

void TAppForm::onCopyAll()
{
    m_table->copyAllRows();
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
    // A row the "Problems only" filter hides is passed over. The search starts again at the top
    // after a match in the last row, so it ends at the second time round.
    bool wrapped = false;
    for (qsizetype at = m_findPosition;;) {
        const qsizetype next = findNextRow(m_model->rows(), text, at);
        if (next >= 0 && next <= at) {
            if (wrapped) {
                m_findPosition = -1;
                break;
            }
            wrapped = true;
        }
        m_findPosition = at = next;
        if (next < 0 || !m_list->isRowHidden(static_cast<int>(next))) {
            break;
        }
    }
    if (m_findPosition < 0) {
        // The old match must not look like the answer.
        m_list->clearSelection();
        m_statusActivity->setText(tr("Not found"));
        beep();
        return;
    }
    if (m_statusActivity->text() == tr("Not found")) {
        m_statusActivity->clear();
    }
    selectRow(static_cast<int>(m_findPosition));
}

void TAppForm::onLoadFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), QString(), tr("HTML File (*.htm*);;Any File (*)"));
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
    m_analyses->analyze(*target, options);
}

void TAppForm::onCrawlSite()
{
    // The list with no selected row does not fall back to the URL box.
    if (const std::optional<QString> target = rowTarget()) {
        openSiteWindow(*target);
    }
}

void TAppForm::openSiteWindow(const QString &start)
{
    if (trimControl(start).isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("Please enter URL!"));
        return;
    }
    SiteSetup setup;
    setup.start = fixUpAddress(start);
    setup.options = crawlOptions();
    // Each crawl takes the options as they are when it starts.
    setup.optionsNow = [this] {
        return crawlOptions();
    };
    setup.storePath = m_dataFolder + u"crawls.sqlite"_s;
    setup.listSeparator = m_localeListSeparator;
    setup.contentsHost = m_environment.contentsHost;
    setup.openAddress = [this](const QString &address) {
        openAddress(address);
    };
    // Each Site window is a window of its own with its own crawl; it goes when closed, or with
    // this window.
    auto *site = new TSiteForm(std::move(setup), this);
    site->setAttribute(Qt::WA_DeleteOnClose);
    site->show();
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

} // namespace quorvel
