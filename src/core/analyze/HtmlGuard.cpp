#include "core/analyze/HtmlGuard.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel {

namespace {

using Id = int;

// Tags the model knows by gumbo's numbering; any other name gets an id after these.
constexpr Id kFirstUnknownId = GUMBO_TAG_LAST + 1;

enum TagFlag : unsigned
{
    kSpecial = 1u << 0,       // ends the search for the element a stray end tag names
    kSpecialNotAdp = 1u << 1, // special, and not address, div or p: ends the search for an open li/dd/dt
    kScope = 1u << 2,         // bounds the "is it in scope" checks
    kClosesP = 1u << 3,       // closes an open p first
    kFormatting = 1u << 4,    // kept in the list of formatting elements, re-opened after misnesting
    kVoid = 1u << 5,          // never has content
    kRawText = 1u << 6,       // its content is text up to its own end tag
    kMarker = 1u << 7,        // opens a new level of formatting elements
    kBreakout = 1u << 8,      // closes an open svg or math element
    kIntegration = 1u << 9,   // its content is html again (svg and math elements that lead back)
    kHeading = 1u << 10,
    kNoReopen = 1u << 11, // its start tag does not re-open formatting elements
    kTablePart = 1u << 12,
    kColumns = 1u << 13, // a template whose content is columns
};

using FlagTable = std::array<unsigned, kFirstUnknownId>;

FlagTable makeFlags()
{
    FlagTable t{};
    auto set = [&t](std::initializer_list<GumboTag> tags, unsigned flag) {
        for (GumboTag tag : tags) {
            t[tag] |= flag;
        }
    };
    set({GUMBO_TAG_ADDRESS,  GUMBO_TAG_APPLET,    GUMBO_TAG_AREA,     GUMBO_TAG_ARTICLE,    GUMBO_TAG_ASIDE,
         GUMBO_TAG_BASE,     GUMBO_TAG_BASEFONT,  GUMBO_TAG_BGSOUND,  GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_BODY,
         GUMBO_TAG_BR,       GUMBO_TAG_BUTTON,    GUMBO_TAG_CAPTION,  GUMBO_TAG_CENTER,     GUMBO_TAG_COL,
         GUMBO_TAG_COLGROUP, GUMBO_TAG_DD,        GUMBO_TAG_DETAILS,  GUMBO_TAG_DIR,        GUMBO_TAG_DIV,
         GUMBO_TAG_DL,       GUMBO_TAG_DT,        GUMBO_TAG_EMBED,    GUMBO_TAG_FIELDSET,   GUMBO_TAG_FIGCAPTION,
         GUMBO_TAG_FIGURE,   GUMBO_TAG_FOOTER,    GUMBO_TAG_FORM,     GUMBO_TAG_FRAME,      GUMBO_TAG_FRAMESET,
         GUMBO_TAG_H1,       GUMBO_TAG_H2,        GUMBO_TAG_H3,       GUMBO_TAG_H4,         GUMBO_TAG_H5,
         GUMBO_TAG_H6,       GUMBO_TAG_HEAD,      GUMBO_TAG_HEADER,   GUMBO_TAG_HGROUP,     GUMBO_TAG_HR,
         GUMBO_TAG_HTML,     GUMBO_TAG_IFRAME,    GUMBO_TAG_IMG,      GUMBO_TAG_INPUT,      GUMBO_TAG_ISINDEX,
         GUMBO_TAG_LI,       GUMBO_TAG_LINK,      GUMBO_TAG_LISTING,  GUMBO_TAG_MAIN,       GUMBO_TAG_MARQUEE,
         GUMBO_TAG_MENU,     GUMBO_TAG_MENUITEM,  GUMBO_TAG_META,     GUMBO_TAG_NAV,        GUMBO_TAG_NOEMBED,
         GUMBO_TAG_NOFRAMES, GUMBO_TAG_NOSCRIPT,  GUMBO_TAG_OBJECT,   GUMBO_TAG_OL,         GUMBO_TAG_P,
         GUMBO_TAG_PARAM,    GUMBO_TAG_PLAINTEXT, GUMBO_TAG_PRE,      GUMBO_TAG_SCRIPT,     GUMBO_TAG_SECTION,
         GUMBO_TAG_SELECT,   GUMBO_TAG_SOURCE,    GUMBO_TAG_STYLE,    GUMBO_TAG_SUMMARY,    GUMBO_TAG_TABLE,
         GUMBO_TAG_TBODY,    GUMBO_TAG_TD,        GUMBO_TAG_TEMPLATE, GUMBO_TAG_TEXTAREA,   GUMBO_TAG_TFOOT,
         GUMBO_TAG_TH,       GUMBO_TAG_THEAD,     GUMBO_TAG_TITLE,    GUMBO_TAG_TR,         GUMBO_TAG_TRACK,
         GUMBO_TAG_UL,       GUMBO_TAG_WBR,       GUMBO_TAG_XMP},
        kSpecial | kSpecialNotAdp);
    for (GumboTag tag : {GUMBO_TAG_ADDRESS, GUMBO_TAG_DIV, GUMBO_TAG_P}) {
        t[tag] &= ~kSpecialNotAdp;
    }
    set({GUMBO_TAG_APPLET, GUMBO_TAG_CAPTION, GUMBO_TAG_HTML, GUMBO_TAG_TABLE, GUMBO_TAG_TD, GUMBO_TAG_TH,
         GUMBO_TAG_MARQUEE, GUMBO_TAG_OBJECT, GUMBO_TAG_TEMPLATE},
        kScope);
    set({GUMBO_TAG_ADDRESS,    GUMBO_TAG_ARTICLE, GUMBO_TAG_ASIDE,  GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_CENTER,
         GUMBO_TAG_DETAILS,    GUMBO_TAG_DIR,     GUMBO_TAG_DIV,    GUMBO_TAG_DL,         GUMBO_TAG_FIELDSET,
         GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,  GUMBO_TAG_FOOTER, GUMBO_TAG_HEADER,     GUMBO_TAG_HGROUP,
         GUMBO_TAG_MAIN,       GUMBO_TAG_MENU,    GUMBO_TAG_NAV,    GUMBO_TAG_OL,         GUMBO_TAG_P,
         GUMBO_TAG_SECTION,    GUMBO_TAG_SUMMARY, GUMBO_TAG_UL,     GUMBO_TAG_H1,         GUMBO_TAG_H2,
         GUMBO_TAG_H3,         GUMBO_TAG_H4,      GUMBO_TAG_H5,     GUMBO_TAG_H6,         GUMBO_TAG_PRE,
         GUMBO_TAG_LISTING,    GUMBO_TAG_FORM,    GUMBO_TAG_LI,     GUMBO_TAG_DD,         GUMBO_TAG_DT,
         GUMBO_TAG_PLAINTEXT,  GUMBO_TAG_TABLE,   GUMBO_TAG_HR,     GUMBO_TAG_XMP},
        kClosesP);
    set({GUMBO_TAG_A, GUMBO_TAG_B, GUMBO_TAG_BIG, GUMBO_TAG_CODE, GUMBO_TAG_EM, GUMBO_TAG_FONT, GUMBO_TAG_I,
         GUMBO_TAG_NOBR, GUMBO_TAG_S, GUMBO_TAG_SMALL, GUMBO_TAG_STRIKE, GUMBO_TAG_STRONG, GUMBO_TAG_TT, GUMBO_TAG_U},
        kFormatting);
    set({GUMBO_TAG_AREA, GUMBO_TAG_BASE,  GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND, GUMBO_TAG_BR,
         GUMBO_TAG_COL,  GUMBO_TAG_EMBED, GUMBO_TAG_FRAME,    GUMBO_TAG_HR,      GUMBO_TAG_IMAGE,
         GUMBO_TAG_IMG,  GUMBO_TAG_INPUT, GUMBO_TAG_ISINDEX,  GUMBO_TAG_KEYGEN,  GUMBO_TAG_LINK,
         GUMBO_TAG_META, GUMBO_TAG_PARAM, GUMBO_TAG_SOURCE,   GUMBO_TAG_TRACK,   GUMBO_TAG_WBR},
        kVoid);
    set({GUMBO_TAG_SCRIPT, GUMBO_TAG_STYLE, GUMBO_TAG_XMP, GUMBO_TAG_IFRAME, GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES,
         GUMBO_TAG_TEXTAREA, GUMBO_TAG_TITLE},
        kRawText);
    set({GUMBO_TAG_APPLET, GUMBO_TAG_MARQUEE, GUMBO_TAG_OBJECT, GUMBO_TAG_TEMPLATE, GUMBO_TAG_TD, GUMBO_TAG_TH,
         GUMBO_TAG_CAPTION},
        kMarker);
    set({GUMBO_TAG_B,       GUMBO_TAG_BIG,  GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_BODY,  GUMBO_TAG_BR,   GUMBO_TAG_CENTER,
         GUMBO_TAG_CODE,    GUMBO_TAG_DD,   GUMBO_TAG_DIV,        GUMBO_TAG_DL,    GUMBO_TAG_DT,   GUMBO_TAG_EM,
         GUMBO_TAG_EMBED,   GUMBO_TAG_H1,   GUMBO_TAG_H2,         GUMBO_TAG_H3,    GUMBO_TAG_H4,   GUMBO_TAG_H5,
         GUMBO_TAG_H6,      GUMBO_TAG_HEAD, GUMBO_TAG_HR,         GUMBO_TAG_I,     GUMBO_TAG_IMG,  GUMBO_TAG_LI,
         GUMBO_TAG_LISTING, GUMBO_TAG_MENU, GUMBO_TAG_META,       GUMBO_TAG_NOBR,  GUMBO_TAG_OL,   GUMBO_TAG_P,
         GUMBO_TAG_PRE,     GUMBO_TAG_RUBY, GUMBO_TAG_S,          GUMBO_TAG_SMALL, GUMBO_TAG_SPAN, GUMBO_TAG_STRONG,
         GUMBO_TAG_STRIKE,  GUMBO_TAG_SUB,  GUMBO_TAG_SUP,        GUMBO_TAG_TABLE, GUMBO_TAG_TT,   GUMBO_TAG_U,
         GUMBO_TAG_UL,      GUMBO_TAG_VAR,  GUMBO_TAG_FONT},
        kBreakout);
    set({GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5, GUMBO_TAG_H6}, kHeading);
    set({GUMBO_TAG_TEMPLATE, GUMBO_TAG_SCRIPT,   GUMBO_TAG_STYLE,    GUMBO_TAG_TITLE, GUMBO_TAG_NOFRAMES,
         GUMBO_TAG_BASE,     GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND,  GUMBO_TAG_LINK,  GUMBO_TAG_META,
         GUMBO_TAG_TEXTAREA, GUMBO_TAG_IFRAME,   GUMBO_TAG_NOEMBED,  GUMBO_TAG_PARAM, GUMBO_TAG_SOURCE,
         GUMBO_TAG_TRACK,    GUMBO_TAG_FRAME,    GUMBO_TAG_FRAMESET, GUMBO_TAG_HTML,  GUMBO_TAG_BODY,
         GUMBO_TAG_HEAD},
        kNoReopen);
    set({GUMBO_TAG_CAPTION, GUMBO_TAG_COLGROUP, GUMBO_TAG_COL, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT,
         GUMBO_TAG_TR, GUMBO_TAG_TD, GUMBO_TAG_TH},
        kTablePart);
    return t;
}

const FlagTable &flagTable()
{
    static const FlagTable table = makeFlags();
    return table;
}

// A model of the HTML tree builder that follows only what decides how deep the tree grows and how
// long the builder works: which elements are open, which formatting elements it would re-open.
class TreeModel
{
public:
    explicit TreeModel(const GuardLimits &limits)
        : m_limits(limits)
        , m_flags(flagTable())
    {
        m_positions.resize(kFirstUnknownId);
    }

