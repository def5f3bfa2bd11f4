#pragma once

#include <QtGlobal>

namespace quorvel {

// Shows the wait cursor while any holder lives: the first holder sets it, the last one to go
// restores the cursor that was there before. The count is program-wide, so work that overlaps (a
// collection run and an analysis) keeps the wait cursor until the last of them ends, and no holder
// can take away a cursor another one still needs. UI thread only.
class BusyCursor final
{
public:
    BusyCursor();
    ~BusyCursor();
    Q_DISABLE_COPY_MOVE(BusyCursor)

    // How many holders live now.
    static int holders();
};

} // namespace quorvel
