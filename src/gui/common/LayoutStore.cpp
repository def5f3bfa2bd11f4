#include "gui/common/LayoutStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

const QString kGeometry = u"Window/Geometry"_s;

QString splitterKey(const QString &name)
{
    return u"Splitters/"_s + name;
}

QString headerKey(const QString &name)
{
    return u"Headers/"_s + name;
}

} // namespace

LayoutStore::LayoutStore(QString path)
    : m_path(std::move(path))
    , m_settings(std::make_unique<QSettings>(m_path, QSettings::IniFormat))
{}

LayoutStore::~LayoutStore() = default;

void LayoutStore::saveWindow(const QWidget &window)
{
    if (!m_settings) {
        return;
    }
    m_settings->setValue(kGeometry, window.saveGeometry());
    for (const QSplitter *splitter : window.findChildren<QSplitter *>()) {
        if (!splitter->objectName().isEmpty()) {
            m_settings->setValue(splitterKey(splitter->objectName()), splitter->saveState());
        }
    }
}

bool LayoutStore::restoreWindow(QWidget &window) const
{
    if (!m_settings) {
        return false;
    }
    for (QSplitter *splitter : window.findChildren<QSplitter *>()) {
        const QVariant state = m_settings->value(splitterKey(splitter->objectName()));
        if (!splitter->objectName().isEmpty() && state.canConvert<QByteArray>()) {
            splitter->restoreState(state.toByteArray());
        }
    }
    const QVariant geometry = m_settings->value(kGeometry);
    return geometry.canConvert<QByteArray>() && window.restoreGeometry(geometry.toByteArray());
}

void LayoutStore::saveHeader(const QString &name, const QHeaderView &header)
{
    if (m_settings) {
        m_settings->setValue(headerKey(name), header.saveState());
    }
}

bool LayoutStore::restoreHeader(const QString &name, QHeaderView &header) const
{
    if (!m_settings) {
        return false;
    }
    const QVariant state = m_settings->value(headerKey(name));
    return state.canConvert<QByteArray>() && header.restoreState(state.toByteArray());
}

void LayoutStore::setInt(const QString &key, int value)
{
    if (m_settings) {
        m_settings->setValue(key, value);
    }
}

int LayoutStore::intValue(const QString &key, int fallback) const
{
    if (!m_settings) {
        return fallback;
    }
    bool ok = false;
    const int value = m_settings->value(key).toInt(&ok);
    return ok ? value : fallback;
}

bool LayoutStore::sync(QString *error)
{
    if (!m_settings) {
        return true;
    }
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError) {
        return true;
    }
    if (error != nullptr) {
        *error = m_settings->status() == QSettings::AccessError
                     ? QCoreApplication::translate("LayoutStore", "Unable to write to %1").arg(m_path)
                     : QCoreApplication::translate("LayoutStore", "Unreadable file %1").arg(m_path);
    }
    return false;
}

bool LayoutStore::forget()
{
    // Dropping the settings object first flushes what it still holds, so the file stays deleted.
    m_settings.reset();
    return !QFile::exists(m_path) || QFile::remove(m_path);
}

} // namespace quorvel