    GuardCut over() const { return m_over; }

    qint64 deepest() const { return m_deepest; }

    void addId(Id id)
    {
        if (static_cast<size_t>(id) >= m_positions.size()) {
            m_positions.resize(static_cast<size_t>(id) + 1);
        }
    }

    bool inForeign()
    {
        const int root = std::max(top(GUMBO_TAG_SVG), top(GUMBO_TAG_MATH));
        return root >= 0 && root > topOf(m_integration);
    }

    bool inFrameset() { return top(GUMBO_TAG_FRAMESET) >= 0; }

    bool columnTemplate()
    {
        const int at = top(GUMBO_TAG_TEMPLATE);
        return at >= 0 && (m_stack[static_cast<size_t>(at)].flags & kColumns);
    }

    static void erasePosition(std::vector<int> &positions, int pos)
    {
        const auto it = std::find(positions.rbegin(), positions.rend(), pos);
        if (it != positions.rend()) {
            positions.erase(std::next(it).base());
        }
    }

    // Takes an element out of the middle of the stack, leaving the elements above it open.
    void removeAt(int pos)
    {
        Open &open = m_stack[static_cast<size_t>(pos)];
        if (open.removed) {
            return;
        }
        addWork(depth());
        open.removed = true;
        ++m_removed;
        erasePosition(m_positions[static_cast<size_t>(open.id)], pos);
        if (open.flags & kSpecial) {
            erasePosition(m_special, pos);
        }
        if (open.flags & kSpecialNotAdp) {
            erasePosition(m_specialNotAdp, pos);
        }
        if (open.flags & kScope) {
            erasePosition(m_scope, pos);
        }
        if (open.flags & kIntegration) {
            erasePosition(m_integration, pos);
        }
    }

