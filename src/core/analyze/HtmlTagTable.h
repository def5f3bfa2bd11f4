#pragma once

#include <gumbo.h>

#include <array>

namespace quorvel::htmlguard {

// A tag as the guard's model knows it: gumbo's number for the tags it knows, then ids handed out
// per page for other html names and for the names of svg and math elements.
using Id = int;

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

// What each tag gumbo knows does to the tree builder's stack of open elements.
using FlagTable = std::array<unsigned, kFirstUnknownId>;

// The flags of every tag gumbo knows, indexed by Id.
const FlagTable &tagFlags();

} // namespace quorvel::htmlguard
