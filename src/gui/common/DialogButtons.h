#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvel {

// The buttons of the caption dialog, in the standard order in which the dialog creates them.
enum class DialogButton
{
    Yes,
    No,
    Ok,
    Cancel,
    Abort,
    Retry,
    Ignore,
    All,
    NoToAll,
    YesToAll,
    Help,
    Close
};

// The members of a button set in the standard order, each once.
QList<DialogButton> orderedButtons(const QList<DialogButton> &set);

// The standard caption ("Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All",
// "No to All", "Yes to All", "Help", "Close").
QString standardCaption(DialogButton button);

// The result code of the answer (OK 1, Cancel 2, Abort 3, Retry 4, Ignore 5, Yes 6, No 7, Close 8,
// Help 9, All 12, No to All 13, Yes to All 14).
int dialogResultCode(DialogButton button);

// OK when present, else Yes when present, else Retry when present, else none.
std::optional<DialogButton> defaultButtonOf(const QList<DialogButton> &set);

// The caption of each button of the set in the standard order: the p-th caller caption goes to the
// p-th button; buttons beyond the end of captions keep their standard caption, captions beyond the
// number of buttons are ignored.
QStringList captionAssignment(const QList<DialogButton> &set, const QStringList &captions);

} // namespace quorvel
