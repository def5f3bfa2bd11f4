#include "core/windows/ShowUpdateSetting.h"

#include <QSettings>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

const QString kKey = u"Settings/ShowUpdate"_s;

std::unique_ptr<QSettings> openStore(const QString &iniFile)
{
    if (iniFile.isEmpty()) {
        return std::make_unique<QSettings>(u"BRELLAN"_s, u"Quorvel"_s);
    }
    return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

} // namespace

ShowUpdateSetting::ShowUpdateSetting() = default;

ShowUpdateSetting::ShowUpdateSetting(QString iniFile)
    : m_iniFile(std::move(iniFile))
{}

bool ShowUpdateSetting::isOn() const
{
    const QVariant value = openStore(m_iniFile)->value(kKey);
    if (!value.isValid()) {
        return true;
    }
    bool isNumber = false;
    const int number = value.toString().trimmed().toInt(&isNumber);
    return !(isNumber && number == 0);
}

void ShowUpdateSetting::write(bool on) const
{
    const std::unique_ptr<QSettings> store = openStore(m_iniFile);
    store->setValue(kKey, on ? 1 : 0);
    store->sync();
}

} // namespace quorvel
