#include "core/analyze/HtmlTreeModel.h"

#include <algorithm>
#include <iterator>

namespace quorvel::htmlguard {

HtmlTreeModel::HtmlTreeModel(const GuardLimits &limits)
    : m_limits(limits)
    , m_flags(tagFlags())
{
    m_positions.resize(kFirstUnknownId);
}

void HtmlTreeModel::addId(Id id)
{
    if (static_cast<size_t>(id) >= m_positions.size()) {
        m_positions.resize(static_cast<size_t>(id) + 1);
    }
}

bool HtmlTreeModel::inForeign()
{
    const int root = std::max(top(GUMBO_TAG_SVG), top(GUMBO_TAG_MATH));
    return root >= 0 && root > topOf(m_integration);
}

bool HtmlTreeModel::columnTemplate()
{
    const int at = top(GUMBO_TAG_TEMPLATE);
    return at >= 0 && (m_stack[static_cast<size_t>(at)].flags & kColumns);
}

void HtmlTreeModel::erasePosition(std::vector<int> &positions, int pos)
{
    const auto it = std::find(positions.rbegin(), positions.rend(), pos);
    if (it != positions.rend()) {
        positions.erase(std::next(it).base());
    }
}

void HtmlTreeModel::removeAt(int pos)
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

bool HtmlTreeModel::inSelect()
{
    const int select = top(GUMBO_TAG_SELECT);
    return select >= 0 && select > top(GUMBO_TAG_TEMPLATE);
}

void HtmlTreeModel::text(bool whiteSpaceOnly)
{
    if (!whiteSpaceOnly) {
        m_framesetOk = false;
    }
    if (!inSelect()) {
        reopenFormatting();
    }
}

// startTag and endTag are long on purpose: each is the tree builder's one decision for a tag,
// read top to bottom in the order its rules apply, so the model can be compared with the
// builder rule by rule. Split into pieces, the order of the rules would no longer show.
bool HtmlTreeModel::startTag(Id id, Id foreignId, quint64 key, qint64 attributes, bool selfClosing, bool fontBreaksOut)
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
    if ((!(f & kClosesP) && !(f & kNoReopen)) || id == GUMBO_TAG_XMP) {
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

// Long for the reason given above startTag.
void HtmlTreeModel::endTag(Id id, Id foreignId)
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

void HtmlTreeModel::pushForeign(Id id, Id foreignId)
{
    const bool svg = top(GUMBO_TAG_SVG) > top(GUMBO_TAG_MATH);
    const bool integration = svg ? (id == GUMBO_TAG_FOREIGNOBJECT || id == GUMBO_TAG_DESC || id == GUMBO_TAG_TITLE)
                                 : (id == GUMBO_TAG_MI || id == GUMBO_TAG_MO || id == GUMBO_TAG_MN ||
                                    id == GUMBO_TAG_MS || id == GUMBO_TAG_MTEXT || id == GUMBO_TAG_ANNOTATION_XML);
    pushWithFlags(foreignId, -1, integration ? (kIntegration | kScope | kSpecial | kSpecialNotAdp) : 0u);
}

Id HtmlTreeModel::current()
{
    for (size_t i = m_stack.size(); i-- > 0;) {
        addWork(1);
        if (!m_stack[i].removed) {
            return m_stack[i].id;
        }
    }
    return -1;
}

unsigned HtmlTreeModel::currentFlags()
{
    const Id id = current();
    return id >= 0 ? flags(id) : 0u;
}

int HtmlTreeModel::top(Id id)
{
    std::vector<int> &positions = m_positions[static_cast<size_t>(id)];
    while (!positions.empty() && m_stack[static_cast<size_t>(positions.back())].removed) {
        positions.pop_back();
    }
    return topOf(positions);
}

void HtmlTreeModel::addWork(qint64 steps)
{
    m_work += steps;
    if (m_work > m_limits.maxWork && m_over == GuardCut::None) {
        m_over = GuardCut::Complexity;
    }
}

void HtmlTreeModel::pushWithFlags(Id id, int entry, unsigned f)
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

void HtmlTreeModel::pop()
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

void HtmlTreeModel::popTo(int pos)
{
    while (static_cast<int>(m_stack.size()) > pos) {
        pop();
    }
}

void HtmlTreeModel::closeP()
{
    const int p = top(GUMBO_TAG_P);
    if (p >= 0 && p > std::max(scopeTop(), top(GUMBO_TAG_BUTTON))) {
        popTo(p);
    }
}

void HtmlTreeModel::closeListItem(int item)
{
    if (item >= 0 && topOf(m_specialNotAdp) == item) {
        popTo(item);
    }
}

int HtmlTreeModel::tableTop()
{
    const int table = top(GUMBO_TAG_TABLE);
    return table > top(GUMBO_TAG_TEMPLATE) ? table : -1;
}

void HtmlTreeModel::tablePart(Id id)
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

void HtmlTreeModel::openRowGroup(int table, int row)
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

void HtmlTreeModel::otherEndTag(Id id)
{
    const int at = top(id);
    if (at >= 0 && at > topOf(m_special)) {
        popTo(at);
    }
}

int HtmlTreeModel::lastFormatting(Id id)
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

void HtmlTreeModel::endFormatting(Id id)
{
    const int entry = lastFormatting(id);
    if (entry < 0) {
        // gumbo ignores the end tag then, though the element may still be open (the limit of
        // three identical entries dropped it from the list): what is open above it stays open.
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

void HtmlTreeModel::removeEntry(int index)
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

void HtmlTreeModel::trimDeadEntries()
{
    while (!m_list.empty() && !m_list.back().alive) {
        m_list.pop_back();
        --m_dead;
    }
}

void HtmlTreeModel::compactList()
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

void HtmlTreeModel::addFormatting(Id id, quint64 key)
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

void HtmlTreeModel::insertMarker()
{
    m_markers.push_back(static_cast<int>(m_list.size()));
    m_list.push_back({-1, 0, -1, true, true});
    m_saved.push_back(std::move(m_same));
    m_same = {};
}

void HtmlTreeModel::clearToMarker()
{
    if (m_markers.empty()) {
        return;
    }
    const auto marker = static_cast<size_t>(m_markers.back());
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

void HtmlTreeModel::reopenFormatting()
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

} // namespace quorvel::htmlguard
