#include "core/model/LinkRow.h"
#include "core/results/Export.h"
#include "gui/app/AppFormDriver.h"
#include "gui/results/ResultsModel.h"
#include "support/Fixtures.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

// Button3 asks for a file with the save dialog and writes the rows in the format of its name; a
// name typed without an extension gets the one of the chosen filter.
TEST(TAppFormOptions, ExportWritesTheFileTheDialogNames)
{
    struct Case
    {
        const char *name;
        QString filter;   // chosen in the dialog; empty: the one it opens with
        QString fileName; // as typed; empty: the dialog is cancelled
        QString written;  // the file that results; empty: fileName
        ExportFormat format;
        bool fails;
    };

    const QString csvFilter = u"CSV File (*.csv)"_s;
    const QString textFilter = u"Text File (*.txt)"_s;
    const std::vector<Case> cases = {
        {"csv name", {}, u"links.csv"_s, {}, ExportFormat::Csv, false},
        {"CSV in capitals", {}, u"LINKS.CSV"_s, {}, ExportFormat::Csv, false},
        {"txt name", {}, u"links.txt"_s, {}, ExportFormat::Text, false},
        {"csv.txt name", {}, u"links.csv.txt"_s, {}, ExportFormat::Text, false},
        {"no extension, the filter it opens with", {}, u"plain"_s, u"plain.csv"_s, ExportFormat::Csv, false},
        {"no extension, CSV filter chosen", csvFilter, u"report"_s, u"report.csv"_s, ExportFormat::Csv, false},
        {"no extension, Text filter chosen", textFilter, u"notes"_s, u"notes.txt"_s, ExportFormat::Text, false},
        {"CSV filter but named .txt", csvFilter, u"named.txt"_s, {}, ExportFormat::Text, false},
        {"cancelled", {}, QString(), {}, ExportFormat::Text, false},
        {"a folder that does not exist", {}, u"missing/links.csv"_s, {}, ExportFormat::Csv, true},
    };
    Sandbox sandbox;
    const QString page = sandbox.page(u"export.html"_s, u"<a href=\"http://h.test/a\">say \"hi\"</a>"
                                                        "<a href=\"mailto:x@h.test\" rel=\"nofollow\">mail</a>"_s);
    const auto form = sandbox.open();
    ASSERT_TRUE(collect(*form, page));
    ASSERT_EQ(form->resultsModel()->rowCount(), 2);
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString typed = c.fileName.isEmpty() ? QString() : target.filePath(c.fileName);
        const QString path = c.written.isEmpty() ? typed : target.filePath(c.written);
        QStringList filters;
        QString openedWith;
        bool saving = false;
        const QStringList filesBefore = QDir(target.path()).entryList(QDir::Files);
        sandbox.dialogs.clear();
        sandbox.dialogs.answerWith(ModalAnswerer::onFileDialog([&](QFileDialog &files) {
            filters = files.nameFilters();
            openedWith = files.selectedNameFilter();
            saving = files.acceptMode() == QFileDialog::AcceptSave;
            if (!c.filter.isEmpty()) {
                files.selectNameFilter(c.filter);
            }
            if (typed.isEmpty()) {
                files.reject();
            } else {
                files.selectFile(typed);
                // The dialog's own accept, as its Save button runs it (protected in QFileDialog).
                static_cast<QDialog &>(files).accept();
            }
        }));
        child<QPushButton>(*form, u"Button3"_s).click();

        ASSERT_EQ(sandbox.dialogs.seen().size(), c.fails ? 2u : 1u) << "the save dialog, and the error if any";
        EXPECT_EQ(filters, (QStringList{csvFilter, textFilter}));
        EXPECT_EQ(openedWith, csvFilter);
        EXPECT_TRUE(saving);
        if (path.isEmpty()) {
            EXPECT_EQ(QDir(target.path()).entryList(QDir::Files), filesBefore) << "a cancelled dialog writes nothing";
            continue;
        }
        if (c.fails) {
            EXPECT_TRUE(sandbox.dialogs.seen().back().text.startsWith(u"Cannot create file \""_s + path + u"\". "_s))
                << sandbox.dialogs.seen().back().text.toStdString();
            EXPECT_FALSE(QFile::exists(path));
            continue;
        }
        EXPECT_EQ(fileBytes(path), exportBytes(form->resultsModel()->rows(), c.format, form->localeListSeparator()));
        if (path != typed) {
            EXPECT_FALSE(QFile::exists(typed)) << "no file under the name without extension";
        }
    }
}

} // namespace quorvel::test
