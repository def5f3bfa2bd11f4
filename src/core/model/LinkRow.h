#pragma once

#include "core/model/Verdict.h"

#include <QList>
#include <QString>

namespace quorvel {

constexpr int kIconNone = -1;
constexpr int kIconCollected = 10; // html
constexpr int kIconOk = 50;        // check-icon: answered 200
constexpr int kIconRedirect = 51;  // redirection: redirect row, or answered 300-399
constexpr int kIconBroken = 52;    // exclamation: answered 400-599

// One row of the results list: the link and exactly five text cells, plus an icon index.
struct LinkRow
{
    QString link;
    QString follow;
    QString type;
    QString anchorText;
    QString response;
    QString responseTime;
    int icon = kIconCollected;
    QString checkError{}; // why the check got no answer for this row; not a cell (the window's tooltip)
    // What the check's answers mean; not cells of the export. None until the row is checked.
    Verdict verdict{Verdict::None};
    int finalStatus{0};         // the last answer's status (0: none)
    int hops{0};                // redirects followed
    QString finalUrl{};         // the last answer's address; empty without a redirect
    QString verdictError{};     // why: for timeout/unreachable and a redirect that failed
    QList<RedirectHop> chain{}; // every answer in order
    // Where the link's "<a" stands in the page, both from 1 (see TextPosition); not cells of the
    // export. 0 for a row that no tag gave, such as the redirect row.
    int line{0};
    int column{0};

    static constexpr int kColumnCount = 6; // the link and its five cells: the export's columns
    // The results list shows one more column, the check's verdict, after the five cells.
    static constexpr int kVerdictColumn = kColumnCount;
    static constexpr int kListColumnCount = kColumnCount + 1;

    // Column 0 is the link, columns 1 to 5 the cells in order.
    const QString &cell(int index) const;

    // The row added when the page address answers with a redirect.
    static LinkRow redirectRow(const QString &address);

    friend bool operator==(const LinkRow &, const LinkRow &) = default;
};

using LinkRows = QList<LinkRow>;

} // namespace quorvel
