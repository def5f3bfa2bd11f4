#include "gui/windows/TAboutBox.h"

#include "core/common/LookupText.h"
#include "gui/common/PopupUnderButton.h"
#include "gui/windows/RainWidget.h"
#include "gui/windows/WindowDrag.h"
#include "gui/windows/WindowPictures.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

constexpr QRect kPanel(48, 42, 350, 291);
constexpr QSize kLogoSize(344, 105);
constexpr QRect kLogo(3, 3, 344, 105);
constexpr QRect kBevel(9, 122, 34, 34);
constexpr QRect kIcon(10, 123, 32, 32);
constexpr QRect kNameVersion(49, 122, 290, 40);
constexpr QRect kOkButton(49, 226, 122, 33);
constexpr QRect kInfoButton(177, 226, 122, 33);
constexpr QRect kSiteLink(0, 268, 350, 18);
constexpr QSize kEggPanelSize(324, 220);
constexpr QSize kEggSize(320, 214);
constexpr int kEggIntervalMs = 5;

// Text in a fixed colour whatever the style.
void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBlackBackground(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

TAboutBox::TAboutBox(WindowContext context, QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
{
    buildWindow();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::buildWindow()
{
    setObjectName(u"AboutBox"_s);
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setBlackBackground(this);

    // The rain lies under everything else; the hidden picture lies under the panel.
    m_rain = new RainWidget(QRandomGenerator::global()->generate(), this);
    m_rain->setGeometry(0, 0, kClientWidth, kClientHeight);
    m_rain->model().setRainText(u"brellan"_s);
    // StartRain: the grid from the window's outer size; it starts again once the window is shown
    // and its frame is known.
    m_rain->StartRain(frameGeometry().size());

    setWindowTitle(LookupText(u"About %s"_s).replace(u"%s"_s, m_context.appProductName));

    m_eggPanel = new QFrame(this);
    m_eggPanel->setObjectName(u"PanelEgg"_s);
    m_eggPanel->setFrameShape(QFrame::Panel);
    m_eggPanel->setFrameShadow(QFrame::Raised);
    setBlackBackground(m_eggPanel);
    m_eggPanel->setGeometry((kClientWidth - kEggPanelSize.width()) / 2, (kClientHeight - kEggPanelSize.height()) / 2,
                            kEggPanelSize.width(), kEggPanelSize.height());
    m_egg = new QLabel(m_eggPanel);
    m_egg->setObjectName(u"ImageEgg"_s);
    m_egg->setGeometry((kEggPanelSize.width() - kEggSize.width()) / 2, (kEggPanelSize.height() - kEggSize.height()) / 2,
                       kEggSize.width(), kEggSize.height());
    m_eggPanel->hide();

    m_panel = new QFrame(this);
    m_panel->setObjectName(u"Panel1"_s);
    setBlackBackground(m_panel);
    setTextColour(m_panel, Qt::white);
    m_panel->setGeometry(kPanel);

    m_logo = new QLabel(m_panel);
    m_logo->setObjectName(u"Image2"_s);
    m_logo->setGeometry(kLogo);

    m_bevel = new QFrame(m_panel);
    m_bevel->setObjectName(u"Bevel1"_s);
    m_bevel->setFrameShape(QFrame::Box);
    m_bevel->setFrameShadow(QFrame::Sunken);
    m_bevel->setGeometry(kBevel);
    m_appIcon = new QLabel(m_panel);
    m_appIcon->setObjectName(u"VirtualImage1"_s);
    m_appIcon->setGeometry(kIcon);

    m_nameVersion = new QLabel(m_context.appProductName + u' ' + m_context.appVersion, m_panel);
    m_nameVersion->setObjectName(u"Label2"_s);
    m_nameVersion->setWordWrap(true);
    m_nameVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont nameFont = m_nameVersion->font();
    nameFont.setPixelSize(16);
    m_nameVersion->setFont(nameFont);
    m_nameVersion->setGeometry(kNameVersion);

    m_okButton = new QPushButton(LookupText(u"OK"_s), m_panel);
    m_okButton->setObjectName(u"BitBtn1"_s);
    m_okButton->setGeometry(kOkButton);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    m_infoButton = new QPushButton(LookupText(u"Info"_s), m_panel);
    m_infoButton->setObjectName(u"BitBtn2"_s);
    m_infoButton->setGeometry(kInfoButton);
    m_infoButton->setAutoDefault(false);
    // The arrow goes to the right of the caption.
    m_infoButton->setLayoutDirection(Qt::RightToLeft);
    connect(m_infoButton, &QPushButton::clicked, this, &TAboutBox::onInfoClicked);
    m_okButton->setDefault(true);
    m_okButton->setFocus();

    const MakerSite site = m_context.site();
    m_siteLink = new QLabel(site.host(), m_panel);
    m_siteLink->setObjectName(u"Label5"_s);
    m_siteLink->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    setTextColour(m_siteLink, QColor(0, 255, 0));
    QFont linkFont = m_siteLink->font();
    linkFont.setUnderline(true);
    m_siteLink->setFont(linkFont);
    m_siteLink->setCursor(Qt::PointingHandCursor);
    m_siteLink->setToolTip(site.homeUrl());
    m_siteLink->setGeometry(kSiteLink);
    m_siteLink->installEventFilter(this);

    m_infoMenu = new QMenu(this);
    m_infoMenu->setObjectName(u"PopupMenu1"_s);
    QAction *credits = m_infoMenu->addAction(LookupText(u"Acknowledgements..."_s), this, &TAboutBox::onCreditsClicked);
    credits->setObjectName(u"Credits1"_s);
    QAction *uninstall =
        m_infoMenu->addAction(LookupText(u"How to uninstall..."_s), this, &TAboutBox::onUninstallClicked);
    uninstall->setObjectName(u"Howtouninstall1"_s);
    QAction *license = m_infoMenu->addAction(LookupText(u"License..."_s), this, &TAboutBox::onLicenseClicked);
    license->setObjectName(u"LicensePrivacyPolicy1"_s);

    m_eggTimer = new QTimer(this);
    m_eggTimer->setObjectName(u"TimerEgg"_s);
    m_eggTimer->setInterval(kEggIntervalMs);
    connect(m_eggTimer, &QTimer::timeout, this, &TAboutBox::onEggTick);

    m_drag = new WindowDrag(this);
    for (QWidget *handle :
         std::initializer_list<QWidget *>{this, m_rain, m_panel, m_logo, m_appIcon, m_nameVersion, m_egg}) {
        m_drag->addHandle(handle);
    }
    m_appIcon->installEventFilter(this);
    m_egg->installEventFilter(this);

    HighDPIImageYukle();

    // Centred on the screen (of the parent, when there is one).
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - kClientWidth) / 2, area.top() + (area.height() - kClientHeight) / 2);
    }
}

