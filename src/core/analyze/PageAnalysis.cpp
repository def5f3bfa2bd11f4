#include "core/analyze/PageAnalysis.h"

#include "core/analyze/HtmlGuard.h"
#include "core/common/Text.h"

#include <QByteArray>

#include <gumbo.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// Holds every allocation of one parse, so the tree is released in one go (gumbo's own release is
// recursive and would walk the whole depth of the tree), and abandons a parse that needs more
// memory or time than its budget: the guard's model of the tree builder covers real pages and the
// known pathological ones, this covers markup that slips past the model.
class ParseArena
{
public:
    ParseArena(size_t memoryBudget, std::chrono::milliseconds timeBudget)
        : m_budget(memoryBudget)
        , m_timeBudget(timeBudget)
    {}

    ~ParseArena() { release(); }

    Q_DISABLE_COPY_MOVE(ParseArena)

    // The tree of the page, or null when the parse outgrew the budget.
    GumboOutput *parse(const char *data, size_t size)
    {
        release();
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0; // the error list copies the stack of open elements per error
        options.allocator = &ParseArena::allocate;
        options.deallocator = &ParseArena::deallocate;
        options.userdata = this;
        m_deadline = std::chrono::steady_clock::now() + m_timeBudget;
        m_calls = 0;
        // gumbo is C and keeps nothing outside this arena, so leaving it from inside its allocator
        // call loses nothing; no C++ object with a destructor lives on the frames skipped.
        if (setjmp(m_escape) != 0) {
            release();
            return nullptr;
        }
        return gumbo_parse_with_options(&options, data, size);
    }

    void release()
    {
        while (m_blocks) {
            Block *next = m_blocks->next;
            std::free(m_blocks);
            m_blocks = next;
        }
        m_cursor = nullptr;
        m_left = 0;
        m_total = 0;
    }

private:
    struct Block
    {
        Block *next;
    };

    static constexpr size_t kHeader = 16;
    static constexpr size_t kBlockSize = 1 << 20;

    static void *allocate(void *self, size_t size) { return static_cast<ParseArena *>(self)->take(size); }

    static void deallocate(void *, void *) {}

    void *take(size_t size)
    {
        // Every tag allocates, so the clock is looked at often enough without costing much.
        if ((++m_calls & 1023) == 0 && std::chrono::steady_clock::now() > m_deadline) {
            std::longjmp(m_escape, 1);
        }
        size = size == 0 ? 16 : (size + 15) & ~size_t(15);
        if (size <= m_left) {
            void *p = m_cursor;
            m_cursor += size;
            m_left -= size;
            return p;
        }
        const size_t blockSize = size + kHeader > kBlockSize ? size + kHeader : kBlockSize;
        if (m_total + blockSize > m_budget) {
            std::longjmp(m_escape, 1);
        }
        void *raw = std::malloc(blockSize);
        if (!raw) {
            std::longjmp(m_escape, 1);
        }
        auto *block = static_cast<Block *>(raw);
        block->next = m_blocks;
        m_blocks = block;
        m_total += blockSize;
        char *data = static_cast<char *>(raw) + kHeader;
        if (blockSize == kBlockSize) {
            m_cursor = data + size;
            m_left = blockSize - kHeader - size;
        }
        return data;
    }

    size_t m_budget;
    std::chrono::milliseconds m_timeBudget;
    std::chrono::steady_clock::time_point m_deadline;
    unsigned m_calls = 0;
    Block *m_blocks = nullptr;
    char *m_cursor = nullptr;
    size_t m_left = 0;
    size_t m_total = 0;
    std::jmp_buf m_escape;
};

bool isHtmlSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\f' || u == u'\r';
}

// Builds rendered text as a browser lays it out: white space runs become one blank, blocks and
// <br> start new lines, table cells are separated by tabs. Separators are held back until the next
// visible character, so no line starts or ends with a blank and block edges never double up.
class TextBuilder
{
public:
    void reset() { *this = TextBuilder(); }

    qsizetype size() const { return m_out.size(); }

    const QString &text() const { return m_out; }