    bool inSelect()
    {
        const int select = top(GUMBO_TAG_SELECT);
        return select >= 0 && select > top(GUMBO_TAG_TEMPLATE);
    }

    void text(bool whiteSpaceOnly)
    {
        if (!whiteSpaceOnly) {
            m_framesetOk = false;
        }
        if (!inSelect()) {
            reopenFormatting();
        }
    }

    // Returns whether the element's content is raw text, to be skipped up to its end tag.
    bool startTag(Id id, Id foreignId, quint64 key, qint64 attributes, bool selfClosing, bool fontBreaksOut)
    {
        compactList();
        addWork(1 + attributes * (attributes - 1) / 2);
        const unsigned f = flags(id);
        if (inForeign()) {
            if (!(f & kBreakout) || (id == GUMBO_TAG_FONT && !fontBreaksOut)) {
                if (!selfClosing) {
                    pushForeign(id, foreignId);
                }
                return false;
            }
            popTo(std::max(top(GUMBO_TAG_SVG), top(GUMBO_TAG_MATH)));
        }
        if (inFrameset()) {
            // A frameset page has only frames: every other tag is dropped.
            if (id == GUMBO_TAG_FRAMESET) {
                push(id);
            }
            return id == GUMBO_TAG_NOFRAMES;
        }
        if (id == GUMBO_TAG_FRAMESET) {
            if (m_framesetOk) {
                popTo(0); // the frameset takes the body's place
                push(id);
            }
            return false;
        }
        switch (id) {
        case GUMBO_TAG_APPLET:
        case GUMBO_TAG_MARQUEE:
        case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_AREA:
        case GUMBO_TAG_BR:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_IMG:
        case GUMBO_TAG_KEYGEN:
        case GUMBO_TAG_WBR:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_LISTING:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_XMP:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_SELECT:
            m_framesetOk = false;
            break;
        default:
            break;
        }
        if (inSelect()) {
            // Inside a select only options, scripts and templates count; a few tags close it.
            if (id == GUMBO_TAG_OPTION || id == GUMBO_TAG_OPTGROUP) {
                if (current() == GUMBO_TAG_OPTION) {
                    pop();
                }
                if (id == GUMBO_TAG_OPTGROUP && current() == GUMBO_TAG_OPTGROUP) {
                    pop();
                }
                push(id);
                return false;
            }
            if (id == GUMBO_TAG_SCRIPT) {
                return true;
            }
            if (id == GUMBO_TAG_SELECT) {
                popTo(top(GUMBO_TAG_SELECT));
                return false;
            }
            const bool closesSelect =
                id == GUMBO_TAG_INPUT || id == GUMBO_TAG_KEYGEN || id == GUMBO_TAG_TEXTAREA ||
                (((f & kTablePart) || id == GUMBO_TAG_TABLE) && (tableTop() >= 0 || top(GUMBO_TAG_TEMPLATE) >= 0));
            if (!closesSelect && id != GUMBO_TAG_TEMPLATE) {
                return false;
            }
            if (id != GUMBO_TAG_TEMPLATE) {
                popTo(top(GUMBO_TAG_SELECT));
            }
        }
        if (id == GUMBO_TAG_HTML || id == GUMBO_TAG_BODY || id == GUMBO_TAG_HEAD) {
            return false;
        }
        if (f & kTablePart) {
            tablePart(id);
            return false;
        }
        if (id == GUMBO_TAG_FORM && m_formOpen && top(GUMBO_TAG_TEMPLATE) < 0) {
            return false; // no form inside a form
        }
        if (columnTemplate() && id != GUMBO_TAG_COL && id != GUMBO_TAG_TEMPLATE) {
            return false;
        }
        if (f & kClosesP) {
            addWork(depth());
            closeP();
        }
        if (id == GUMBO_TAG_TABLE) {
            const int table = tableTop();
            if (table >= 0 && table > std::max({top(GUMBO_TAG_TD), top(GUMBO_TAG_TH), top(GUMBO_TAG_CAPTION)})) {
                popTo(table); // a table directly inside a table closes it
            }
        } else if ((f & kHeading) && (currentFlags() & kHeading)) {
            pop();
        } else if (id == GUMBO_TAG_LI) {
            closeListItem(top(GUMBO_TAG_LI));
        } else if (id == GUMBO_TAG_DD || id == GUMBO_TAG_DT) {
            closeListItem(std::max(top(GUMBO_TAG_DD), top(GUMBO_TAG_DT)));
        } else if (id == GUMBO_TAG_BUTTON) {
            const int button = top(GUMBO_TAG_BUTTON);
            if (button >= 0 && button >= scopeTop()) {
                popTo(button);
            }
        } else if (id == GUMBO_TAG_A) {
            const int active = lastFormatting(GUMBO_TAG_A);
            if (active >= 0) {
                endFormatting(GUMBO_TAG_A);
                removeEntry(active);
            }
        } else if (id == GUMBO_TAG_NOBR) {
            const int nobr = top(GUMBO_TAG_NOBR);
            if (nobr >= 0 && nobr > scopeTop()) {
                endFormatting(GUMBO_TAG_NOBR);
            }
        } else if (id == GUMBO_TAG_OPTION || id == GUMBO_TAG_OPTGROUP) {
            if (current() == GUMBO_TAG_OPTION) {
                pop();
            }
            if (id == GUMBO_TAG_OPTGROUP && current() == GUMBO_TAG_OPTGROUP) {
                pop();
            }
        } else if (id == GUMBO_TAG_RB || id == GUMBO_TAG_RP || id == GUMBO_TAG_RT || id == GUMBO_TAG_RTC) {
            // Ruby annotations close the open ones only inside a ruby element; elsewhere they nest.
            const int ruby = top(GUMBO_TAG_RUBY);
            while (ruby >= 0 && ruby > scopeTop()) {
                switch (current()) {
                case GUMBO_TAG_RB:
                case GUMBO_TAG_RP:
                case GUMBO_TAG_RT:
                case GUMBO_TAG_RTC:
                case GUMBO_TAG_P:
                case GUMBO_TAG_LI:
                case GUMBO_TAG_DD:
                case GUMBO_TAG_DT:
                case GUMBO_TAG_OPTION:
                case GUMBO_TAG_OPTGROUP:
                    pop();
                    continue;
                default:
                    break;
                }
                break;
            }
        }
        if (!(f & kClosesP) && !(f & kNoReopen)) {
            reopenFormatting();
        } else if (id == GUMBO_TAG_XMP) {
            reopenFormatting();
        }
        if ((f & kVoid) || (f & kRawText)) {
            return (f & kRawText) != 0; // raw text elements close at their end tag, which the scanner finds
        }
        if (selfClosing && (id == GUMBO_TAG_SVG || id == GUMBO_TAG_MATH)) {
            return false;
        }
        if (f & kFormatting) {
            addFormatting(id, key);
        } else {
            push(id);
        }
        if (f & kMarker) {
            insertMarker();
        }
        if (id == GUMBO_TAG_FORM && top(GUMBO_TAG_TEMPLATE) < 0) {
            m_formOpen = true;
        }
        return false;
    }