void TAboutBox::HighDPIImageYukle()
{
    const qreal ratio = devicePixelRatioF();
    m_logo->setPixmap(windowPixmap(u"logo"_s, kLogoSize, ratio));
    m_egg->setPixmap(windowPixmap(u"egg"_s, kEggSize, ratio));
    // AddAppIcon: the program's icon, drawn for this screen.
    m_appIcon->setPixmap(m_context.icon().pixmap(kIcon.size(), ratio));
    m_infoButton->setIcon(windowPicture(u"arrow"_s));
    m_infoButton->setIconSize(QSize(10, 10));
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_rainSized) {
        m_rainSized = true;
        m_rain->StartRain(frameGeometry().size());
    }
    if (!m_screenWatched && windowHandle()) {
        m_screenWatched = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] {
            HighDPIImageYukle();
            m_rain->StartRain(frameGeometry().size());
        });
    }
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_appIcon) {
            onIconDoubleClicked();
        } else if (watched == m_egg) {
            onEggDoubleClicked();
        }
    } else if (watched == m_siteLink && event->type() == QEvent::MouseButtonPress) {
        return true; // the link is not a handle to drag the window by
    } else if (watched == m_siteLink && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_siteLink->rect().contains(mouse->position().toPoint())) {
            m_context.openAddress(m_context.site().homeUrl()); // Label5Click
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::onIconDoubleClicked()
{
    if (m_eggTimer->isActive()) {
        return;
    }
    m_eggPanel->show();
    // 5 ms on a screen of the system's density, scaled when the window sits on another one.
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QScreen *current = screen();
    const qreal systemDpi = primary ? primary->logicalDotsPerInch() : 96.0;
    const qreal windowDpi = current ? current->logicalDotsPerInch() : systemDpi;
    m_eggTimer->setInterval(std::max(1, int(std::lround(kEggIntervalMs * systemDpi / windowDpi))));
    m_eggTimer->start();
}

void TAboutBox::onEggTick()
{
    m_panel->move(m_panel->x() + kEggStepPx, m_panel->y());
    if (m_panel->x() > width()) {
        m_eggTimer->stop();
    }
}

void TAboutBox::onEggDoubleClicked()
{
    if (m_eggTimer->isActive()) {
        return;
    }
    m_eggPanel->hide();
    m_panel->move((width() - m_panel->width()) / 2, m_panel->y());
}

void TAboutBox::onInfoClicked()
{
    PopupUnderButton(m_infoButton, m_infoMenu);
}

void TAboutBox::onCreditsClicked()
{
    m_context.openAddress(m_context.site().creditsUrl());
}

void TAboutBox::onUninstallClicked()
{
    m_context.openAddress(m_context.site().uninstallUrl());
}

QString TAboutBox::licenseFile() const
{
    if (m_context.programFolder.isEmpty()) {
        return QString();
    }
    const QDir folder(m_context.programFolder);
    for (const QString &candidate : {u"license.txt"_s, u"../share/doc/Quorvel/license.txt"_s}) {
        const QFileInfo file(folder.filePath(candidate));
        if (file.isFile()) {
            return file.canonicalFilePath();
        }
    }
    return QString();
}

void TAboutBox::onLicenseClicked()
{
    const QString file = licenseFile();
    if (file.isEmpty()) {
        m_context.message(this, DialogKind::Error, LookupText(u"License"_s), LookupText(u"File not found!"_s));
        return;
    }
    m_context.openAddress(QUrl::fromLocalFile(file).toString());
}

} // namespace quorvel
