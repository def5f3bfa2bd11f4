#include "gui/site/ProblemsModel.h"

#include "gui/common/CoreTexts.h"
#include "gui/results/ResultsModel.h"

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

QString whyOf(const LinkRow &row)
{
    return row.verdictError.isEmpty() ? row.checkError : row.verdictError;
}

} // namespace

ProblemsModel::ProblemsModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

int ProblemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int ProblemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const CrawlRow &crawled = shownRow(index.row());
    const LinkRow &row = crawled.row;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case PageColumn:
            return crawled.line > 0 ? u"%1:%2"_s.arg(crawled.page).arg(crawled.line) : crawled.page;
        case LinkColumn:
            return row.link;
        case AnchorColumn:
            return row.anchorText;
        case ResponseColumn:
            return row.response;
        case VerdictColumn:
            return shownVerdict(row.verdict);
        case ErrorColumn:
            return whyOf(row);
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole && index.column() == VerdictColumn) {
        return ResultsModel::verdictColour(row.verdict);
    }
    return {};
}

QVariant ProblemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case PageColumn:
        return tr("Page");
    case LinkColumn:
        return tr("Link");
    case AnchorColumn:
        return tr("Anchor Text");
    case ResponseColumn:
        return tr("HTTP Response");
    case VerdictColumn:
        return tr("Verdict");
    case ErrorColumn:
        return tr("Error");
    default:
        return {};
    }
}

bool ProblemsModel::passes(const CrawlRow &crawled) const
{
    if (m_verdict && crawled.row.verdict != *m_verdict) {
        return false;
    }
    if (m_text.isEmpty()) {
        return true;
    }
    const LinkRow &row = crawled.row;
    for (const QString *field : {&crawled.page, &row.link, &row.anchorText, &row.verdictError, &row.checkError}) {
        if (field->contains(m_text, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

void ProblemsModel::appendRows(const QList<CrawlRow> &rows)
{
    QList<qsizetype> shown;
    for (const CrawlRow &row : rows) {
        if (passes(row)) {
            shown.append(m_rows.size());
        }
        m_rows.append(row);
    }
    if (shown.isEmpty()) {
        return;
    }
    const auto first = static_cast<int>(m_shown.size());
    beginInsertRows({}, first, first + static_cast<int>(shown.size()) - 1);
    m_shown.append(shown);
    endInsertRows();
}

void ProblemsModel::setRows(const QList<CrawlRow> &rows)
{
    beginResetModel();
    m_rows.clear();
    m_shown.clear();
    endResetModel();
    appendRows(rows);
}

void ProblemsModel::setFilter(std::optional<Verdict> verdict, const QString &text)
{
    beginResetModel();
    m_verdict = verdict;
    m_text = text;
    m_shown.clear();
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (passes(m_rows.at(i))) {
            m_shown.append(i);
        }
    }
    endResetModel();
}

} // namespace quorvel
