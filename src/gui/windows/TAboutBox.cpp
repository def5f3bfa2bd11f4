#include "gui/windows/TAboutBox.h"

#include "ui_TAboutBox.h"

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

constexpr QSize kLogoSize(344, 105);
constexpr QRect kIcon(10, 123, 32, 32);
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
    , m_ui(std::make_unique<Ui::TAboutBox>())
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

    setWindowTitle(LookupText(tr("About %s")).replace(u"%s"_s, m_context.appProductName));

    // The panel, the pictures' places and the buttons are TAboutBox.ui; created after the rain, they
    // lie over it, the panel over the hidden picture.
    m_ui->setupUi(this);
    bindControls();
    fillControls();
    buildInfoMenu();

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

void TAboutBox::bindControls()
{
    m_eggPanel = m_ui->PanelEgg;
    m_egg = m_ui->ImageEgg;
    m_panel = m_ui->Panel1;
    m_logo = m_ui->Image2;
    m_bevel = m_ui->Bevel1;
    m_appIcon = m_ui->VirtualImage1;
    m_nameVersion = m_ui->Label2;
    m_okButton = m_ui->BitBtn1;
    m_infoButton = m_ui->BitBtn2;
    m_siteLink = m_ui->Label5;
}

void TAboutBox::fillControls()
{
    // What the form cannot hold: looked-up captions, the product's texts, pixel sizes, fixed colours.
    setBlackBackground(m_eggPanel);
    setBlackBackground(m_panel);
    setTextColour(m_panel, Qt::white);
    m_nameVersion->setText(m_context.appProductName + u' ' + m_context.appVersion);
    QFont nameFont = m_nameVersion->font();
    nameFont.setPixelSize(16);
    m_nameVersion->setFont(nameFont);
    m_okButton->setText(LookupText(tr("OK")));
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_infoButton->setText(LookupText(tr("Info")));
    connect(m_infoButton, &QPushButton::clicked, this, &TAboutBox::onInfoClicked);
    m_okButton->setFocus();

    const MakerSite site = m_context.site();
    m_siteLink->setText(site.host());
    setTextColour(m_siteLink, QColor(0, 255, 0));
    QFont linkFont = m_siteLink->font();
    linkFont.setUnderline(true);
    m_siteLink->setFont(linkFont);
    m_siteLink->setToolTip(site.homeUrl());
    m_siteLink->installEventFilter(this);
}

void TAboutBox::buildInfoMenu()
{
    m_infoMenu = new QMenu(this);
    m_infoMenu->setObjectName(u"PopupMenu1"_s);
    QAction *credits = m_infoMenu->addAction(LookupText(tr("Acknowledgements...")), this, &TAboutBox::onCreditsClicked);
    credits->setObjectName(u"Credits1"_s);
    QAction *uninstall =
        m_infoMenu->addAction(LookupText(tr("How to uninstall...")), this, &TAboutBox::onUninstallClicked);
    uninstall->setObjectName(u"Howtouninstall1"_s);
    QAction *license = m_infoMenu->addAction(LookupText(tr("License...")), this, &TAboutBox::onLicenseClicked);
    license->setObjectName(u"LicensePrivacyPolicy1"_s);
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
        return {};
    }
    const QDir folder(m_context.programFolder);
    for (const QString &candidate : {u"license.txt"_s, u"../share/doc/quorvel/copyright"_s}) {
        const QFileInfo file(folder.filePath(candidate));
        if (file.isFile()) {
            return file.canonicalFilePath();
        }
    }
    return {};
}

void TAboutBox::onLicenseClicked()
{
    const QString file = licenseFile();
    if (file.isEmpty()) {
        m_context.message(this, DialogKind::Error, LookupText(tr("License")), LookupText(tr("File not found!")));
        return;
    }
    m_context.openAddress(QUrl::fromLocalFile(file).toString());
}

} // namespace quorvel