    void endTag(Id id, Id foreignId)
    {
        compactList();
        addWork(1 + depth());
        const unsigned f = flags(id);
        if (foreignId >= 0 && inForeign()) {
            const int at = top(foreignId);
            if (at >= 0 && at > std::max(top(GUMBO_TAG_SVG), top(GUMBO_TAG_MATH))) {
                popTo(at);
                return;
            }
        }
        if (inFrameset()) {
            if (id == GUMBO_TAG_FRAMESET && current() == GUMBO_TAG_FRAMESET) {
                pop();
            }
            return;
        }
        if (id == GUMBO_TAG_HTML || id == GUMBO_TAG_BODY || id == GUMBO_TAG_HEAD) {
            return;
        }
        if (inSelect() && id != GUMBO_TAG_OPTION && id != GUMBO_TAG_OPTGROUP && id != GUMBO_TAG_SELECT &&
            id != GUMBO_TAG_TEMPLATE) {
            return; // ignored inside a select
        }
        if (id == GUMBO_TAG_BR) {
            reopenFormatting();
            return;
        }
        if (id == GUMBO_TAG_P) {
            closeP();
            return;
        }
        if (id == GUMBO_TAG_LI) {
            const int li = top(GUMBO_TAG_LI);
            if (li >= 0 && li > std::max({scopeTop(), top(GUMBO_TAG_OL), top(GUMBO_TAG_UL)})) {
                popTo(li);
            }
            return;
        }
        if (f & kHeading) {
            int heading = -1;
            for (Id h : {GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3, GUMBO_TAG_H4, GUMBO_TAG_H5, GUMBO_TAG_H6}) {
                heading = std::max(heading, top(h));
            }
            if (heading >= 0 && heading > scopeTop()) {
                popTo(heading);
            }
            return;
        }
        if (f & kFormatting) {
            endFormatting(id);
            return;
        }
        if (id == GUMBO_TAG_TABLE || id == GUMBO_TAG_SELECT) {
            const int at = top(id);
            if (at >= 0 && at > top(GUMBO_TAG_TEMPLATE)) {
                popTo(at);
            }
            return;
        }
        if (f & kTablePart) {
            const int at = top(id);
            if (at >= 0 && at > std::max(tableTop(), top(GUMBO_TAG_TEMPLATE))) {
                popTo(at);
            }
            return;
        }
        if (id == GUMBO_TAG_OPTION || id == GUMBO_TAG_OPTGROUP) {
            if (current() == id) {
                pop();
            }
            return;
        }
        if (id == GUMBO_TAG_FORM && top(GUMBO_TAG_TEMPLATE) < 0) {
            // The form leaves the stack alone: what was opened inside it stays open.
            m_formOpen = false;
            const int at = top(GUMBO_TAG_FORM);
            if (at >= 0 && at >= scopeTop()) {
                removeAt(at);
            }
            return;
        }
        if (f & kSpecial) {
            const int at = top(id);
            if (at >= 0 && at >= scopeTop()) {
                popTo(at);
            }
            return;
        }
        otherEndTag(id);
    }

private:
    struct Open
    {
        Id id;
        int entry;      // its place in the list of formatting elements, or -1
        bool removed;   // taken out of the middle of the stack by a misnested end tag
        unsigned flags; // as pushed: an svg or math element has none of its html namesake's
    };

