#include "core/collect/LinkResolver.h"

#include "core/common/Text.h"

#include <QRegularExpression>
#include <QStringView>

#include <algorithm>
#include <libpsl.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The end of a host that looks registrable: a name, a dot, and up to six letters and dots.
const QRegularExpression &domainPattern()
{
    // Compiled during the (thread-safe) static initialisation, so concurrent matches only read it.
    static const QRegularExpression pattern = [] {
        QRegularExpression re(uR"(([a-z0-9][a-z0-9\-]{1,63}\.[a-z\.]{2,6})$)"_s,
                              QRegularExpression::CaseInsensitiveOption);
        re.optimize();
        return re;
    }();
    return pattern;
}

// QStringView::startsWith for the short literal prefixes of the resolver: inline, without the
// general comparison's set-up, which costs more than comparing a few units.
// NOLINTNEXTLINE(modernize-avoid-c-arrays): the literal's own array, its length known when compiled
template <qsizetype N> bool begins(QStringView text, const char16_t (&prefix)[N])
{
    constexpr qsizetype kLength = N - 1;
    if (text.size() < kLength) {
        return false;
    }
    const char16_t *units = text.utf16();
    for (qsizetype i = 0; i < kLength; ++i) {
        if (units[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

QString joined(QStringView a, QStringView b)
{
    QString result;
    result.reserve(a.size() + b.size());
    result.append(a);
    result.append(b);
    return result;
}

QString joined(QStringView a, QStringView b, QStringView c)
{
    QString result;
    result.reserve(a.size() + b.size() + c.size());
    result.append(a);
    result.append(b);
    result.append(c);
    return result;
}

// SiteRoot's result is always a prefix of its text, so it can be a view into it.
QStringView siteRootView(QStringView text)
{
    qsizetype from = 0;
    if (begins(text, u"http://")) {
        from = 7;
    } else if (begins(text, u"https://")) {
        from = 8;
    } else {
        return {};
    }
    QStringView result = text;
    // The last character is left out of the search, so "http://h.com/" has no folder slash.
    for (qsizetype i = from; i < text.size() - 1; ++i) {
        if (text[i] == u'/') {
            result = text.first(i);
            break;
        }
    }
    if (result.endsWith(u'/')) {
        result.chop(1);
    }
    return result;
}

QStringView stripSchemeView(QStringView text)
{
    if (startsWithAsciiCI(text, u"http://")) {
        return text.sliced(7);
    }
    if (startsWithAsciiCI(text, u"https://")) {
        return text.sliced(8);
    }
    return text;
}

// Where the first "://" starts, or -1. A plain loop: the marker sits a few characters in, where a
// general substring search spends more on its set-up than on the search.
qsizetype schemeMarker(QStringView address)
{
    const char16_t *text = address.utf16();
    for (qsizetype i = 0, n = address.size(); i + 2 < n; ++i) {
        if (text[i] == u':' && text[i + 1] == u'/' && text[i + 2] == u'/') {
            return i;
        }
    }
    return -1;
}

// The host as written: the authority without user information, port or IPv6 brackets.
QStringView hostOf(QStringView address)
{
    qsizetype start = -1;
    if (begins(address, u"//")) {
        start = 2;
    } else {
        const qsizetype marker = schemeMarker(address);
        if (marker < 0) {
            return {};
        }
        start = marker + 3;
    }
    QStringView authority = address.sliced(start);
    for (qsizetype i = 0; i < authority.size(); ++i) {
        const char16_t c = authority[i].unicode();
        if (c == u'/' || c == u'?' || c == u'#') {
            authority.truncate(i);
            break;
        }
    }
    // User information may itself hold "@" characters; the host follows the last one.
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        authority = authority.sliced(at + 1);
    }
    if (authority.startsWith(u'[')) {
        // An IPv6 literal holds colons of its own; the port, if any, follows the "]".
        const qsizetype close = authority.indexOf(u']');
        return close < 0 ? QStringView() : authority.sliced(1, close - 1);
    }
    const qsizetype colon = authority.indexOf(u':');
    return colon < 0 ? authority : authority.first(colon);
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiLetterOrDigit(char16_t c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// domainPattern() for a host made only of ASCII letters, digits, dots and hyphens, without the
// regular expression. The pattern ends at the end of the host, so a match starting at s is the whole
// rest of the host, and the rest matches when: it starts with a letter or digit, its first dot
// after that comes after 1 to 63 letters, digits or hyphens, and 2 to 6 letters or dots follow that
// dot up to the end. The expression takes the leftmost start that matches; so does this.
QStringView asciiDomainTail(QStringView host)
{
    const char16_t *text = host.utf16();
    const qsizetype n = host.size();
    // Longest match: 1 + 63 + the dot + 6; shortest: 1 + 1 + the dot + 2.
    for (qsizetype s = std::max<qsizetype>(0, n - 71); s + 5 <= n; ++s) {
        if (!isAsciiLetterOrDigit(text[s])) {
            continue;
        }
        qsizetype dot = s + 1;
        while (dot < n && text[dot] != u'.') {
            ++dot;
        }
        const qsizetype label = dot - s - 1; // letters, digits and hyphens only: the host holds no others
        const qsizetype tail = n - dot - 1;
        if (dot >= n || label < 1 || label > 63 || tail < 2 || tail > 6) {
            continue;
        }
        bool lettersAndDots = true;
        for (qsizetype i = dot + 1; i < n && lettersAndDots; ++i) {
            lettersAndDots = isAsciiLetter(text[i]) || text[i] == u'.';
        }
        if (lettersAndDots) {
            return host.sliced(s);
        }
    }
    return {};
}

// Hosts the hand-written match reads exactly like the pattern: in Unicode case folding some
// characters outside ASCII match ASCII letters, and those hosts go to the regular expression.
bool isPlainAsciiHost(QStringView host)
{
    for (const QChar ch : host) {
        const char16_t c = ch.unicode();
        if (!isAsciiLetterOrDigit(c) && c != u'.' && c != u'-') {
            return false;
        }
    }
    return true;
}

// The registrable-looking end of a host (see domainPattern()), or empty.
QStringView domainOfHost(QStringView host)
{
    if (!host.contains(u'.')) {
        return {}; // the pattern needs a dot; spare the regular expression
    }
    if (isPlainAsciiHost(host)) {
        return asciiDomainTail(host);
    }
    const QRegularExpressionMatch match = domainPattern().match(host);
    if (!match.hasMatch()) {
        return {};
    }
    return host.sliced(match.capturedStart(0), match.capturedLength(0));
}

QStringView domainOfView(QStringView address)
{
    return domainOfHost(hostOf(address));
}

// Does href end with "." followed by ext? Compared with letter case, without building ".ext".
bool endsWithExtension(QStringView href, QStringView ext)
{
    return href.size() > ext.size() && href.endsWith(ext) && href[href.size() - ext.size() - 1] == u'.';
}

// Relative hrefs join the folder of an http(s) base, or its site root when the base has no folder.
QString resolve(const QString &href, const QString &base)
{
    if (href.startsWith(u'/')) {
        return joined(siteRootView(base), href);
    }
    if (href == u".") {
        return base.first(base.lastIndexOf(u'/') + 1);
    }
    if (href == u".." || begins(href, u"../")) {
        return ResolveParentPath(href, base);
    }
    if (begins(href, u"http://") || begins(href, u"https://")) {
        return href;
    }
    qsizetype schemeLength = 0;
    if (begins(base, u"http://")) {
        schemeLength = 7;
    } else if (begins(base, u"https://")) {
        schemeLength = 8;
    } else {
        return href; // a local file path, or the empty base of a mail link
    }
    // A "/" after the scheme that is not the base's last character marks a folder part.
    const QStringView middle = base.size() > schemeLength + 1
                                   ? QStringView(base).sliced(schemeLength, base.size() - schemeLength - 1)
                                   : QStringView();
    if (middle.contains(u'/')) {
        return joined(QStringView(base).first(base.lastIndexOf(u'/') + 1), href);
    }
    return joined(siteRootView(base), u"/", href);
}

} // namespace

std::optional<LinkRow> AddLink(const QString &href, const QString &base, const QString &follow,
                               const QString &anchorText, const RunOptions &options)
{
    if (options.urlBase == UrlBaseMode::None) {
        return std::nullopt; // neither URL Base mode: no link becomes a row
    }

    QString ref = href;
    if (ref.size() > 2 && begins(ref, u"//")) {
        ref = joined(begins(base, u"https:") ? QStringView(u"https:") : QStringView(u"http:"), ref);
    }

    // Extensions match only at the very end of the href as written, with letter case.
    for (const QString &ext : options.ignoredExtensions) {
        if (endsWithExtension(ref, ext)) {
            return std::nullopt;
        }
    }
    if (begins(ref, u"javascript:")) {
        return std::nullopt;
    }

    QString link = resolve(ref, base);
    if (options.removeAnchors) {
        const qsizetype hash = link.indexOf(u'#');
        if (hash >= 0) {
            link.truncate(hash);
        }
    }
    for (const QString &prefix : options.ignoreUrls) {
        if (prefix.isEmpty() || link.startsWith(prefix)) {
            return std::nullopt;
        }
    }

    bool internal = false;
    if (options.urlBase == UrlBaseMode::Domain) {
        const QStringView host = hostOf(link);
        const QStringView domain = domainOfHost(host);
        internal = domain == QStringView(options.pageDomain);
        // Two hosts the pattern cannot read (IP numbers, single labels, long top-level labels) would
        // compare equal as two empty texts: the Public Suffix List tells them apart.
        if (internal && domain.isEmpty() && !options.pageRegistrableDomain.isEmpty()) {
            // The page's own host, written the same way, has the page's registrable domain: the
            // common case of a page on an IP number skips the list for each of its links.
            if (!host.isEmpty() && host != QStringView(options.pageHostName)) {
                internal = registrableDomainOf(link) == options.pageRegistrableDomain;
            }
        }
    } else {
        internal = stripSchemeView(siteRootView(link)) == QStringView(options.pageHost);
    }

    QString anchor = anchorText;
    // A single-character search first: most anchor texts hold no CR at all.
    if (anchor.contains(u'\r') && anchor.contains(u"\r\n")) {
        anchor.replace(u"\r\n"_s, u" "_s);
    }

    return LinkRow{.link = std::move(link),
                   .follow = follow,
                   .type = internal ? u"Internal"_s : u"External"_s,
                   .anchorText = std::move(anchor),
                   .response = QString(),
                   .responseTime = QString(),
                   .icon = kIconCollected};
}

QString SiteRoot(const QString &text)
{
    const QStringView root = siteRootView(text);
    return root.size() == text.size() ? text : root.toString();
}

QString StripScheme(const QString &text)
{
    const QStringView rest = stripSchemeView(text);
    return rest.size() == text.size() ? text : rest.toString();
}

QString ResolveParentPath(const QString &href, const QString &base)
{
    const QStringView root = siteRootView(base);
    QString rootFolder;        // root followed by "/", built when first needed
    QStringView folder = base; // a view: climbing copies nothing
    qsizetype rest = 0;        // position in href; advancing it avoids copying a long chain of ".."
    bool atRootFolder = false;
    bool settled = false; // a climb from the root folder led back to it, as every later one will
    while (begins(QStringView(href).sliced(rest), u"..")) {
        if (!settled) {
            // Climb one folder: drop the last "/" and what follows, then keep up to the new last "/".
            const bool fromRootFolder = atRootFolder;
            folder.truncate(qMax<qsizetype>(folder.lastIndexOf(u'/'), 0));
            folder.truncate(folder.lastIndexOf(u'/') + 1);
            atRootFolder = root.size() > folder.size();
            if (atRootFolder) {
                if (rootFolder.isEmpty()) {
                    rootFolder = joined(root, u"/");
                }
                folder = rootFolder;
            }
            // Each climb from the root folder would copy it and search the whole host again: with a
            // long host and many ".." that is quadratic, for a result already known.
            settled = fromRootFolder && atRootFolder;
        }
        rest += 2;
        if (rest < href.size() && href[rest] == u'/') {
            ++rest;
        }
    }
    return joined(folder, QStringView(href).sliced(rest));
}

QString hostNameOf(const QString &address)
{
    return hostOf(address).toString();
}

QString DomainOf(const QString &address)
{
    return domainOfView(address).toString();
}

QString registrableDomainOf(const QString &address)
{
    QString host = hostOf(address).toString().toLower();
    if (host.endsWith(u'.')) {
        host.chop(1); // the root of the name tree, written out
    }
    const bool ipNumber =
        host.contains(u':') || // IPv6, brackets already gone
        std::all_of(host.cbegin(), host.cend(), [](QChar c) { return c == u'.' || (c >= u'0' && c <= u'9'); });
    if (host.isEmpty() || ipNumber || !host.contains(u'.')) {
        return host;
    }
    // The list compiled into libpsl: read-only, so every thread may share it.
    static const psl_ctx_t *const list = psl_builtin() ? psl_builtin() : psl_latest(nullptr);
    const QByteArray name = host.toUtf8();
    const char *registrable = list ? psl_registrable_domain(list, name.constData()) : nullptr;
    return registrable ? QString::fromUtf8(registrable) : host;
}

} // namespace quorvel
