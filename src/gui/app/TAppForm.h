#pragma once

#include "core/collect/Collector.h"
#include "core/crawl/Crawler.h"
#include "core/results/LinkChecker.h"
#include "core/results/WebTools.h"
#include "gui/app/AppEnvironment.h"
#include "gui/app/AppFormOptions.h"
#include "gui/app/AppFormState.h"
#include "gui/common/BusyCursor.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <optional>

QT_BEGIN_NAMESPACE
namespace Ui {
class TAppForm;
}
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTableView;
class QToolButton;
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

class AnalysisLauncher;
class LayoutStore;
class ResultsModel;
class ResultsTable;
class UpdateNotifier;
struct WindowContext;
class TFindDialog;

// The main window: the URL row, the option rows, the results list, the button bar and the status
// bar; it starts and stops collection runs and forwards the list's commands. Lives on the UI thread.
// The layout is TAppForm.ui; the code is split by job: TAppForm.cpp (building, options, window
// events), TAppFormRuns.cpp (collection runs, broken-link passes, run state) and TAppFormMenus.cpp
// (the menus and the commands they run).
class TAppForm final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAppForm)

public:
    explicit TAppForm(AppEnvironment environment, QWidget *parent = nullptr);
    ~TAppForm() override;

    // Program-wide values set once at start-up.
    const QString &appProductName() const { return m_appProductName; }
    const QString &appTitle() const { return m_appTitle; }
    const QString &appVersion() const { return m_appVersion; }
    const QString &dataFolder() const { return m_dataFolder; }
    QChar localeListSeparator() const { return m_localeListSeparator; }
    // Why start-up could not read the program's identity; empty when it could.
    const QString &startupError() const { return m_startupError; }

    ResultsModel *resultsModel() const { return m_model; }
    // PopupSource by name: "List", "Button" or empty.
    QString popupSource() const { return popupSourceName(m_popupSource); }
    // Analyses whose page is still being fetched.
    int analysesRunning() const;
    QMenu *checkMenu() const { return m_checkMenu; }
    QMenu *listMenu() const { return m_listMenu; }

    ResultsTable *resultsTable() const { return m_table; }
    // The file that holds the remembered layout (window, splitters, columns, sort).
    QString layoutFile() const;
    // Shows the window as it was left (size, place, maximised or not); maximised the first time.
    void showRemembered();

    // Asks the update service once, in the background; called after the window is shown.
    void startUpdateCheck();

    // Puts "file:///" + path into the URL box, as Load File and a dropped file do.
    void setLocalFile(const QString &path);

    // The user agent captured at the last Check (RequestAgent); empty before the first one.
    const QString &requestAgent() const { return m_requestAgent; }

