#include "gui/common/CaptionDialog.h"

#include <QAbstractButton>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

const char *const kButtonProperty = "quorvelDialogButton";

QMessageBox::Icon iconFor(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Warning:
        return QMessageBox::Warning;
    case DialogKind::Error:
        return QMessageBox::Critical;
    case DialogKind::Information:
        return QMessageBox::Information;
    case DialogKind::Confirmation:
        return QMessageBox::Question;
    case DialogKind::Custom:
        return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole roleFor(DialogButton button)
{
    switch (button) {
    case DialogButton::Yes:
    case DialogButton::YesToAll:
    case DialogButton::All:
        return QMessageBox::YesRole;
    case DialogButton::No:
    case DialogButton::NoToAll:
        return QMessageBox::NoRole;
    case DialogButton::Ok:
    case DialogButton::Retry:
    case DialogButton::Ignore:
        return QMessageBox::AcceptRole;
    case DialogButton::Help:
        return QMessageBox::HelpRole;
    case DialogButton::Cancel:
    case DialogButton::Abort:
    case DialogButton::Close:
        return QMessageBox::RejectRole;
    }
    return QMessageBox::ActionRole;
}

} // namespace

std::unique_ptr<QMessageBox> buildCaptionDialog(QWidget *parent, const QString &message, DialogKind kind,
                                                const QList<DialogButton> &buttons, const QString &caption,
                                                const QStringList &buttonCaptions)
{
    auto dialog = std::make_unique<QMessageBox>(parent);
    dialog->setIcon(iconFor(kind));
    dialog->setText(message);
    dialog->setWindowTitle(caption);
    const QList<DialogButton> ordered = orderedButtons(buttons);
    const QStringList captions = captionAssignment(buttons, buttonCaptions);
    const std::optional<DialogButton> defaultButton = defaultButtonOf(buttons);
    for (qsizetype p = 0; p < ordered.size(); ++p) {
        QPushButton *push = dialog->addButton(captions.value(p), roleFor(ordered[p]));
        push->setProperty(kButtonProperty, static_cast<int>(ordered[p]));
        if (defaultButton == ordered[p]) {
            dialog->setDefaultButton(push);
        }
    }
    return dialog;
}

QAbstractButton *captionDialogButton(QMessageBox *dialog, DialogButton button)
{
    for (QAbstractButton *candidate : dialog->buttons()) {
        if (candidate->property(kButtonProperty).toInt() == static_cast<int>(button)) {
            return candidate;
        }
    }
    return nullptr;
}

int ShowCaptionDialog(QWidget *parent, const QString &message, DialogKind kind, const QList<DialogButton> &buttons,
                      const QString &caption, const QStringList &buttonCaptions)
{
    const std::unique_ptr<QMessageBox> dialog =
        buildCaptionDialog(parent, message, kind, buttons, caption, buttonCaptions);
    dialog->exec();
    const QAbstractButton *clicked = dialog->clickedButton();
    if (!clicked) {
        return 0;
    }
    return dialogResultCode(static_cast<DialogButton>(clicked->property(kButtonProperty).toInt()));
}

} // namespace quorvel
