#pragma once

#include "core/common/OwnedThread.h"
#include "core/windows/ShowUpdateSetting.h"
#include "core/windows/UpdateCheck.h"
#include "gui/windows/TNewVer.h"
#include "gui/windows/WindowContext.h"

#include <QObject>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QAction;
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

// Asks the update service once, in the background, and announces a strictly newer version with
// the corner popup (at most once per run) while the notices are on; owns the Help menu's "Update
// Notifications" switch. Child of the main window; UI thread.
class UpdateNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateNotifier)

public:
    struct Options
    {
        QString serviceAddress;     // empty: updateCheckUrl(context.site(), context.appProductName)
        UpdateCheckOptions check;   // the request's bounds
        NewVerTimings popupTimings; // the popup's timers
        QRect screenGeometry;       // empty: the primary screen
    };

    // menuItem: "Update Notifications" (UpdateNotifications1); made checkable, checked and disabled
    // here until the check has finished. window: the main window, the popup's parent.
    UpdateNotifier(WindowContext context, ShowUpdateSetting setting, QAction *menuItem, QWidget *window,
                   Options options = {});
    ~UpdateNotifier() override;

    // Starts the one check of this run; later calls do nothing.
    void start();

    bool isChecking() const { return m_check != nullptr; }

    // The popup, once a newer version was announced; null before.
    TNewVer *popup() const { return m_popup; }

Q_SIGNALS:
    // The check ended, successfully or not; the menu item is enabled by then.
    void checkFinished(const UpdateInfo &info);

private:
    void onCheckFinished(const UpdateInfo &info);
    void onMenuItemTriggered(bool checked); // UpdateNotifications1Click

    WindowContext m_context;
    ShowUpdateSetting m_setting;
    QPointer<QAction> m_menuItem;
    QWidget *m_window;
    Options m_options;
    bool m_started = false;
    QPointer<TNewVer> m_popup;
    OwnedThreadPtr m_check; // the request on its way; null when none runs
};

} // namespace quorvel
