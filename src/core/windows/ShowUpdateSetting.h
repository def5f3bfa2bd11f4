#pragma once

#include <QString>

namespace quorvel {

// The per-user switch of the update notices: the integer ShowUpdate in section Settings of
// QSettings("BRELLAN", "Quorvel"), 1 = on, 0 = off, on when absent. Tests give an INI file of
// their own instead. Read and written on the UI thread.
class ShowUpdateSetting final
{
public:
    // The program's own store.
    ShowUpdateSetting();
    // An INI file at this path (tests).
    explicit ShowUpdateSetting(QString iniFile);

    // False only when the stored value is the number 0.
    bool isOn() const;
    // Writes ShowUpdate = 1 or 0 at once.
    void write(bool on) const;

private:
    QString m_iniFile; // empty: the native store of BRELLAN/Quorvel
};

} // namespace quorvel
