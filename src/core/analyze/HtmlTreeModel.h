#pragma once

#include "core/analyze/HtmlGuard.h"
#include "core/analyze/HtmlTagTable.h"

#include <QtGlobal>

#include <unordered_map>
#include <vector>

namespace quorvel::htmlguard {

// A model of the HTML tree builder that follows only what decides how deep the tree grows and how
// long the builder works: which elements are open, which formatting elements it would re-open.
class HtmlTreeModel
{
public:
    explicit HtmlTreeModel(const GuardLimits &limits);

    Q_DISABLE_COPY_MOVE(HtmlTreeModel)

    GuardCut over() const { return m_over; }

    // The deepest the stack of open elements grew before any cut.
    qint64 deepest() const { return m_deepest; }

    // Makes room for an id handed out for a name gumbo does not know.
    void addId(Id id);

    // Whether the current element is inside svg or math content.
    bool inForeign();

    // Text: whether it holds only white space.
    void text(bool whiteSpaceOnly);

    // Returns whether the element's content is raw text, to be skipped up to its end tag.
    bool startTag(Id id, Id foreignId, quint64 key, qint64 attributes, bool selfClosing, bool fontBreaksOut);

    void endTag(Id id, Id foreignId);

private:
    bool inFrameset() { return top(GUMBO_TAG_FRAMESET) >= 0; }

    bool columnTemplate();

    static void erasePosition(std::vector<int> &positions, int pos);

    // Takes an element out of the middle of the stack, leaving the elements above it open.
    void removeAt(int pos);

    bool inSelect();

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
    void pushForeign(Id id, Id foreignId);

    unsigned flags(Id id) const { return id < kFirstUnknownId ? m_flags[static_cast<size_t>(id)] : 0u; }

    qint64 depth() const { return static_cast<qint64>(m_stack.size()) - m_removed; }

    Id current();

    unsigned currentFlags();

    static int topOf(const std::vector<int> &positions) { return positions.empty() ? -1 : positions.back(); }

    int top(Id id);

    int scopeTop() const { return topOf(m_scope); }

    void addWork(qint64 steps);

    void push(Id id, int entry = -1) { pushWithFlags(id, entry, flags(id)); }

    void pushWithFlags(Id id, int entry, unsigned f);

    void pop();

    void popTo(int pos);

    void closeP();

    // An li (dd, dt) closes the open one unless a block other than address, div or p lies between.
    void closeListItem(int item);

    // The open table of the current template's content (or of the page), or -1.
    int tableTop();

    void tablePart(Id id);

    // Leaves the stack ready for a new row: the open row closed, a row group open.
    void openRowGroup(int table, int row);

    void otherEndTag(Id id);

    int listStart() const { return m_markers.empty() ? 0 : m_markers.back() + 1; }

    int lastFormatting(Id id);

    // The end tag of a formatting element, as the adoption agency treats it.
    void endFormatting(Id id);

    void removeEntry(int index);

    void trimDeadEntries();

    // Drops the dead entries from the middle of the list once they are the larger part, so walks
    // over the list stay proportional to what is in it. Only between events: callers hold indices.
    void compactList();

    void addFormatting(Id id, quint64 key);

    void insertMarker();

    void clearToMarker();

    // Text and most inline tags open again the formatting elements that misnested markup closed.
    void reopenFormatting();

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

} // namespace quorvel::htmlguard
