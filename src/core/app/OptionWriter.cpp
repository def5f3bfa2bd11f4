#include "core/app/OptionWriter.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString flag(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

} // namespace

OptionWriter::OptionWriter(SettingsStore store)
    : m_store(std::move(store))
{}

bool OptionWriter::put(const QString &key, const QString &value, QString *error) const
{
    return m_store.write(key, value, error);
}

bool OptionWriter::writeStartUrl(const QString &text, QString *error) const
{
    return put(u"StartURL"_s, text, error);
}

bool OptionWriter::writeShowOptions(bool checked, QString *error) const
{
    return put(u"ShowOptions"_s, flag(checked), error);
}

bool OptionWriter::writeUrlBase(bool domain, QString *error) const
{
    QString secondError;
    const bool first = put(u"DomainOnly"_s, flag(domain), error);
    const bool second = put(u"SubDomainOnly"_s, flag(!domain), first ? error : &secondError);
    return first && second;
}

bool OptionWriter::writeRemoveAnchors(bool checked, QString *error) const
{
    return put(u"RemoveAnchors"_s, flag(checked), error);
}

bool OptionWriter::writeUseHead(bool checked, QString *error) const
{
    return put(u"UseHEAD"_s, flag(checked), error);
}

bool OptionWriter::writeConnectionTimeout(const QString &text, QString *error) const
{
    return put(u"ConnectionTimeout"_s, text, error);
}

bool OptionWriter::writeResponseTimeout(const QString &text, QString *error) const
{
    return put(u"ResponseTimeout"_s, text, error);
}

bool OptionWriter::writeAgent(const QString &text, QString *error) const
{
    return put(u"Agent"_s, text, error);
}

bool OptionWriter::writeIgnoreExtensions(const QString &text, QString *error) const
{
    return put(u"IgnoreExtensions"_s, text, error);
}

bool OptionWriter::writeIgnoreUrls(const QString &text, QString *error) const
{
    return put(u"IgnoreURLs"_s, text, error);
}

bool OptionWriter::writeParallelChecks(int count, QString *error) const
{
    return put(u"ParallelChecks"_s, QString::number(count), error);
}

bool OptionWriter::writePerHost(int count, QString *error) const
{
    return put(u"PerHost"_s, QString::number(count), error);
}

} // namespace quorvel
