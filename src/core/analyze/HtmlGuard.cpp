#include "core/analyze/HtmlGuard.h"

#include "core/analyze/HtmlTagTable.h"
#include "core/analyze/HtmlTreeModel.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvel {

namespace {

using htmlguard::HtmlTreeModel;
using htmlguard::Id;
using htmlguard::kFirstUnknownId;
using htmlguard::kFormatting;
using htmlguard::tagFlags;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Walks the page the way the HTML tokenizer splits it into tags and text, feeding the model.
class Scanner
{
public:
    Scanner(const char *data, qsizetype size, const GuardLimits &limits)
        : m_p(data)
        , m_n(size)
        , m_model(limits)
    {}

    // The position where the page must be cut, or -1 when all of it is safe.
    qsizetype run()
    {
        qsizetype i = 0;
        while (i < m_n) {
            const void *found = std::memchr(m_p + i, '<', static_cast<size_t>(m_n - i));
            const qsizetype lt = found ? static_cast<const char *>(found) - m_p : m_n;
            if (lt > i) {
                m_model.text(whiteSpaceOnly(i, lt));
                if (over()) {
                    return i;
                }
            }
            if (lt >= m_n) {
                return -1;
            }
            const qsizetype next = markup(lt);
            if (over()) {
                return lt;
            }
            if (next < 0) {
                return -1;
            }
            i = next;
        }
        return -1;
    }

    GuardCut cut() const { return m_model.over(); }

    int deepest() const { return static_cast<int>(m_model.deepest()); }

private:
    bool over() const { return m_model.over() != GuardCut::None; }

    bool whiteSpaceOnly(qsizetype from, qsizetype to) const
    {
        for (qsizetype k = from; k < to; ++k) {
            if (!isSpace(m_p[k])) {
                return false;
            }
        }
        return true;
    }

    qsizetype skipPast(char c, qsizetype from) const
    {
        if (from >= m_n) {
            return m_n;
        }
        const void *found = std::memchr(m_p + from, c, static_cast<size_t>(m_n - from));
        return found ? static_cast<const char *>(found) - m_p + 1 : m_n;
    }

    qsizetype skipPast(std::string_view text, qsizetype from) const
    {
        const std::string_view all(m_p, static_cast<size_t>(m_n));
        const size_t at = all.find(text, static_cast<size_t>(std::min(from, m_n)));
        return at == std::string_view::npos ? m_n : static_cast<qsizetype>(at + text.size());
    }

    // Handles what starts with the "<" at `lt`; returns where the scan goes on, or -1 at a tag
    // that the end of the page cuts off (the tokenizer drops it) or after a plaintext start tag.
    qsizetype markup(qsizetype lt)
    {
        if (lt + 1 >= m_n) {
            m_model.text(false);
            return m_n;
        }
        const char c = m_p[lt + 1];
        if (c == '!') {
            const std::string_view rest(m_p + lt, static_cast<size_t>(m_n - lt));
            if (rest.substr(0, 4) == "<!--") {
                if (rest.substr(4, 1) == ">") {
                    return lt + 5;
                }
                if (rest.substr(4, 2) == "->") {
                    return lt + 6;
                }
                return skipPast("-->", lt + 4);
            }
            if (rest.substr(0, 9) == "<![CDATA[" && m_model.inForeign()) {
                return skipPast("]]>", lt + 9);
            }
            return skipPast('>', lt + 2);
        }
        if (c == '?') {
            return skipPast('>', lt + 2);
        }
        if (c == '/') {
            if (lt + 2 < m_n && m_p[lt + 2] == '>') {
                return lt + 3;
            }
            if (lt + 2 < m_n && isAsciiLetter(m_p[lt + 2])) {
                Tag tag;
                if (!readTag(lt + 2, tag)) {
                    return -1;
                }
                m_model.endTag(tag.id, tag.foreignId);
                return tag.end;
            }
            return skipPast('>', lt + 2);
        }
        if (isAsciiLetter(c)) {
            const bool foreign = m_model.inForeign();
            Tag tag;
            if (!readTag(lt + 1, tag)) {
                return -1;
            }
            const bool rawText =
                m_model.startTag(tag.id, tag.foreignId, tag.key, tag.attributes, tag.selfClosing, tag.fontBreaksOut);
            if (foreign) {
                return tag.end;
            }
            if (tag.id == GUMBO_TAG_PLAINTEXT) {
                return -1; // everything after it is text
            }
            return rawText ? rawTextEnd(tag.end) : tag.end;
        }
        m_model.text(false);
        return lt + 1;
    }

    struct Tag
    {
        Id id = 0;
        Id foreignId = -1; // in svg or math content: the id of the element's name there
        quint64 key = 0;
        qint64 attributes = 0;
        bool selfClosing = false;
        bool fontBreaksOut = false; // a font tag with color, face or size leaves svg or math content
        qsizetype end = 0;
    };