    struct Entry
    {
        Id id;
        quint64 key;  // tag and attributes, for the limit of three identical entries
        int stackPos; // -1 when the element is no longer open
        bool marker;
        bool alive;
    };

    // An element inside svg or math, under its own id; only the html integration points of its
    // namespace keep a role.
    void pushForeign(Id id, Id foreignId)
    {
        const bool svg = top(GUMBO_TAG_SVG) > top(GUMBO_TAG_MATH);
        const bool integration = svg ? (id == GUMBO_TAG_FOREIGNOBJECT || id == GUMBO_TAG_DESC || id == GUMBO_TAG_TITLE)
                                     : (id == GUMBO_TAG_MI || id == GUMBO_TAG_MO || id == GUMBO_TAG_MN ||
                                        id == GUMBO_TAG_MS || id == GUMBO_TAG_MTEXT || id == GUMBO_TAG_ANNOTATION_XML);
        pushWithFlags(foreignId, -1, integration ? (kIntegration | kScope | kSpecial | kSpecialNotAdp) : 0u);
    }

    unsigned flags(Id id) const { return id < kFirstUnknownId ? m_flags[static_cast<size_t>(id)] : 0u; }

    qint64 depth() const { return static_cast<qint64>(m_stack.size()) - m_removed; }

    Id current()
    {
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            addWork(1);
            if (!it->removed) {
                return it->id;
            }
        }
        return -1;
    }

