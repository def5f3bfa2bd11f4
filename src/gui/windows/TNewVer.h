#pragma once

#include "gui/windows/WindowContext.h"

#include <QRect>
#include <QWidget>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class TNewVer;
}
class QFrame;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

namespace quorvel {

class WindowDrag;

// The timings of the update popup; tests shorten them.
struct NewVerTimings
{
    int startMs = 1;            // TimerStart: the popup shows this long after its creation
    int closeMs = 1000;         // TimerClose: one count of CloseCountdown
    int linkMs = 100;           // TimerLink: the hover colour of the text follows the pointer
    int animationMs = 100;      // opening and closing effect
    qint64 closeCountdown = 11; // CloseCountdown's start value: the popup closes after this many counts
};

// The "UPDATE AVAILABLE" popup: a borderless window in the top-right corner of the screen, always
// on top, naming the new version; a click on its text opens the download address. It closes
// itself when its countdown runs out, or with its close button; closing only hides it. Created at
// most once per run by the update check; UI thread.
class TNewVer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TNewVer)

public:
    static constexpr int kClientWidth = 320;
    static constexpr int kClientHeight = 68;
    static constexpr int kEdgeMargin = 5;

    // latestVersion: LatestVersion; downloadAddress: DownloadAddress (empty: the maker's home page
    // over plain http). screenGeometry: the screen whose top-right corner it goes to (empty: the
    // primary screen). parent: the main window, which keeps the focus.
    TNewVer(WindowContext context, QString latestVersion, QString downloadAddress, QWidget *parent = nullptr,
            NewVerTimings timings = {}, QRect screenGeometry = {});
    ~TNewVer() override;

    qint64 closeCountdown() const { return m_closeCountdown; }

    // The address a click on the text opens.
    QString downloadTarget() const;

    // The rectangle the popup takes when shown.
    QRect placement() const { return m_placement; }

public Q_SLOTS:
    void onTextClicked();  // Label2Click
    void onCloseClicked(); // Button1Click

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillControls();
    void onStartTick(); // TimerStartTimer
    void onCloseTick(); // TimerCloseTimer
    void onLinkTick();  // TimerLinkTimer

    WindowContext m_context;
    QString m_latestVersion;
    QString m_downloadAddress;
    NewVerTimings m_timings;
    QRect m_placement;
    qint64 m_closeCountdown; // CloseCountdown

    std::unique_ptr<Ui::TNewVer> m_ui; // the form; the members below point into it
    QFrame *m_frame = nullptr;         // Panel1: the boxed body of the popup
    QLabel *m_icon = nullptr;          // Image1
    QFrame *m_textColumn = nullptr;    // Panel3: the title and the link
    QLabel *m_title = nullptr;         // Label1
    QLabel *m_link = nullptr;          // Label2
    QPushButton *m_close = nullptr;    // Button1
    QTimer *m_startTimer = nullptr;    // TimerStart
    QTimer *m_closeTimer = nullptr;    // TimerClose
    QTimer *m_linkTimer = nullptr;     // TimerLink
    QPropertyAnimation *m_animation = nullptr;
    WindowDrag *m_drag = nullptr;
};

} // namespace quorvel