    void text(QStringView s, bool preformatted)
    {
        const qsizetype n = s.size();
        qsizetype i = 0;
        while (i < n) {
            const QChar c = s[i];
            if (preformatted && (c == u'\r' || c == u'\n')) {
                lineBreak();
                i += (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ? 2 : 1;
                continue;
            }
            if (!preformatted && isHtmlSpace(c)) {
                m_space = true;
                ++i;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && s[j] != u'\r' && s[j] != u'\n' && (preformatted || !isHtmlSpace(s[j]))) {
                ++j;
            }
            beforeContent();
            m_out += s.sliced(i, j - i);
            m_lineStart = false;
            i = j;
        }
    }

    void lineBreak()
    {
        if (m_break && !m_lineStart) {
            m_out += u'\n';
        }
        m_out += u'\n';
        m_lineStart = true;
        m_break = m_space = m_tab = false;
    }

    void blockEdge() { m_break = true; }

    void cellEnd() { m_tab = true; }

private:
    void beforeContent()
    {
        if (m_break) {
            if (!m_lineStart) {
                m_out += u'\n';
                m_lineStart = true;
            }
        } else if (m_tab) {
            m_out += u'\t';
        } else if (m_space && !m_lineStart) {
            m_out += u' ';
        }
        m_break = m_space = m_tab = false;
    }

    QString m_out;
    bool m_lineStart = true;
    bool m_break = false;
    bool m_space = false;
    bool m_tab = false;
};

enum NodeRole : unsigned
{
    kBlock = 1u << 0,
    kPreformatted = 1u << 1,
    kCell = 1u << 2,
    kHidden = 1u << 3,
    kHeading = 1u << 4, // h1, h2 or h3
};

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_XMP:
        return true;
    default:
        return false;
    }
}

// Elements whose content never shows and holds no elements: left out whole.
bool isLeftOut(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_DESC:
        return true;
    default:
        return false;
    }
}

// Elements a browser does not show, though they may hold elements (a heading there is still
// listed, with its own text).
bool isHidden(const GumboElement &element)
{
    switch (element.tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_AUDIO:
        return true;
    default:
        return gumbo_get_attribute(&element.attributes, "hidden") != nullptr;
    }
}

QString collapseWhiteSpace(QStringView text)
{
    QString out;
    out.reserve(text.size());
    bool space = false;
    for (const QChar c : text) {
        if (isHtmlSpace(c)) {
            space = !out.isEmpty();
            continue;
        }
        if (space) {
            out += u' ';
            space = false;
        }
        out += c;
    }
    return out;
}

void appendLines(QStringList &rows, QStringView text)
{
    const QStringView trimmed = trimControl(text);
    qsizetype start = 0;
    while (true) {
        const qsizetype end = trimmed.indexOf(u'\n', start);
        if (end < 0) {
            rows.append(trimmed.sliced(start).toString());
            return;
        }
        rows.append(trimmed.sliced(start, end - start).toString());
        start = end + 1;
    }
}

// One walk over the tree in document order, without recursion (the guard bounds the depth, but
// the walk does not rely on it).
class TreeReader
{
public:
    void read(const GumboNode *document)
    {
        std::vector<Step> steps;
        steps.push_back({document, false, 0});
        while (!steps.empty()) {
            const Step step = steps.back();
            steps.pop_back();
            const GumboNode *node = step.node;
            if (step.leaving) {
                leave(step.roles);
                continue;
            }
            switch (node->type) {
            case GUMBO_NODE_DOCUMENT:
                pushChildren(steps, node->v.document.children);
                break;
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                builder().text(QString::fromUtf8(node->v.text.text), m_preformatted > 0);
                break;
            case GUMBO_NODE_COMMENT:
                break;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                unsigned roles = 0;
                if (enter(node->v.element, roles)) {
                    steps.push_back({node, true, roles});
                    pushChildren(steps, node->v.element.children);
                }
                break;
            }
            }
        }
    }

    PageAnalysis result;

    const QString &renderedText() const { return m_text.text(); }