    // Reads a tag name from `from` and its attributes (quoted values may hold ">"). False when the
    // page ends inside the tag.
    bool readTag(qsizetype from, Tag &tag)
    {
        qsizetype k = from;
        m_name.clear();
        while (k < m_n && !isSpace(m_p[k]) && m_p[k] != '/' && m_p[k] != '>') {
            m_name.push_back(lowerAscii(m_p[k]));
            ++k;
        }
        tag.id = idOf(m_name);
        tag.foreignId = m_model.inForeign() ? foreignIdOf(m_name) : -1;
        const qsizetype attributesStart = k;
        while (true) {
            while (k < m_n && isSpace(m_p[k])) {
                ++k;
            }
            if (k >= m_n) {
                return false;
            }
            if (m_p[k] == '>') {
                tag.end = k + 1;
                break;
            }
            if (m_p[k] == '/') {
                if (k + 1 < m_n && m_p[k + 1] == '>') {
                    tag.selfClosing = true;
                    tag.end = k + 2;
                    break;
                }
                ++k;
                continue;
            }
            const qsizetype nameStart = k;
            ++k; // the first character of a name may be "="
            while (k < m_n && !isSpace(m_p[k]) && m_p[k] != '/' && m_p[k] != '>' && m_p[k] != '=') {
                ++k;
            }
            ++tag.attributes;
            if (tag.id == GUMBO_TAG_FONT && !tag.fontBreaksOut) {
                std::string name;
                for (qsizetype j = nameStart; j < k && j - nameStart < 6; ++j) {
                    name.push_back(lowerAscii(m_p[j]));
                }
                tag.fontBreaksOut = k - nameStart <= 5 && (name == "color" || name == "face" || name == "size");
            }
            while (k < m_n && isSpace(m_p[k])) {
                ++k;
            }
            if (k < m_n && m_p[k] == '=') {
                ++k;
                while (k < m_n && isSpace(m_p[k])) {
                    ++k;
                }
                if (k < m_n && (m_p[k] == '"' || m_p[k] == '\'')) {
                    const void *close = std::memchr(m_p + k + 1, m_p[k], static_cast<size_t>(m_n - k - 1));
                    if (!close) {
                        return false;
                    }
                    k = static_cast<const char *>(close) - m_p + 1;
                } else {
                    while (k < m_n && !isSpace(m_p[k]) && m_p[k] != '>') {
                        ++k;
                    }
                }
            }
        }
        if (tag.id < kFirstUnknownId && (tagFlags()[static_cast<size_t>(tag.id)] & kFormatting)) {
            // FNV-1a over the tag name and its attributes: identical formatting tags share a key.
            quint64 hash = 14695981039346656037ULL ^ static_cast<quint64>(tag.id);
            for (qsizetype j = attributesStart; j < tag.end; ++j) {
                hash = (hash ^ static_cast<unsigned char>(m_p[j])) * 1099511628211ULL;
            }
            tag.key = hash;
        }
        return true;
    }

    Id foreignIdOf(const std::string &name)
    {
        const auto [it, added] = m_foreign.try_emplace(name, m_nextId);
        if (added) {
            m_model.addId(m_nextId++);
        }
        return it->second;
    }

    Id idOf(const std::string &name)
    {
        const GumboTag known = gumbo_tagn_enum(name.data(), static_cast<unsigned>(name.size()));
        if (known != GUMBO_TAG_UNKNOWN) {
            return known;
        }
        const auto [it, added] = m_unknown.try_emplace(name, m_nextId);
        if (added) {
            m_model.addId(m_nextId++);
        }
        return it->second;
    }

    // Where the end tag of the raw text element just opened begins (its name is in m_name), or
    // the end of the page.
    qsizetype rawTextEnd(qsizetype from) const
    {
        const size_t length = m_name.size();
        qsizetype k = from;
        while (k < m_n) {
            const void *found = std::memchr(m_p + k, '<', static_cast<size_t>(m_n - k));
            if (!found) {
                return m_n;
            }
            const qsizetype lt = static_cast<const char *>(found) - m_p;
            const qsizetype after = lt + 2 + static_cast<qsizetype>(length);
            if (after <= m_n && m_p[lt + 1] == '/') {
                bool same = true;
                for (size_t j = 0; j < length && same; ++j) {
                    same = lowerAscii(m_p[lt + 2 + static_cast<qsizetype>(j)]) == m_name[j];
                }
                if (same && (after == m_n || isSpace(m_p[after]) || m_p[after] == '/' || m_p[after] == '>')) {
                    return lt;
                }
            }
            k = lt + 1;
        }
        return m_n;
    }

    const char *m_p;
    qsizetype m_n;
    HtmlTreeModel m_model;
    std::string m_name;
    std::unordered_map<std::string, Id> m_unknown; // html elements gumbo does not know
    std::unordered_map<std::string, Id> m_foreign; // svg and math elements
    Id m_nextId = kFirstUnknownId;
};

} // namespace

GuardResult guardHtml(QByteArrayView utf8, const GuardLimits &limits)
{
    GuardResult result;
    qsizetype size = utf8.size();
    if (size > limits.maxBytes) {
        size = limits.maxBytes;
        while (size > 0 && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80) {
            --size; // do not split a character
        }
        result.cut = GuardCut::Size;
    }
    Scanner scanner(utf8.data(), size, limits);
    const qsizetype cut = scanner.run();
    result.deepest = scanner.deepest();
    if (cut >= 0) {
        result.safeBytes = cut;
        result.cut = scanner.cut();
    } else {
        result.safeBytes = size;
    }
    return result;
}

} // namespace quorvel