    unsigned currentFlags()
    {
        const Id id = current();
        return id >= 0 ? flags(id) : 0u;
    }

    static int topOf(const std::vector<int> &positions) { return positions.empty() ? -1 : positions.back(); }

    int top(Id id)
    {
        std::vector<int> &positions = m_positions[static_cast<size_t>(id)];
        while (!positions.empty() && m_stack[static_cast<size_t>(positions.back())].removed) {
            positions.pop_back();
        }
        return topOf(positions);
    }

    int scopeTop() const { return topOf(m_scope); }

    void addWork(qint64 steps)
    {
        m_work += steps;
        if (m_work > m_limits.maxWork && m_over == GuardCut::None) {
            m_over = GuardCut::Complexity;
        }
    }

    void push(Id id, int entry = -1) { pushWithFlags(id, entry, flags(id)); }

    void pushWithFlags(Id id, int entry, unsigned f)
    {
        const int pos = static_cast<int>(m_stack.size());
        m_stack.push_back({id, entry, false, f});
        m_positions[static_cast<size_t>(id)].push_back(pos);
        if (f & kSpecial) {
            m_special.push_back(pos);
        }
        if (f & kSpecialNotAdp) {
            m_specialNotAdp.push_back(pos);
        }
        if (f & kScope) {
            m_scope.push_back(pos);
        }
        if (f & kIntegration) {
            m_integration.push_back(pos);
        }
        if (m_over != GuardCut::None) {
            return;
        }
        if (depth() > m_limits.maxDepth) {
            m_over = GuardCut::Depth;
        } else {
            m_deepest = std::max(m_deepest, depth());
        }
    }

    void pop()
    {
        const int pos = static_cast<int>(m_stack.size()) - 1;
        const Open open = m_stack.back();
        m_stack.pop_back();
        std::vector<int> &positions = m_positions[static_cast<size_t>(open.id)];
        if (!positions.empty() && positions.back() == pos) {
            positions.pop_back();
        }
        if (open.removed) {
            --m_removed;
            return;
        }
        const unsigned f = open.flags;
        if (f & kSpecial) {
            m_special.pop_back();
        }
        if (f & kSpecialNotAdp) {
            m_specialNotAdp.pop_back();
        }
        if (f & kScope) {
            m_scope.pop_back();
        }
        if (f & kIntegration) {
            m_integration.pop_back();
        }
        if (open.entry >= 0) {
            m_list[static_cast<size_t>(open.entry)].stackPos = -1;
        }
        if (f & kMarker) {
            clearToMarker();
        }
    }

    void popTo(int pos)
    {
        while (static_cast<int>(m_stack.size()) > pos) {
            pop();
        }
    }

    void closeP()
    {
        const int p = top(GUMBO_TAG_P);
        if (p >= 0 && p > std::max(scopeTop(), top(GUMBO_TAG_BUTTON))) {
            popTo(p);
        }
    }

