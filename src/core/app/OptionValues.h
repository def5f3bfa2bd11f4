#pragma once

#include "core/app/OptionDefaults.h"
#include "core/collect/RunOptions.h"

#include <QString>

namespace quorvel {

class SettingsStore;

// The values of the option controls (and the URL box) as a start-up applies them from
// settings.ini; a default-constructed value is what a first start shows.
struct OptionValues
{
    QString startUrl = defaultStartUrl();                 // "StartURL": the URL box text
    bool showOptions = false;                             // "ShowOptions"
    UrlBaseMode urlBase = UrlBaseMode::Domain;            // "DomainOnly" / "SubDomainOnly": Domain or Subdomain
    bool removeAnchors = true;                            // "RemoveAnchors"
    bool useHead = false;                                 // "UseHEAD"
    QString connectionTimeout = defaultTimeoutText();     // "ConnectionTimeout": milliseconds as typed
    QString responseTimeout = defaultTimeoutText();       // "ResponseTimeout": milliseconds as typed
    QString agent = defaultAgent();                       // "Agent"
    QString ignoreExtensions = defaultIgnoreExtensions(); // "IgnoreExtensions"
    QString ignoreUrls = defaultIgnoreUrlsText();         // "IgnoreURLs": the box's whole text
    int parallelChecks = kDefaultParallelChecksOption;    // "ParallelChecks": 1 to 64
    int perHost = kDefaultPerHostOption;                  // "PerHost": 1 to 64

    bool operator==(const OptionValues &) const = default;
};

// Reads every key of the store, in the order a start-up applies them ("StartURL", "ShowOptions",
// "DomainOnly", "SubDomainOnly", "RemoveAnchors", "UseHEAD", "ConnectionTimeout",
// "ResponseTimeout", "Agent", "IgnoreExtensions", "IgnoreURLs", "ParallelChecks", "PerHost"), and applies the
// read-back rules: an empty text keeps the default; "ShowOptions" and "UseHEAD" are on only for
// exactly "1", "RemoveAnchors" is off only for exactly "0"; "SubDomainOnly" = "1" selects Subdomain
// whatever "DomainOnly" holds, otherwise Domain stays selected; "ParallelChecks" that is not a
// whole number from 1 to 64 gives 16, a "PerHost" that is not gives 4. Writes nothing.
OptionValues loadOptions(const SettingsStore &store);

// "ParallelChecks" as stored: digits only, 1 to 64; anything else gives the default.
int parallelChecksFromText(const QString &text);
// "PerHost" as stored: digits only, 1 to 64; anything else gives the default.
int perHostFromText(const QString &text);

// What "Reset to Defaults..." deletes: folder + "history.txt", then folder + "settings.ini".
// Failures (a missing file) are ignored.
void removeStoredOptions(const QString &dataFolder);

} // namespace quorvel
