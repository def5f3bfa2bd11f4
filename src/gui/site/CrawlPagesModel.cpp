#include "gui/site/CrawlPagesModel.h"

#include "core/report/ReportWriter.h"
#include "gui/common/CoreTexts.h"
#include "gui/results/ResultsModel.h"

using namespace Qt::StringLiterals;

namespace quorvel {

CrawlPagesModel::CrawlPagesModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

int CrawlPagesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_pages.size());
}

int CrawlPagesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CrawlPagesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const CrawlPage &page = m_pages.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case UrlColumn:
            return page.url;
        case DepthColumn:
            return page.depth;
        case StatusColumn:
            return statusText(page.status);
        case VerdictColumn:
            return shownVerdict(page.verdict);
        case LinksColumn:
            return page.links;
        case InlinksColumn:
            return page.inlinks;
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole && index.column() == VerdictColumn && page.verdict != Verdict::None) {
        return ResultsModel::verdictColour(page.verdict);
    }
    if (role == Qt::ToolTipRole && !page.error.isEmpty()) {
        return page.error;
    }
    return {};
}

QVariant CrawlPagesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case UrlColumn:
        return u"URL"_s;
    case DepthColumn:
        return u"Depth"_s;
    case StatusColumn:
        return u"Status"_s;
    case VerdictColumn:
        return u"Verdict"_s;
    case LinksColumn:
        return u"Links"_s;
    case InlinksColumn:
        return u"Inlinks"_s;
    default:
        return {};
    }
}

void CrawlPagesModel::appendPages(const QList<CrawlPage> &pages)
{
    if (pages.isEmpty()) {
        return;
    }
    const auto first = static_cast<int>(m_pages.size());
    beginInsertRows({}, first, first + static_cast<int>(pages.size()) - 1);
    for (const CrawlPage &page : pages) {
        m_rows.insert(page.url, static_cast<int>(m_pages.size()));
        m_pages.append(page);
    }
    endInsertRows();
}

void CrawlPagesModel::setPages(const QList<CrawlPage> &pages)
{
    beginResetModel();
    m_pages = pages;
    m_rows.clear();
    for (int i = 0; i < m_pages.size(); ++i) {
        m_rows.insert(m_pages.at(i).url, i);
    }
    endResetModel();
}

} // namespace quorvel