    // An li (dd, dt) closes the open one unless a block other than address, div or p lies between.
    void closeListItem(int item)
    {
        if (item >= 0 && topOf(m_specialNotAdp) == item) {
            popTo(item);
        }
    }

    // The open table of the current template's content (or of the page), or -1.
    int tableTop()
    {
        const int table = top(GUMBO_TAG_TABLE);
        return table > top(GUMBO_TAG_TEMPLATE) ? table : -1;
    }

    void tablePart(Id id)
    {
        const int table = tableTop();
        if (table < 0) {
            if (id == GUMBO_TAG_COL && current() == GUMBO_TAG_TEMPLATE) {
                m_stack.back().flags |= kColumns; // the template holds columns: only col counts now
                return;
            }
            if (top(GUMBO_TAG_TEMPLATE) >= 0 && id != GUMBO_TAG_COL) {
                push(id); // a template's content may start with any part of a table
                if (id == GUMBO_TAG_TD || id == GUMBO_TAG_TH || id == GUMBO_TAG_CAPTION) {
                    insertMarker();
                }
            }
            return; // outside a table the builder ignores these tags
        }
        switch (id) {
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_COLGROUP:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
            popTo(table + 1);
            push(id);
            if (id == GUMBO_TAG_CAPTION) {
                insertMarker();
            }
            return;
        case GUMBO_TAG_COL:
            if (current() != GUMBO_TAG_COLGROUP) {
                popTo(table + 1);
                push(GUMBO_TAG_COLGROUP);
            }
            return;
        case GUMBO_TAG_TR:
            openRowGroup(table, top(GUMBO_TAG_TR));
            push(GUMBO_TAG_TR);
            return;
        default: { // td, th
            const int cell = std::max(top(GUMBO_TAG_TD), top(GUMBO_TAG_TH));
            if (cell > table) {
                popTo(cell);
            }
            const int row = top(GUMBO_TAG_TR);
            if (row > table) {
                popTo(row + 1);
            } else {
                openRowGroup(table, -1);
                push(GUMBO_TAG_TR);
            }
            push(id);
            insertMarker();
            return;
        }
        }
    }

    // Leaves the stack ready for a new row: the open row closed, a row group open.
    void openRowGroup(int table, int row)
    {
        if (row > table) {
            popTo(row);
            return;
        }
        const int group = std::max({top(GUMBO_TAG_TBODY), top(GUMBO_TAG_THEAD), top(GUMBO_TAG_TFOOT)});
        if (group > table) {
            popTo(group + 1);
        } else {
            popTo(table + 1);
            push(GUMBO_TAG_TBODY);
        }
    }

    void otherEndTag(Id id)
    {
        const int at = top(id);
        if (at >= 0 && at > topOf(m_special)) {
            popTo(at);
        }
    }

    int listStart() const { return m_markers.empty() ? 0 : m_markers.back() + 1; }

    int lastFormatting(Id id)
    {
        const int start = listStart();
        for (int i = static_cast<int>(m_list.size()) - 1; i >= start; --i) {
            addWork(1);
            const Entry &e = m_list[static_cast<size_t>(i)];
            if (e.alive && e.id == id) {
                return i;
            }
        }
        return -1;
    }

    // The end tag of a formatting element, as the adoption agency treats it.
    void endFormatting(Id id)
    {
        const int entry = lastFormatting(id);
        if (entry < 0) {
            otherEndTag(id);
            return;
        }
        const int pos = m_list[static_cast<size_t>(entry)].stackPos;
        if (pos < 0) {
            removeEntry(entry);
            return;
        }
        if (pos < scopeTop()) {
            return; // not in scope: ignored
        }
        if (topOf(m_special) > pos) {
            // A block was opened inside it: the builder moves the block out of the element and
            // leaves the element neither open nor to be re-opened.
            m_list[static_cast<size_t>(entry)].stackPos = -1;
            m_stack[static_cast<size_t>(pos)].entry = -1;
            removeAt(pos);
            removeEntry(entry);
            return;
        }
        popTo(pos);
        removeEntry(entry);
    }

    void removeEntry(int index)
    {
        if (index < 0 || static_cast<size_t>(index) >= m_list.size()) {
            return; // already gone with the dead entries at the end of the list
        }
        Entry &e = m_list[static_cast<size_t>(index)];
        if (!e.alive) {
            return;
        }
        e.alive = false;
        ++m_dead;
        if (e.stackPos >= 0) {
            m_stack[static_cast<size_t>(e.stackPos)].entry = -1;
            e.stackPos = -1;
        }
        if (index >= listStart()) {
            --m_same[e.key];
        }
        trimDeadEntries();
    }

    void trimDeadEntries()
    {
        while (!m_list.empty() && !m_list.back().alive) {
            m_list.pop_back();
            --m_dead;
        }
    }