private:
    struct Step
    {
        const GumboNode *node;
        bool leaving;
        unsigned roles;
    };

    struct OpenHeading
    {
        QStringList *rows;
        TextBuilder *builder;
        qsizetype start;
    };

    static void pushChildren(std::vector<Step> &steps, const GumboVector &children)
    {
        for (unsigned i = children.length; i > 0; --i) {
            steps.push_back({static_cast<const GumboNode *>(children.data[i - 1]), false, 0});
        }
    }

    TextBuilder &builder() { return m_hidden > 0 ? m_hiddenText : m_text; }

    // Returns whether the element's children are to be read.
    bool enter(const GumboElement &element, unsigned &roles)
    {
        const bool html = element.tag_namespace == GUMBO_NAMESPACE_HTML;
        if (element.tag == GUMBO_TAG_META) {
            readMeta(element);
        }
        if (element.tag == GUMBO_TAG_TITLE && html && !m_titleSeen) {
            m_titleSeen = true;
            result.title = titleText(element);
        }
        if (isLeftOut(element.tag)) {
            return false;
        }
        if (element.tag == GUMBO_TAG_BR && html) {
            builder().lineBreak();
            return false;
        }
        if (isHidden(element)) {
            roles |= kHidden;
            if (m_hidden++ == 0) {
                m_hiddenText.reset();
            }
        }
        if (!html) {
            return true;
        }
        if (isBlock(element.tag)) {
            roles |= kBlock;
            builder().blockEdge();
        }
        if (element.tag == GUMBO_TAG_PRE || element.tag == GUMBO_TAG_LISTING || element.tag == GUMBO_TAG_XMP ||
            element.tag == GUMBO_TAG_PLAINTEXT) {
            roles |= kPreformatted;
            ++m_preformatted;
        }
        if (element.tag == GUMBO_TAG_TD || element.tag == GUMBO_TAG_TH) {
            roles |= kCell;
        }
        QStringList *rows = nullptr;
        if (element.tag == GUMBO_TAG_H1) {
            rows = &result.h1;
        } else if (element.tag == GUMBO_TAG_H2) {
            rows = &result.h2;
        } else if (element.tag == GUMBO_TAG_H3) {
            rows = &result.h3;
        }
        if (rows) {
            roles |= kHeading;
            m_headings.push_back({rows, &builder(), builder().size()});
        }
        return true;
    }

    void leave(unsigned roles)
    {
        if (roles & kHeading) {
            const OpenHeading heading = m_headings.back();
            m_headings.pop_back();
            const QString &text = heading.builder->text();
            appendLines(*heading.rows, QStringView(text).sliced(heading.start));
        }
        if (roles & kPreformatted) {
            --m_preformatted;
        }
        if (roles & kBlock) {
            builder().blockEdge();
        }
        if (roles & kCell) {
            builder().cellEnd();
        }
        if (roles & kHidden) {
            --m_hidden;
        }
    }

    void readMeta(const GumboElement &element)
    {
        const GumboAttribute *name = gumbo_get_attribute(&element.attributes, "name");
        if (!name || asciiLower(QString::fromUtf8(name->value)) != u"description"_s) {
            return;
        }
        const GumboAttribute *content = gumbo_get_attribute(&element.attributes, "content");
        result.description = content ? QString::fromUtf8(content->value) : QString();
    }

    static QString titleText(const GumboElement &element)
    {
        QString text;
        for (unsigned i = 0; i < element.children.length; ++i) {
            const auto *child = static_cast<const GumboNode *>(element.children.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE ||
                child->type == GUMBO_NODE_CDATA) {
                text += QString::fromUtf8(child->v.text.text);
            }
        }
        return collapseWhiteSpace(text);
    }

    TextBuilder m_text;
    TextBuilder m_hiddenText; // what hidden elements would show, for the headings inside them
    int m_hidden = 0;
    int m_preformatted = 0;
    bool m_titleSeen = false;
    std::vector<OpenHeading> m_headings;
};

