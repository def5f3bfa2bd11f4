#pragma once

#include "gui/common/DialogButtons.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace quorvel {

// The kinds of the caption dialog; each picks the icon.
enum class DialogKind
{
    Warning,
    Error,
    Information,
    Confirmation,
    Custom
};

// The message dialog with the caller's window caption and button captions, built but not shown:
// one button per member of the set in the standard order, the p-th caption on the p-th button.
std::unique_ptr<QMessageBox> buildCaptionDialog(QWidget *parent, const QString &message, DialogKind kind,
                                                const QList<DialogButton> &buttons, const QString &caption,
                                                const QStringList &buttonCaptions);

// ShowCaptionDialog: shows that dialog modally and returns the standard result code of the answer
// (OK 1, Cancel 2, Yes 6, No 7, ...); 0 when it was closed without a button.
int ShowCaptionDialog(QWidget *parent, const QString &message, DialogKind kind, const QList<DialogButton> &buttons,
                      const QString &caption, const QStringList &buttonCaptions);

// The button of a built caption dialog that carries the given standard button, or null.
QAbstractButton *captionDialogButton(QMessageBox *dialog, DialogButton button);

} // namespace quorvel
