#include "gui/common/DialogButtons.h"

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

struct ButtonEntry
{
    DialogButton button;
    QStringView caption;
    int result;
};

constexpr ButtonEntry kButtons[] = {
    {DialogButton::Yes, u"Yes", 6},
    {DialogButton::No, u"No", 7},
    {DialogButton::Ok, u"OK", 1},
    {DialogButton::Cancel, u"Cancel", 2},
    {DialogButton::Abort, u"Abort", 3},
    {DialogButton::Retry, u"Retry", 4},
    {DialogButton::Ignore, u"Ignore", 5},
    {DialogButton::All, u"All", 12},
    {DialogButton::NoToAll, u"No to All", 13},
    {DialogButton::YesToAll, u"Yes to All", 14},
    {DialogButton::Help, u"Help", 9},
    {DialogButton::Close, u"Close", 8},
};

const ButtonEntry &entryOf(DialogButton button)
{
    for (const ButtonEntry &entry : kButtons) {
        if (entry.button == button) {
            return entry;
        }
    }
    return kButtons[0];
}

} // namespace

QList<DialogButton> orderedButtons(const QList<DialogButton> &set)
{
    QList<DialogButton> ordered;
    for (const ButtonEntry &entry : kButtons) {
        if (set.contains(entry.button)) {
            ordered.append(entry.button);
        }
    }
    return ordered;
}

QString standardCaption(DialogButton button)
{
    return entryOf(button).caption.toString();
}

int dialogResultCode(DialogButton button)
{
    return entryOf(button).result;
}

std::optional<DialogButton> defaultButtonOf(const QList<DialogButton> &set)
{
    for (const DialogButton candidate : {DialogButton::Ok, DialogButton::Yes, DialogButton::Retry}) {
        if (set.contains(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

QStringList captionAssignment(const QList<DialogButton> &set, const QStringList &captions)
{
    QStringList assigned;
    const QList<DialogButton> ordered = orderedButtons(set);
    for (qsizetype p = 0; p < ordered.size(); ++p) {
        assigned.append(p < captions.size() ? captions[p] : standardCaption(ordered[p]));
    }
    return assigned;
}

} // namespace quorvel