public Q_SLOTS:
    // BitBtn1Click: the Check/STOP command.
    void onCheckClicked();
    // Button2Click: starts a broken-link pass, or stops the running one.
    void onCheckBrokenLinksClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // TAppForm.cpp: building the window, its options, and the window's own events.
    void readIdentity();
    void buildWindow();
    void bindControls();
    void setFontsAndColours();
    // Gives Check and Check Broken Links the width of their widest caption.
    void fitButtonWidths();
    void finishControls();
    void buildStatusBar();
    void connectControls();
    OptionControls optionControls() const;
    UrlBaseMode urlBaseMode() const;
    // The check options as the controls hold them now, with the agent given.
    LinkCheckOptions checkOptions(const QString &agent) const;
    // A crawl's options as the controls hold them now (depth, pages, robots and sitemap at their
    // defaults).
    CrawlOptions crawlOptions() const;
    // The rows "Show Options" shows and hides, top to bottom.
    QList<QWidget *> optionRows() const;
    void onShowOptionsToggled(bool on);
    // The layout remembered across restarts: read after the data folder is known, written when
    // the window goes (not after Reset to Defaults, which deletes it).
    void restoreLayout();
    void saveLayout();
    void onExport(); // Button3Click
    void setHistory(const QStringList &entries);
    void beep() const;
    void openAddress(const QString &address) const;

    // TAppFormRuns.cpp: collection runs, broken-link passes and the run state.
    // Sets the Check and Check Broken Links captions, which controls take input, and the wait cursor.
    void setRunState(RunState state);
    void startRun();
    // IslemTamam ("operation complete"): the idle look of the URL row.
    void IslemTamam();
    void onLoading(quint64 generation, const QString &address);
    void onRedirectRow(quint64 generation, const LinkRow &row);
    void onUrlBoxChanged(quint64 generation, const QString &target);
    void onRowsCollected(quint64 generation, const QList<LinkRow> &rows);
    void onRunFinished(quint64 generation, qsizetype total, const QString &error);
    void onRowChecked(int row, const TURLStatus &status);
    void onCheckPassFinished();
    void onHeaderClicked(int column);

    // TAppFormStatus.cpp: the status bar and the "Problems only" filter.
    void connectProblemsFilter();
    // Hides or shows rows first..last by the filter, then says the totals.
    void applyProblemsFilter(int first, int last);
    void onProblemsOnlyToggled(bool on);
    // "Total Links: N", and " (showing K)" while rows are hidden.
    void showTotal();
    // The rows a pass has done of the total while it runs, its summary counts after.
    void showCheckProgress(int done, int total);
    void showCheckSummary();

    // TAppFormMenus.cpp: the menus and the commands they run.
    void buildPopupMenus();
    void buildMenuBar();
    // The row-target rule: the selected row's link for the list's menu, the URL box text for the
    // button's menu, nothing otherwise.
    std::optional<QString> rowTarget() const;
    std::optional<int> selectedRow() const;
    void selectRow(int row);
    void openWebTool(WebTool tool);
    void onCheckMenuItem();  // Check1Click
    void onGotoUrl();        // GotoURL1Click
    void onCopyUrl();        // CopyURL1Click
    void onCopyAnchorText(); // CopyAnchorText1Click
    void onCopyAll();
    void onFind();                        // Button1 / Search1Click
    void onFindNext(const QString &text); // FindDialog1Find
    void onFindAgain();                   // F3: Find Next with the Find box's text
    void onEnterUrl();                    // Ctrl+L: to the URL box, its text selected
    void onLoadFile();                    // LoadFile1Click
    void onResetToDefaults();             // ResettoDefaults1Click
    void onOnlineHelp();                  // Help2Click
    void onAnalyzeUrl();                  // AnalyzeURL1Click
    void onCrawlSite();                   // Crawl Site... of the two command menus
    // A new Site window for start with the options as they are now.
    void openSiteWindow(const QString &start);
    void onSendFeedback(); // SendFeedback1Click, Button4Click
    void onAbout();        // About1Click, Button5Click
    WindowContext windowContext();

    AppEnvironment m_environment;
    QString m_appProductName;
    QString m_appTitle;
    QString m_appVersion;
    QString m_companyName;
    QString m_dataFolder;
    QString m_startupError;
    QChar m_localeListSeparator = u',';
    bool m_startupComplete = false;

    // Values of the Check command.
    QString m_ignoredExtensions; // IgnoredExtensions
    QString m_requestAgent;      // RequestAgent
    PopupSource m_popupSource = PopupSource::None;
    qsizetype m_findPosition = -1; // FindPosition

    AppFormOptions *m_options = nullptr;
    OwnedWorker<TCollector> m_collector;
    OwnedWorker<LinkChecker> m_checkPass;
    RunState m_runState = RunState::Idle;
    int m_checkedRows = 0;
    quint64 m_generation = 0;
    // The wait cursor while a collection run or a broken-link pass goes (analyses hold their own).
    std::optional<BusyCursor> m_runBusy;

    // The form; the members below point into it, each named for what it shows, with its objectName.
    std::unique_ptr<Ui::TAppForm> m_ui;
    QComboBox *m_urlBox = nullptr;            // Edit1
    QToolButton *m_checkButton = nullptr;     // BitBtn1
    QCheckBox *m_showOptions = nullptr;       // CheckBox1
    QWidget *m_urlBaseRow = nullptr;          // Panel2
    QRadioButton *m_domainName = nullptr;     // RadioButton1
    QRadioButton *m_subdomainName = nullptr;  // RadioButton2
    QWidget *m_requestRow = nullptr;          // Panel4: time-outs, parallel checks, agent
    QLineEdit *m_connectTimeout = nullptr;    // Edit3
    QLineEdit *m_responseTimeout = nullptr;   // Edit4
    QComboBox *m_agentBox = nullptr;          // ComboBox1
    QSpinBox *m_parallelChecks = nullptr;     // "Parallel checks:"
    QSpinBox *m_perHost = nullptr;            // "Per host:"
    QWidget *m_ignoreExtensionsRow = nullptr; // Panel5
    QLineEdit *m_ignoreExtensions = nullptr;  // Edit2
    QWidget *m_checkOptionsRow = nullptr;     // Panel6: anchors, HEAD
    QCheckBox *m_removeAnchors = nullptr;     // CheckBox2
    QCheckBox *m_useHead = nullptr;           // CheckBox3
    QWidget *m_ignoreUrlsRow = nullptr;       // Panel7
    QPlainTextEdit *m_ignoreUrls = nullptr;   // Memo1
    QWidget *m_optionsPanel = nullptr;        // the option rows' form, above the splitter's bar
    QSplitter *m_splitter = nullptr;          // OptionsSplitter: the options above, the results below
    QCheckBox *m_problemsOnly = nullptr;      // "Problems only" above the list
    QAction *m_problemsOnlyItem = nullptr;    // the same in the Results menu
    QTableView *m_list = nullptr;             // ListBox1
    int m_hiddenRows = 0;                     // rows the filter hides
    QLineEdit *m_filterEdit = nullptr;        // the filter box above the list
    QString m_filterText;                     // what the filter box holds
    ResultsModel *m_model = nullptr;
    ResultsTable *m_table = nullptr;
    QPushButton *m_findButton = nullptr;     // Button1
    QPushButton *m_exportButton = nullptr;   // Button3
    QPushButton *m_brokenButton = nullptr;   // Button2
    QPushButton *m_feedbackButton = nullptr; // Button4
    QPushButton *m_aboutButton = nullptr;    // Button5
    UpdateNotifier *m_updateNotifier = nullptr;
    QLabel *m_statusTotal = nullptr;         // StatusBar1 panel 0
    QLabel *m_statusActivity = nullptr;      // StatusBar1 panel 1
    QProgressBar *m_checkProgress = nullptr; // rows done of a broken-link pass
    QLabel *m_checkCounts = nullptr;         // "N/M checked" while a pass runs, its summary after
    QMenu *m_checkMenu = nullptr;            // PopupMenu1: the Check button's arrow
    QMenu *m_listMenu = nullptr;             // PopupMenu2: the results list's context menu
    QPointer<TFindDialog> m_findDialog;
    // Analyses whose page is still being fetched; closing the window stops them and waits.
    AnalysisLauncher *m_analyses = nullptr;
    std::unique_ptr<LayoutStore> m_layout;
    bool m_layoutRestored = false; // a remembered geometry was applied
};

} // namespace quorvel
