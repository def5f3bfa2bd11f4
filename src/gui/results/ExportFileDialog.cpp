#include "gui/results/ExportFileDialog.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace quorvel {

ExportFileDialog::ExportFileDialog(QWidget *parent)
    : QFileDialog(parent)
{
    setObjectName(u"SaveDialog1"_s);
    setAcceptMode(QFileDialog::AcceptSave);
    setNameFilters({tr("CSV File (*.csv)"), tr("Text File (*.txt)")});
    selectNameFilter(nameFilters().constFirst());
    setDefaultSuffix(suffixOfFilter(selectedNameFilter()));
    // Follows the user's choice at once, so the name the dialog shows while open is the one it saves.
    connect(this, &QFileDialog::filterSelected, this,
            [this](const QString &filter) { setDefaultSuffix(suffixOfFilter(filter)); });
}

QString ExportFileDialog::suffixOfFilter(const QString &filter)
{
    static const QRegularExpression firstPattern(uR"(\*\.([^\s;)]+))"_s);
    const QRegularExpressionMatch match = firstPattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

void ExportFileDialog::accept()
{
    // The filter may have changed without filterSelected (selectNameFilter); the one selected now
    // decides.
    setDefaultSuffix(suffixOfFilter(selectedNameFilter()));
    QFileDialog::accept();
}

} // namespace quorvel