// The number of UTF-16 code units that the first `bytes` bytes of valid UTF-8 hold.
qsizetype utf16Length(const QByteArray &utf8, qsizetype bytes)
{
    qsizetype units = 0;
    for (qsizetype i = 0; i < bytes; ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if ((b & 0xC0) != 0x80) {
            units += b >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

// A shorter prefix for a retry: cut before the last "<" at or before `at`.
qsizetype shorterPrefix(QByteArrayView utf8, qsizetype at)
{
    const qsizetype lt = utf8.first(std::min(at + 1, utf8.size())).lastIndexOf('<');
    if (lt > 0) {
        return lt;
    }
    while (at > 0 && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80) {
        --at;
    }
    return at;
}

QString noteFor(GuardCut cut, qsizetype characters, const GuardLimits &limits)
{
    switch (cut) {
    case GuardCut::None:
        return {};
    case GuardCut::Size:
        return u"The page is larger than %1 MiB; only its first %2 characters were analysed."_s
            .arg(limits.maxBytes / (qsizetype{1024} * 1024))
            .arg(characters);
    case GuardCut::Depth:
        return u"The page nests its elements more than %1 levels deep; only its first %2 characters were analysed."_s
            .arg(limits.maxDepth)
            .arg(characters);
    case GuardCut::Complexity:
        return u"The page's markup is too tangled to analyse in full; only its first %1 characters were analysed."_s
            .arg(characters);
    }
    return {};
}

// A page parsed as far as it is safe: the guard's prefix, or a quarter of it again and again while
// the parse outgrows its budget (the parser's worst cost grows with the square of the length).
struct GuardedParse
{
    GumboOutput *output = nullptr; // null when not even an empty prefix could be parsed
    qsizetype length = 0;          // the bytes parsed
    GuardCut cut = GuardCut::None;
};

GuardedParse parseGuarded(QByteArrayView utf8, const AnalyzeLimits &limits, ParseArena &arena)
{
    const GuardResult guard = guardHtml(utf8, limits.guard);
    GuardedParse parsed{nullptr, guard.safeBytes, guard.cut};
    parsed.output = arena.parse(utf8.data(), static_cast<size_t>(parsed.length));
    while (!parsed.output && parsed.length > 0) {
        parsed.cut = GuardCut::Complexity;
        parsed.length = shorterPrefix(utf8, parsed.length / 4);
        parsed.output = arena.parse(utf8.data(), static_cast<size_t>(parsed.length));
    }
    return parsed;
}

} // namespace

PageAnalysis analyzeHtml(const QString &source, const AnalyzeLimits &limits)
{
    const QByteArray utf8 = source.toUtf8();
    ParseArena arena(limits.parseMemory, limits.parseTime);
    const GuardedParse parsed = parseGuarded(utf8, limits, arena);
    GumboOutput *output = parsed.output;
    const qsizetype length = parsed.length;
    const GuardCut cut = parsed.cut;

    TreeReader reader;
    if (output) {
        reader.read(output->document);
    }
    PageAnalysis analysis = std::move(reader.result);
    QString text = reader.renderedText();
    text.replace(u'\n', u"\r\n"_s);
    analysis.text = std::move(text);
    analysis.note = noteFor(cut, utf16Length(utf8, length), limits.guard);
    return analysis;
}

QSet<QString> fragmentTargetsOf(QByteArrayView utf8, const AnalyzeLimits &limits)
{
    ParseArena arena(limits.parseMemory, limits.parseTime);
    GumboOutput *output = parseGuarded(utf8, limits, arena).output;
    QSet<QString> targets;
    if (!output) {
        return targets;
    }
    // Every element's id, and the name of an <a>: what "#name" scrolls to. No recursion.
    std::vector<const GumboNode *> nodes{output->document};
    while (!nodes.empty()) {
        const GumboNode *node = nodes.back();
        nodes.pop_back();
        const GumboVector *children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            const GumboElement &element = node->v.element;
            if (const GumboAttribute *id = gumbo_get_attribute(&element.attributes, "id")) {
                targets.insert(QString::fromUtf8(id->value));
            }
            if (element.tag == GUMBO_TAG_A) {
                if (const GumboAttribute *name = gumbo_get_attribute(&element.attributes, "name")) {
                    targets.insert(QString::fromUtf8(name->value));
                }
            }
            children = &element.children;
        }
        if (children) {
            for (unsigned i = 0; i < children->length; ++i) {
                nodes.push_back(static_cast<const GumboNode *>(children->data[i]));
            }
        }
    }
    return targets;
}

QString ExtractTitle(const QString &html)
{
    return analyzeHtml(html).title;
}

QString ExtractMetaDescription(const QString &html)
{
    return analyzeHtml(html).description;
}

QString ExtractHeadings(const QString &html, const QString &tag)
{
    const QString name = asciiLower(tag);
    const PageAnalysis analysis = analyzeHtml(html);
    if (name == u"h1"_s) {
        return rowsBlock(analysis.h1);
    }
    if (name == u"h2"_s) {
        return rowsBlock(analysis.h2);
    }
    if (name == u"h3"_s) {
        return rowsBlock(analysis.h3);
    }
    return {};
}

QString rowsBlock(const QStringList &rows)
{
    QString block;
    for (const QString &row : rows) {
        block += row + u"\r\n"_s;
    }
    return block;
}

QString memoText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"\r\n"_s;
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            out += c;
        }
    }
    return out;
}

AnalysisCounts countsFor(const QString &url, const QString &title, const QString &description, const QStringList &h1,
                         const QStringList &h2, const QStringList &h3, const QString &contents)
{
    auto blockLength = [](const QStringList &rows) {
        qsizetype length = 0;
        for (const QString &row : rows) {
            length += row.size() + 2;
        }
        return length;
    };
    AnalysisCounts counts;
    counts.url = url.size();
    counts.title = title.size();
    counts.description = description.size();
    counts.h1 = blockLength(h1);
    counts.h2 = blockLength(h2);
    counts.h3 = blockLength(h3);
    counts.contents = contents.size();
    return counts;
}

} // namespace quorvel
