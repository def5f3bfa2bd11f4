#include "gui/windows/TNewVer.h"

#include "ui_TNewVer.h"

#include "core/common/LookupText.h"
#include "gui/windows/WindowDrag.h"
#include "gui/windows/WindowPictures.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The one-pixel rectangle at the centre of r: where the opening effect starts and the closing
// one ends.
QRect centreOf(const QRect &r)
{
    return {r.center(), QSize(1, 1)};
}

} // namespace

TNewVer::TNewVer(WindowContext context, QString latestVersion, QString downloadAddress, QWidget *parent,
                 NewVerTimings timings, QRect screenGeometry)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_context(std::move(context))
    , m_latestVersion(std::move(latestVersion))
    , m_downloadAddress(std::move(downloadAddress))
    , m_timings(timings)
    , m_closeCountdown(timings.closeCountdown)
    , m_ui(std::make_unique<Ui::TNewVer>())
{
    // FormCreate
    setObjectName(u"NewVer"_s);
    // It never takes the focus from the main window, and a closed popup is only hidden.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose, false);

    if (screenGeometry.isEmpty()) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        screenGeometry = screen ? screen->geometry() : QRect(0, 0, kClientWidth + 2 * kEdgeMargin, kClientHeight);
    }
    m_placement = QRect(screenGeometry.left() + screenGeometry.width() - kClientWidth - kEdgeMargin,
                        screenGeometry.top() + kEdgeMargin, kClientWidth, kClientHeight);
    setGeometry(m_placement);

    // The layout is TNewVer.ui; the texts, fonts and pictures depend on the product and the screen.
    m_ui->setupUi(this);
    m_frame = m_ui->Panel1;
    m_icon = m_ui->Image1;
    m_textColumn = m_ui->Panel3;
    m_title = m_ui->Label1;
    m_link = m_ui->Label2;
    m_close = m_ui->Button1;
    fillControls();

    m_drag = new WindowDrag(this);
    for (QWidget *handle : std::initializer_list<QWidget *>{this, m_frame, m_icon, m_title, m_textColumn}) {
        m_drag->addHandle(handle);
    }

    m_animation = new QPropertyAnimation(this, "geometry", this);

    m_startTimer = new QTimer(this);
    m_startTimer->setObjectName(u"TimerStart"_s);
    connect(m_startTimer, &QTimer::timeout, this, &TNewVer::onStartTick);
    m_closeTimer = new QTimer(this);
    m_closeTimer->setObjectName(u"TimerClose"_s);
    connect(m_closeTimer, &QTimer::timeout, this, &TNewVer::onCloseTick);
    m_linkTimer = new QTimer(this);
    m_linkTimer->setObjectName(u"TimerLink"_s);
    connect(m_linkTimer, &QTimer::timeout, this, &TNewVer::onLinkTick);
    m_startTimer->start(m_timings.startMs);
    m_closeTimer->start(m_timings.closeMs);
    m_linkTimer->start(m_timings.linkMs);
}

TNewVer::~TNewVer() = default;

void TNewVer::fillControls()
{
    // What the form cannot hold: looked-up captions, the product's texts, pixel sizes, pictures.
    m_icon->setPixmap(m_context.icon().pixmap(QSize(48, 48), devicePixelRatioF()));
    m_title->setText(LookupText(tr("UPDATE AVAILABLE")));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(13);
    m_title->setFont(titleFont);
    m_link->setText(LookupText(tr("Click to download")) + u' ' + m_context.appProductName + u' ' + m_latestVersion);
    QFont linkFont = m_link->font();
    linkFont.setUnderline(true);
    m_link->setFont(linkFont);
    m_link->installEventFilter(this);
    m_close->setIcon(windowPicture(u"close"_s));
    connect(m_close, &QPushButton::clicked, this, &TNewVer::onCloseClicked);
}

QString TNewVer::downloadTarget() const
{
    return m_downloadAddress.isEmpty() ? m_context.site().updateFallbackUrl() : m_downloadAddress;
}

void TNewVer::onStartTick()
{
    m_startTimer->stop();
    if (m_closeCountdown <= 0) {
        return; // counted out before it ever showed
    }
    // Grows out of its centre.
    m_animation->stop();
    m_animation->setDuration(m_timings.animationMs);
    m_animation->setStartValue(centreOf(m_placement));
    m_animation->setEndValue(m_placement);
    setGeometry(centreOf(m_placement));
    show();
    m_animation->start();
}

void TNewVer::onCloseTick()
{
    --m_closeCountdown;
    if (m_closeCountdown > 0) {
        return;
    }
    m_closeTimer->stop();
    if (!isVisible()) {
        return;
    }
    // Shrinks into its centre, then hides.
    m_animation->stop();
    m_animation->setDuration(m_timings.animationMs);
    m_animation->setStartValue(geometry());
    m_animation->setEndValue(centreOf(geometry()));
    connect(
        m_animation, &QPropertyAnimation::finished, this,
        [this] {
            close();
            setGeometry(m_placement);
        },
        Qt::SingleShotConnection);
    m_animation->start();
}

void TNewVer::onLinkTick()
{
    const bool over = m_link->rect().contains(m_link->mapFromGlobal(QCursor::pos()));
    const QColor colour = QApplication::palette().color(over ? QPalette::Highlight : QPalette::WindowText);
    if (m_link->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = m_link->palette();
        palette.setColor(QPalette::WindowText, colour);
        m_link->setPalette(palette);
    }
}

void TNewVer::onTextClicked()
{
    m_context.openAddress(downloadTarget());
    onCloseClicked();
}

void TNewVer::onCloseClicked()
{
    if (m_animation->state() == QAbstractAnimation::Running) {
        m_animation->stop();
        setGeometry(m_placement);
    }
    close();
}

bool TNewVer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_link) {
        // The text is a link, not a handle to drag the popup by.
        if (event->type() == QEvent::MouseButtonPress) {
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->button() == Qt::LeftButton && m_link->rect().contains(mouse->position().toPoint())) {
                onTextClicked();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvel
