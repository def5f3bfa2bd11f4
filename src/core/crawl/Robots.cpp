#include "core/crawl/Robots.h"

#include <QByteArrayList>
#include <QUrl>

#include <algorithm>
#include <array>
#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

QByteArrayView trimBlanks(QByteArrayView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start])) {
        ++start;
    }
    while (end > start && isBlank(text[end - 1])) {
        --end;
    }
    return text.sliced(start, end - start);
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool equalsAsciiCI(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void appendEscape(QByteArray &out, unsigned char c)
{
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    out.append('%');
    out.append(kHex[c >> 4]);
    out.append(kHex[c & 0xF]);
}

enum class Side
{
    Pattern, // "*" and a final "$" are wildcards, a "$" before the end is the character
    Path     // "*" and "$" are characters, compared in their escaped form
};

// The form patterns and paths are compared in: a percent-escape of an unreserved character is
// decoded, every other escape gets capital hex digits, and bytes that cannot stand raw in an address
// (controls, space, non-ASCII, a "%" that starts no escape) are escaped. So "/%7Ea" equals "/~a",
// "%c3%a4" equals "%C3%A4" and a raw UTF-8 "ä" in the file matches the escaped one of the address.
QByteArray normalise(QByteArrayView text, Side side)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
            if (low < 0) {
                appendEscape(out, c);
                continue;
            }
            const auto decoded = static_cast<unsigned char>(high * 16 + low);
            if (isUnreserved(decoded)) {
                out.append(char(decoded));
            } else {
                appendEscape(out, decoded);
            }
            i += 2;
        } else if (c <= 0x20 || c >= 0x7F || (side == Side::Path && (c == '*' || c == '$')) ||
                   (c == '$' && i + 1 < text.size())) {
            // Only a "$" that ends a pattern is a wildcard; elsewhere it is the character itself.
            appendEscape(out, c);
        } else {
            out.append(char(c));
        }
    }
    return out;
}

// Does the pattern match the start of the path? "*" stands for any run of bytes and a final "$" ties
// the pattern to the end of the path. Taking each piece between stars at its first place after the
// previous one is enough for star-only patterns, and needs no backtracking on a hostile file.
bool matches(QByteArrayView pattern, QByteArrayView path)
{
    const bool anchored = pattern.endsWith('$');
    if (anchored) {
        pattern.chop(1);
    }
    const qsizetype firstStar = pattern.indexOf('*');
    if (firstStar < 0) {
        return anchored ? path == pattern : path.startsWith(pattern);
    }
    const QByteArrayView head = pattern.first(firstStar);
    if (!path.startsWith(head)) {
        return false;
    }
    qsizetype at = head.size();
    qsizetype from = firstStar + 1;
    qsizetype star = pattern.indexOf('*', from);
    while (star >= 0) {
        const QByteArrayView piece = pattern.sliced(from, star - from);
        if (!piece.isEmpty()) {
            const qsizetype found = path.indexOf(piece, at);
            if (found < 0) {
                return false;
            }
            at = found + piece.size();
        }
        from = star + 1;
        star = pattern.indexOf('*', from);
    }
    const QByteArrayView tail = pattern.sliced(from);
    if (anchored) {
        return path.size() - at >= tail.size() && path.endsWith(tail);
    }
    return tail.isEmpty() || path.indexOf(tail, at) >= 0;
}

enum class Key
{
    UserAgent,
    Allow,
    Disallow,
    Sitemap,
    Other
};

Key keyOf(QByteArrayView key)
{
    // The spellings beside the right ones are slips seen in real files that other parsers accept too.
    struct Spelling
    {
        const char *text;
        Key key;
    };
    static constexpr auto kSpellings = std::to_array<Spelling>({
        {"user-agent", Key::UserAgent},
        {"useragent", Key::UserAgent},
        {"user agent", Key::UserAgent},
        {"allow", Key::Allow},
        {"disallow", Key::Disallow},
        {"dissallow", Key::Disallow},
        {"dissalow", Key::Disallow},
        {"disalow", Key::Disallow},
        {"disallaw", Key::Disallow},
        {"sitemap", Key::Sitemap},
        {"site-map", Key::Sitemap},
    });
    for (const Spelling &s : kSpellings) {
        if (equalsAsciiCI(key, QByteArrayView(s.text))) {
            return s.key;
        }
    }
    return Key::Other;
}

struct Line
{
    Key key = Key::Other;
    QByteArrayView value;
};

// One line of the file as a key and its value, without the comment. A line whose key is not followed
// by a colon is read as "key value" when it is exactly two words ("Disallow /tmp"), which is a slip common enough that
// widely used parsers accept it.
Line readLine(QByteArrayView raw)
{
    const qsizetype hash = raw.indexOf('#');
    const QByteArrayView text = trimBlanks(hash >= 0 ? raw.first(hash) : raw);
    if (text.isEmpty()) {
        return {};
    }
    const qsizetype colon = text.indexOf(':');
    if (colon >= 0) {
        const Key key = keyOf(trimBlanks(text.first(colon)));
        if (key != Key::Other) {
            return {key, trimBlanks(text.sliced(colon + 1))};
        }
        // "Sitemap https://..." has a colon, but not after its key.
    }
    qsizetype gap = 0;
    while (gap < text.size() && !isBlank(text[gap])) {
        ++gap;
    }
    const QByteArrayView value = trimBlanks(text.sliced(gap));
    for (const char c : value) {
        if (isBlank(c)) {
            return {};
        }
    }
    if (value.isEmpty()) {
        return {};
    }
    return {keyOf(text.first(gap)), value};
}

// Does a User-agent line name the crawler? Its value's product token (the leading letters, "_" and
// "-": "quorvel/2.0" gives "quorvel") is compared without regard to case.
bool namesAgent(QByteArrayView value, QByteArrayView token)
{
    qsizetype n = 0;
    while (n < value.size()) {
        const char c = value[n];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-')) {
            break;
        }
        ++n;
    }
    return n > 0 && equalsAsciiCI(value.first(n), token);
}

bool isStarAgent(QByteArrayView value)
{
    return value.startsWith('*') && (value.size() == 1 || isBlank(value[1]));
}

// A host name or address and its port, nothing QUrl would decode or change in the path.
bool plainAuthority(QStringView authority)
{
    return !authority.isEmpty() && std::all_of(authority.begin(), authority.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
               QStringView(u"-.:[]").contains(c);
    });
}

// Characters QUrl leaves as they stand in a path and a query: an address whose path and query hold
// only these is sent as written.
bool sentAsWritten(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
               QStringView(u"-._~!$&'()*+,;=:@/?").contains(c);
    });
}

} // namespace

bool RobotsRules::forbidsAny() const
{
    return disallowAll || std::any_of(rules.cbegin(), rules.cend(), [](const RobotsRule &rule) { return !rule.allow; });
}

bool RobotsRules::allows(QStringView pathAndQuery) const
{
    QStringView target = pathAndQuery;
    const qsizetype hash = target.indexOf(u'#');
    if (hash >= 0) {
        target = target.first(hash);
    }
    if (target.isEmpty()) {
        target = u"/";
    }
    const qsizetype query = target.indexOf(u'?');
    if ((query >= 0 ? target.first(query) : target) == u"/robots.txt") {
        return true;
    }
    if (disallowAll) {
        return false;
    }
    const QByteArray path = normalise(target.toUtf8(), Side::Path);
    qsizetype bestLength = -1;
    bool bestAllows = true;
    for (const RobotsRule &rule : rules) {
        const qsizetype length = rule.pattern.size();
        if (length < bestLength || (length == bestLength && bestAllows) || !matches(rule.pattern, path)) {
            continue;
        }
        bestLength = length;
        bestAllows = rule.allow;
    }
    return bestAllows;
}

QString robotsProductToken(QStringView userAgent)
{
    const QStringView text = userAgent.trimmed();
    qsizetype n = 0;
    while (n < text.size() && text[n] != u'/' && !text[n].isSpace()) {
        ++n;
    }
    return text.first(n).toString();
}

RobotsRules parseRobots(QByteArrayView text, QStringView productToken)
{
    if (text.size() > kRobotsSizeLimit) {
        // A line the cut falls into could lose the end of its pattern and forbid more than it says.
        const bool endsAtLine = text[kRobotsSizeLimit] == '\n' || text[kRobotsSizeLimit] == '\r';
        text = text.first(kRobotsSizeLimit);
        if (!endsAtLine) {
            text = text.first(qMax(text.lastIndexOf('\n'), text.lastIndexOf('\r')) + 1);
        }
    }
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    const QByteArray token = robotsProductToken(productToken).toUtf8();

    RobotsRules result;
    QList<RobotsRule> named; // the groups that name the crawler, joined
    QList<RobotsRule> star;  // the "*" groups, joined
    bool namedSeen = false;
    bool anyAgentSeen = false;
    bool inAgentLines = false; // the last user-agent, allow or disallow line was a user-agent line
    bool groupNamesUs = false;
    bool groupIsStar = false;

    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        const Line line = readLine(text.sliced(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;

        switch (line.key) {
        case Key::UserAgent:
            if (!inAgentLines) {
                groupNamesUs = false;
                groupIsStar = false;
            }
            inAgentLines = true;
            anyAgentSeen = true;
            if (isStarAgent(line.value)) {
                groupIsStar = true;
            } else if (!token.isEmpty() && namesAgent(line.value, token)) {
                groupNamesUs = true;
                namedSeen = true;
            }
            break;
        case Key::Allow:
        case Key::Disallow:
            if (!anyAgentSeen) {
                break; // rules before any user-agent line belong to no group
            }
            inAgentLines = false;
            if (line.value.isEmpty()) {
                break; // an empty Disallow allows everything, an empty Allow says nothing
            }
            {
                const RobotsRule rule{line.key == Key::Allow, normalise(line.value, Side::Pattern)};
                if (groupNamesUs) {
                    named.append(rule);
                }
                if (groupIsStar) {
                    star.append(rule);
                }
            }
            break;
        case Key::Sitemap:
            if (!line.value.isEmpty()) {
                const QString address = QString::fromUtf8(line.value);
                if (!result.sitemaps.contains(address)) {
                    result.sitemaps.append(address);
                }
            }
            break;
        case Key::Other:
            break;
        }
    }
    result.rules = namedSeen ? named : star;
    return result;
}

RobotsRules robotsForAnswer(int status, QByteArrayView body, QStringView productToken)
{
    if (status >= 200 && status < 300) {
        return parseRobots(body, productToken);
    }
    if (status >= 300 && status < 500 && status != 429) {
        return {};
    }
    RobotsRules none;
    none.disallowAll = true;
    return none;
}

QString robotsTargetOf(const QString &address)
{
    // Most links are plain: "http://host/path?query" with nothing to encode; their text is taken
    // as it stands, without parsing the whole address.
    for (const QStringView scheme : {QStringView(u"http://"), QStringView(u"https://")}) {
        if (!address.startsWith(scheme)) {
            continue;
        }
        const QStringView rest = QStringView(address).sliced(scheme.size());
        const qsizetype slash = rest.indexOf(u'/');
        const qsizetype question = rest.indexOf(u'?');
        const qsizetype pathStart = slash < 0 ? question : (question < 0 ? slash : std::min(slash, question));
        const QStringView authority = pathStart < 0 ? rest : rest.first(pathStart);
        const QStringView tail = pathStart < 0 ? QStringView() : rest.sliced(pathStart);
        if (!plainAuthority(authority) || !sentAsWritten(tail)) {
            break;
        }
        return tail.startsWith(u'/') ? tail.toString() : u'/' + tail.toString();
    }
    const QUrl url(address);
    QString path = url.path(QUrl::FullyEncoded);
    if (path.isEmpty()) {
        path = u"/"_s;
    }
    if (url.hasQuery()) {
        path += u'?' + url.query(QUrl::FullyEncoded);
    }
    return path;
}

} // namespace quorvel
