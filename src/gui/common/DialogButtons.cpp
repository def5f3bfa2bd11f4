#include "gui/common/DialogButtons.h"

#include <array>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

struct ButtonEntry
{
    DialogButton button;
    int result;
    QStringView caption;
};

constexpr auto kButtons = std::to_array<ButtonEntry>({
    {DialogButton::Yes, 6, u"Yes"},
    {DialogButton::No, 7, u"No"},
    {DialogButton::Ok, 1, u"OK"},
    {DialogButton::Cancel, 2, u"Cancel"},
    {DialogButton::Abort, 3, u"Abort"},
    {DialogButton::Retry, 4, u"Retry"},
    {DialogButton::Ignore, 5, u"Ignore"},
    {DialogButton::All, 12, u"All"},
    {DialogButton::NoToAll, 13, u"No to All"},
    {DialogButton::YesToAll, 14, u"Yes to All"},
    {DialogButton::Help, 9, u"Help"},
    {DialogButton::Close, 8, u"Close"},
});

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
