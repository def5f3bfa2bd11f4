#include "gui/windows/UpdateNotifier.h"

#include "core/common/Logging.h"

#include <QAction>
#include <QWidget>

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

UpdateNotifier::UpdateNotifier(WindowContext context, ShowUpdateSetting setting, QAction *menuItem, QWidget *window,
                               Options options)
    : QObject(window)
    , m_context(std::move(context))
    , m_setting(std::move(setting))
    , m_menuItem(menuItem)
    , m_window(window)
    , m_options(std::move(options))
{
    if (m_options.serviceAddress.isEmpty()) {
        m_options.serviceAddress = updateCheckUrl(m_context.site(), m_context.appProductName);
    }
    m_options.check.cancel = nullptr; // the check gets its own flag
    if (m_menuItem) {
        m_menuItem->setCheckable(true);
        m_menuItem->setChecked(true);
        m_menuItem->setEnabled(false);
        connect(m_menuItem, &QAction::triggered, this, &UpdateNotifier::onMenuItemTriggered);
    }
}

UpdateNotifier::~UpdateNotifier()
{
    m_check.reset();
}

void UpdateNotifier::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    const QString address = m_options.serviceAddress;
    const UpdateCheckOptions bounds = m_options.check;
    m_check = runOwned<UpdateInfo>(
        u"UpdateNotifier check"_s, this,
        [address, bounds](const std::atomic<bool> &cancel) {
            UpdateCheckOptions options = bounds;
            options.cancel = &cancel;
            return checkForUpdate(address, options);
        },
        [this](const UpdateInfo &info) {
            m_check.reset();
            onCheckFinished(info);
        });
}

void UpdateNotifier::onCheckFinished(const UpdateInfo &info)
{
    const bool noticesOn = m_setting.isOn();
    qCDebug(lcGui).nospace().noquote() << "update check: latest " << info.latestVersion << ", this "
                                       << m_context.appVersion << ", notices " << (noticesOn ? "on" : "off")
                                       << (info.error.isEmpty() ? QString() : u", error: "_s + info.error);
    if (m_menuItem) {
        m_menuItem->setEnabled(true);
        if (!noticesOn) {
            m_menuItem->setChecked(false);
        }
    }
    if (info.error.isEmpty() && noticesOn && !m_popup && isNewerVersion(info.latestVersion, m_context.appVersion)) {
        // Creating it is all it takes: its own timers show it and close it again.
        m_popup = new TNewVer(m_context, info.latestVersion, info.downloadAddress, m_window, m_options.popupTimings,
                              m_options.screenGeometry);
    }
    Q_EMIT checkFinished(info);
}

void UpdateNotifier::onMenuItemTriggered(bool checked)
{
    // The item has already toggled its mark: removing it writes 0, setting it writes 1.
    m_setting.write(checked);
}

} // namespace quorvel
