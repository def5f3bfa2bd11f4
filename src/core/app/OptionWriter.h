#pragma once

#include "core/app/SettingsStore.h"

#include <QString>

namespace quorvel {

// What each option control writes to settings.ini the moment it changes, whether the user or the
// program changed it. UI thread. Every call writes at once; on failure it returns false and sets
// error to "Unable to write to <full path of settings.ini>" (the text of the error box), and the
// control keeps its new value.
class OptionWriter
{
public:
    explicit OptionWriter(SettingsStore store);

    const SettingsStore &store() const { return m_store; }

    // URL box: "StartURL" = its text.
    bool writeStartUrl(const QString &text, QString *error = nullptr) const;
    // "Show Options": "ShowOptions" = "1" or "0".
    bool writeShowOptions(bool checked, QString *error = nullptr) const;
    // "Domain Name" (domain true) or "Subdomain Name" selected: "DomainOnly" then "SubDomainOnly",
    // one "1" and the other "0". Both writes are tried; the first failure is reported.
    bool writeUrlBase(bool domain, QString *error = nullptr) const;
    // "Remove # Anchors": "RemoveAnchors" = "1" or "0".
    bool writeRemoveAnchors(bool checked, QString *error = nullptr) const;
    // "Only Use HTTP HEAD for Broken Link Check (Faster)": "UseHEAD" = "1" or "0".
    bool writeUseHead(bool checked, QString *error = nullptr) const;
    // The two timeout boxes: their text, empty included.
    bool writeConnectionTimeout(const QString &text, QString *error = nullptr) const;
    bool writeResponseTimeout(const QString &text, QString *error = nullptr) const;
    // Agent box, typed or chosen from the list: "Agent" = its text.
    bool writeAgent(const QString &text, QString *error = nullptr) const;
    // Ignore Extensions box: "IgnoreExtensions" = its text.
    bool writeIgnoreExtensions(const QString &text, QString *error = nullptr) const;
    // Ignore URLs box: "IgnoreURLs" = its whole text, line breaks included.
    bool writeIgnoreUrls(const QString &text, QString *error = nullptr) const;
    // Parallel checks control: "ParallelChecks" = the number in decimal.
    bool writeParallelChecks(int count, QString *error = nullptr) const;
    // Per host control: "PerHost" = the number in decimal.
    bool writePerHost(int count, QString *error = nullptr) const;

private:
    bool put(const QString &key, const QString &value, QString *error) const;

    SettingsStore m_store;
};

} // namespace quorvel
