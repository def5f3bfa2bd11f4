#pragma once

#include <QFileDialog>

namespace quorvel {

// The export's save dialog (SaveDialog1): "CSV File (*.csv)" and "Text File (*.txt)", the first
// selected. A name typed without an extension gets the one of the filter chosen when the dialog
// is accepted, so the CSV filter gives a .csv file and the overwrite question asks about that file.
class ExportFileDialog final : public QFileDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExportFileDialog)

public:
    explicit ExportFileDialog(QWidget *parent = nullptr);

    // "csv" for "CSV File (*.csv)": the extension of the filter's first pattern; empty when it has
    // none ("*").
    static QString suffixOfFilter(const QString &filter);

protected:
    void accept() override;
};

} // namespace quorvel
