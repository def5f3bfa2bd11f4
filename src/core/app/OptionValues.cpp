#include "core/app/OptionValues.h"

#include "core/app/SettingsStore.h"
#include "core/app/UrlHistory.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// A non-empty stored text replaces the default; an empty one reads as missing.
void takeIfSet(QString &target, const QString &stored)
{
    if (!stored.isEmpty()) {
        target = stored;
    }
}

// A stored count: at most two digits, within low..high; anything else gives the fallback.
int countFromText(const QString &text, int low, int high, int fallback)
{
    if (text.isEmpty() || text.size() > 2) {
        return fallback;
    }
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return fallback;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return (value >= low && value <= high) ? value : fallback;
}

} // namespace

OptionValues loadOptions(const SettingsStore &store)
{
    OptionValues o;
    takeIfSet(o.startUrl, store.read(u"StartURL"_s));
    o.showOptions = store.read(u"ShowOptions"_s) == u"1";
    // Each radio key can only select its own button; Subdomain is applied last, so it wins.
    if (store.read(u"DomainOnly"_s) == u"1") {
        o.urlBase = UrlBaseMode::Domain;
    }
    if (store.read(u"SubDomainOnly"_s) == u"1") {
        o.urlBase = UrlBaseMode::Subdomain;
    }
    o.removeAnchors = store.read(u"RemoveAnchors"_s) != u"0";
    o.useHead = store.read(u"UseHEAD"_s) == u"1";
    takeIfSet(o.connectionTimeout, store.read(u"ConnectionTimeout"_s));
    takeIfSet(o.responseTimeout, store.read(u"ResponseTimeout"_s));
    takeIfSet(o.agent, store.read(u"Agent"_s));
    takeIfSet(o.ignoreExtensions, store.read(u"IgnoreExtensions"_s));
    takeIfSet(o.ignoreUrls, store.read(u"IgnoreURLs"_s));
    o.parallelChecks = parallelChecksFromText(store.read(u"ParallelChecks"_s));
    o.perHost = perHostFromText(store.read(u"PerHost"_s));
    return o;
}

int parallelChecksFromText(const QString &text)
{
    return countFromText(text, kMinParallelChecksOption, kMaxParallelChecksOption, kDefaultParallelChecksOption);
}

int perHostFromText(const QString &text)
{
    return countFromText(text, kMinPerHostOption, kMaxPerHostOption, kDefaultPerHostOption);
}

void removeStoredOptions(const QString &dataFolder)
{
    const QDir folder(dataFolder);
    QFile::remove(folder.filePath(QString::fromUtf16(kHistoryFileName)));
    QFile::remove(folder.filePath(QString::fromUtf16(kSettingsFileName)));
}

} // namespace quorvel
