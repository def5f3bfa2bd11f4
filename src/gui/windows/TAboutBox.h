#pragma once

#include "gui/windows/WindowContext.h"

#include <QDialog>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class TAboutBox;
}
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

namespace quorvel {

class RainWidget;
class WindowDrag;

// The About window: name and version, the maker's logo and the program's icon on a panel over
// falling green characters, an "Info" menu with the maker's pages and the licence, and a hidden
// picture behind the panel. Modal, one per "About..." command; UI thread.
class TAboutBox final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAboutBox)

public:
    static constexpr int kClientWidth = 446;
    static constexpr int kClientHeight = 374;
    static constexpr int kEggStepPx = 5;

    explicit TAboutBox(WindowContext context, QWidget *parent = nullptr);
    ~TAboutBox() override;

    QFrame *infoPanel() const { return m_panel; } // Panel1

    QFrame *eggPanel() const { return m_eggPanel; } // PanelEgg

    QLabel *appIcon() const { return m_appIcon; } // VirtualImage1

    QLabel *eggPicture() const { return m_egg; } // ImageEgg

    QMenu *infoMenu() const { return m_infoMenu; } // PopupMenu1

    QTimer *eggTimer() const { return m_eggTimer; } // TimerEgg

    RainWidget *rain() const { return m_rain; }

    // The licence beside the program: license.txt in the program's folder, else the installed copy
    // (share/doc/Quorvel beside the program's bin folder); empty when neither exists.
    QString licenseFile() const;

public Q_SLOTS:
    void onIconDoubleClicked(); // Image1DblClick: slides the panel away from the hidden picture
    void onEggDoubleClicked();  // ImageEggDblClick: puts the panel back, centred
    void onInfoClicked();       // BitBtn2Click
    void onCreditsClicked();    // Credits1Click
    void onUninstallClicked();  // Howtouninstall1Click
    void onLicenseClicked();    // LicensePrivacyPolicy1Click

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void bindControls();
    void fillControls();
    void buildInfoMenu();
    void HighDPIImageYukle(); // "Yukle" = load: draws the logo and the hidden picture for the screen
    void onEggTick();         // TimerEggTimer

    WindowContext m_context;

    RainWidget *m_rain = nullptr;
    std::unique_ptr<Ui::TAboutBox> m_ui; // the form; the members below point into it
    QFrame *m_panel = nullptr;           // Panel1
    QLabel *m_logo = nullptr;            // Image2
    QFrame *m_bevel = nullptr;           // Bevel1
    QLabel *m_appIcon = nullptr;         // VirtualImage1
    QLabel *m_nameVersion = nullptr;     // Label2
    QPushButton *m_okButton = nullptr;   // BitBtn1
    QPushButton *m_infoButton = nullptr; // BitBtn2
    QLabel *m_siteLink = nullptr;        // Label5
    QFrame *m_eggPanel = nullptr;        // PanelEgg
    QLabel *m_egg = nullptr;             // ImageEgg
    QMenu *m_infoMenu = nullptr;         // PopupMenu1
    QTimer *m_eggTimer = nullptr;        // TimerEgg
    WindowDrag *m_drag = nullptr;
    bool m_screenWatched = false;
    bool m_rainSized = false;
};

} // namespace quorvel