    // Drops the dead entries from the middle of the list once they are the larger part, so walks
    // over the list stay proportional to what is in it. Only between events: callers hold indices.
    void compactList()
    {
        if (m_dead < 64 || m_dead * 2 < static_cast<qint64>(m_list.size())) {
            return;
        }
        addWork(static_cast<qint64>(m_list.size()));
        std::vector<int> moved(m_list.size(), -1);
        size_t kept = 0;
        for (size_t i = 0; i < m_list.size(); ++i) {
            if (!m_list[i].alive) {
                continue;
            }
            moved[i] = static_cast<int>(kept);
            m_list[kept] = m_list[i];
            if (m_list[kept].stackPos >= 0) {
                m_stack[static_cast<size_t>(m_list[kept].stackPos)].entry = static_cast<int>(kept);
            }
            ++kept;
        }
        m_list.resize(kept);
        for (int &marker : m_markers) {
            marker = moved[static_cast<size_t>(marker)];
        }
        m_dead = 0;
    }

    void addFormatting(Id id, quint64 key)
    {
        // The list keeps at most three identical entries since the last marker; the oldest goes.
        if (m_same[key] >= 3) {
            for (int i = listStart(); i < static_cast<int>(m_list.size()); ++i) {
                addWork(1);
                const Entry &e = m_list[static_cast<size_t>(i)];
                if (e.alive && !e.marker && e.key == key) {
                    removeEntry(i);
                    break;
                }
            }
        }
        const int index = static_cast<int>(m_list.size());
        m_list.push_back({id, key, static_cast<int>(m_stack.size()), false, true});
        ++m_same[key];
        push(id, index);
    }

    void insertMarker()
    {
        m_markers.push_back(static_cast<int>(m_list.size()));
        m_list.push_back({-1, 0, -1, true, true});
        m_saved.push_back(std::move(m_same));
        m_same = {};
    }

    void clearToMarker()
    {
        if (m_markers.empty()) {
            return;
        }
        const size_t marker = static_cast<size_t>(m_markers.back());
        m_markers.pop_back();
        addWork(static_cast<qint64>(m_list.size() - marker));
        for (size_t i = marker + 1; i < m_list.size(); ++i) {
            const Entry &e = m_list[i];
            if (!e.alive) {
                --m_dead;
            } else if (e.stackPos >= 0) {
                m_stack[static_cast<size_t>(e.stackPos)].entry = -1;
            }
        }
        m_list.resize(marker);
        m_same = std::move(m_saved.back());
        m_saved.pop_back();
        trimDeadEntries();
    }

    // Text and most inline tags open again the formatting elements that misnested markup closed.
    void reopenFormatting()
    {
        size_t i = m_list.size();
        while (i > 0) {
            const Entry &e = m_list[i - 1];
            if (e.marker || (e.alive && e.stackPos >= 0)) {
                break;
            }
            --i;
        }
        addWork(static_cast<qint64>(m_list.size() - i) + 1);
        for (; i < m_list.size(); ++i) {
            Entry &e = m_list[i];
            if (!e.alive || e.marker) {
                continue;
            }
            e.stackPos = static_cast<int>(m_stack.size());
            push(e.id, static_cast<int>(i));
            if (++m_reopened > m_limits.maxReopened && m_over == GuardCut::None) {
                m_over = GuardCut::Complexity;
            }
        }
    }

    const GuardLimits &m_limits;
    const FlagTable &m_flags;
    GuardCut m_over = GuardCut::None;
    qint64 m_work = 0;
    qint64 m_deepest = 0;
    qint64 m_reopened = 0;
    qint64 m_removed = 0;
    qint64 m_dead = 0; // dead entries still in the list
    bool m_formOpen = false;
    bool m_framesetOk = true; // nothing shown yet: a frameset may still replace the body
    std::vector<Open> m_stack;
    std::vector<std::vector<int>> m_positions; // per tag, where it is open on the stack
    std::vector<int> m_special;
    std::vector<int> m_specialNotAdp;
    std::vector<int> m_scope;
    std::vector<int> m_integration;
    std::vector<Entry> m_list; // the list of active formatting elements, with markers
    std::vector<int> m_markers;
    std::unordered_map<quint64, int> m_same; // identical entries since the last marker
    std::vector<std::unordered_map<quint64, int>> m_saved;
};

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
        if (tag.id < kFirstUnknownId && (flagTable()[static_cast<size_t>(tag.id)] & kFormatting)) {
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
    TreeModel m_model;
    std::string m_name;
    std::unordered_map<std::string, Id> m_unknown; // html elements gumbo does not know
    std::unordered_map<std::string, Id> m_foreign; // svg and math elements
    Id m_nextId = kFirstUnknownId;
};

} // namespace

GuardResult GuardHtml(QByteArrayView utf8, const GuardLimits &limits)
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
