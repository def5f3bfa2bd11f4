#include "gui/analyze/TAnalyzeForm.h"

#include "core/analyze/RunAnalysis.h"
#include "gui/common/WidgetPlacement.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QLabel *countLabel(const QString &name, qsizetype count, QWidget *parent)
{
    auto *label = new QLabel(QString::number(count), parent);
    label->setObjectName(name);
    label->setMinimumWidth(50);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    return label;
}

QPlainTextEdit *memo(const QString &name, const QString &text, bool wrap, QWidget *parent)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (!wrap) {
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    box->setPlainText(text);
    return box;
}

QListWidget *headingList(const QString &name, const QStringList &rows, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->addItems(rows);
    list->setMaximumHeight(70);
    return list;
}

// The Contents memo, with the reason above it when there is no text: a failed fetch is not the page's
// text, so it stands apart in the error colour and the count stays 0.
QWidget *contentsField(const AnalysisResult &result, QWidget *parent)
{
    QPlainTextEdit *text = memo(u"Memo3"_s, result.contents, false, parent);
    if (result.contentsError.isEmpty()) {
        return text;
    }
    auto *field = new QWidget(parent);
    auto *layout = new QVBoxLayout(field);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *error = new QLabel(result.contentsError, field);
    error->setObjectName(u"ContentsError"_s);
    error->setWordWrap(true);
    error->setTextFormat(Qt::PlainText);
    error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error->setStyleSheet(u"QLabel { color: #b00020; font-weight: bold; }"_s);
    layout->addWidget(error);
    text->setParent(field);
    layout->addWidget(text, 1);
    return field;
}

} // namespace

TAnalyzeForm::TAnalyzeForm(const AnalysisResult &result, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(u"AnalyzeForm"_s);
    setWindowTitle(tr("Analyze URL"));
    setAttribute(Qt::WA_DeleteOnClose);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close); // Esc closes, as a dialog's does
    auto *pages = new QTabWidget(this);
    pages->setObjectName(u"PageControl1"_s);
    pages->addTab(buildAnalyzeTab(result), tr("Analyze"));
    pages->addTab(buildImagesTab(result), tr("Images"));
    pages->addTab(buildSourceTab(result), tr("Source"));
    setCentralWidget(pages);
    auto *status = new QStatusBar(this);
    status->setObjectName(u"StatusBar1"_s);
    setStatusBar(status);
    resize(573, 624);
}

void TAnalyzeForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(*this, size());
    }
}

QWidget *TAnalyzeForm::buildAnalyzeTab(const AnalysisResult &result)
{
    auto *tab = new QWidget;
    tab->setObjectName(u"Analyze"_s);
    auto *grid = new QGridLayout(tab);
    int row = 0;
    auto addRow = [&](const QString &caption, QWidget *field, QLabel *count) {
        auto *label = new QLabel(caption, tab);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        grid->addWidget(count, row, 2);
        ++row;
    };
    auto *url = new QLineEdit(result.url, tab);
    url->setObjectName(u"Edit1"_s);
    url->setReadOnly(true);
    addRow(tr("URL:"), url, countLabel(u"Label8"_s, result.counts.url, tab));
    auto *title = new QLineEdit(result.title, tab);
    title->setObjectName(u"Edit2"_s);
    title->setReadOnly(true);
    addRow(tr("Title:"), title, countLabel(u"Label9"_s, result.counts.title, tab));
    QPlainTextEdit *description = memo(u"Memo4"_s, result.description, true, tab);
    description->setMaximumHeight(60);
    addRow(tr("Description:"), description, countLabel(u"Label10"_s, result.counts.description, tab));
    addRow(tr("H1:"), headingList(u"ListBox1"_s, result.h1, tab), countLabel(u"Label11"_s, result.counts.h1, tab));
    addRow(tr("H2:"), headingList(u"ListBox2"_s, result.h2, tab), countLabel(u"Label13"_s, result.counts.h2, tab));
    addRow(tr("H3:"), headingList(u"ListBox3"_s, result.h3, tab), countLabel(u"Label14"_s, result.counts.h3, tab));
    addRow(tr("   Contents:"), contentsField(result, tab), countLabel(u"Label12"_s, result.counts.contents, tab));
    grid->setRowStretch(row - 1, 1);
    grid->setColumnStretch(1, 1);
    return tab;
}

QWidget *TAnalyzeForm::buildImagesTab(const AnalysisResult &result)
{
    auto *tab = new QWidget;
    tab->setObjectName(u"TabSheet1"_s);
    auto *layout = new QVBoxLayout(tab);
    auto *list = new QTableWidget(static_cast<int>(result.images.size()), 3, tab);
    list->setObjectName(u"ListView1"_s);
    list->setHorizontalHeaderLabels({tr("Image"), tr("Alt"), tr("Title")});
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->setVisible(false);
    list->setColumnWidth(0, 300);
    list->setColumnWidth(1, 100);
    list->setColumnWidth(2, 100);
    list->setUpdatesEnabled(false);
    for (int i = 0; i < result.images.size(); ++i) {
        const ImageRow &image = result.images[i];
        list->setItem(i, 0, new QTableWidgetItem(image.src));
        list->setItem(i, 1, new QTableWidgetItem(image.alt));
        list->setItem(i, 2, new QTableWidgetItem(image.title));
    }
    list->setUpdatesEnabled(true);
    layout->addWidget(list);
    return tab;
}

QWidget *TAnalyzeForm::buildSourceTab(const AnalysisResult &result)
{
    auto *tab = new QWidget;
    tab->setObjectName(u"TabSheet2"_s);
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(memo(u"Memo1"_s, result.source, false, tab));
    return tab;
}

} // namespace quorvel
