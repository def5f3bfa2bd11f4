#include "gui/common/DialogButtons.h"

#include <QCoreApplication>

#include <array>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

struct ButtonEntry
{
    DialogButton button;
    int result;
    const char *caption; // in English, marked for the translation
};

constexpr auto kButtons = std::to_array<ButtonEntry>({
    {DialogButton::Yes, 6, QT_TRANSLATE_NOOP("DialogButtons", "Yes")},
    {DialogButton::No, 7, QT_TRANSLATE_NOOP("DialogButtons", "No")},
    {DialogButton::Ok, 1, QT_TRANSLATE_NOOP("DialogButtons", "OK")},
    {DialogButton::Cancel, 2, QT_TRANSLATE_NOOP("DialogButtons", "Cancel")},
    {DialogButton::Abort, 3, QT_TRANSLATE_NOOP("DialogButtons", "Abort")},
    {DialogButton::Retry, 4, QT_TRANSLATE_NOOP("DialogButtons", "Retry")},
    {DialogButton::Ignore, 5, QT_TRANSLATE_NOOP("DialogButtons", "Ignore")},
    {DialogButton::All, 12, QT_TRANSLATE_NOOP("DialogButtons", "All")},
    {DialogButton::NoToAll, 13, QT_TRANSLATE_NOOP("DialogButtons", "No to All")},
    {DialogButton::YesToAll, 14, QT_TRANSLATE_NOOP("DialogButtons", "Yes to All")},
    {DialogButton::Help, 9, QT_TRANSLATE_NOOP("DialogButtons", "Help")},
    {DialogButton::Close, 8, QT_TRANSLATE_NOOP("DialogButtons", "Close")},
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
    return QCoreApplication::translate("DialogButtons", entryOf(button).caption);
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
