#include "gui/site/CrawlPagesModel.h"

#include "core/report/ReportWriter.h"
#include "gui/common/CoreTexts.h"
#include "gui/results/ResultsModel.h"

#include <algorithm>

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
    const CrawlPage &page = this->page(index.row());
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
        return tr("URL");
    case DepthColumn:
        return tr("Depth");
    case StatusColumn:
        return tr("Status");
    case VerdictColumn:
        return tr("Verdict");
    case LinksColumn:
        return tr("Links");
    case InlinksColumn:
        return tr("Inlinks");
    default:
        return {};
    }
}

int CrawlPagesModel::rowOf(const QString &url) const
{
    const int index = m_index.value(url, -1);
    return index < 0 ? -1 : m_rowOf.at(index);
}

void CrawlPagesModel::appendPages(const QList<CrawlPage> &pages)
{
    if (pages.isEmpty()) {
        return;
    }
    if (m_sortColumn >= 0) {
        // The new pages take their places among the sorted ones.
        resort([this, &pages] {
            for (const CrawlPage &page : pages) {
                m_index.insert(page.url, static_cast<int>(m_pages.size()));
                m_shown.append(static_cast<int>(m_pages.size()));
                m_pages.append(page);
            }
        });
        return;
    }
    const auto first = static_cast<int>(m_pages.size());
    beginInsertRows({}, first, first + static_cast<int>(pages.size()) - 1);
    for (const CrawlPage &page : pages) {
        const auto at = static_cast<int>(m_pages.size());
        m_index.insert(page.url, at);
        m_shown.append(at);
        m_rowOf.append(at);
        m_pages.append(page);
    }
    endInsertRows();
}

void CrawlPagesModel::setPages(const QList<CrawlPage> &pages)
{
    const bool samePages = !m_pages.isEmpty() && pages.size() == m_pages.size() &&
                           std::equal(pages.cbegin(), pages.cend(), m_pages.cbegin(),
                                      [](const CrawlPage &a, const CrawlPage &b) { return a.url == b.url; });
    if (samePages) {
        // A crawl's end: the pages as shown, with their final inlinks. Resetting a view of tens of
        // thousands of rows would hold the window up for a moment.
        if (m_sortColumn >= 0) {
            resort([this, &pages] { m_pages = pages; });
        } else {
            m_pages = pages;
        }
        Q_EMIT dataChanged(index(0, 0), index(static_cast<int>(m_pages.size()) - 1, ColumnCount - 1));
        return;
    }
    beginResetModel();
    m_pages = pages;
    m_index.clear();
    m_shown.clear();
    for (int i = 0; i < m_pages.size(); ++i) {
        m_index.insert(m_pages.at(i).url, i);
        m_shown.append(i);
    }
    applySort();
    endResetModel();
}

void CrawlPagesModel::sort(int column, Qt::SortOrder order)
{
    resort([this, column, order] {
        m_sortColumn = column < ColumnCount ? column : -1;
        m_sortOrder = order;
    });
}

void CrawlPagesModel::resort(const std::function<void()> &change)
{
    // The view's selection and current row stay with their pages.
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> pagesBefore;
    pagesBefore.reserve(before.size());
    for (const QModelIndex &index : before) {
        pagesBefore.append(m_shown.at(index.row()));
    }
    change();
    applySort();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(index(m_rowOf.at(pagesBefore.at(i)), before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool CrawlPagesModel::shownBefore(int a, int b) const
{
    const CrawlPage &x = m_pages.at(a);
    const CrawlPage &y = m_pages.at(b);
    int order = 0;
    switch (m_sortColumn) {
    case UrlColumn:
        order = x.url.compare(y.url);
        break;
    case DepthColumn:
        order = x.depth - y.depth;
        break;
    case StatusColumn:
        order = x.status - y.status;
        break;
    case VerdictColumn:
        order = verdictName(x.verdict).compare(verdictName(y.verdict));
        break;
    case LinksColumn:
        order = x.links - y.links;
        break;
    case InlinksColumn:
        order = x.inlinks - y.inlinks;
        break;
    default:
        break;
    }
    if (order == 0) {
        return a < b; // ties keep the fetch order, whichever way the column goes
    }
    return m_sortOrder == Qt::AscendingOrder ? order < 0 : order > 0;
}

void CrawlPagesModel::applySort()
{
    if (m_sortColumn < 0) {
        std::sort(m_shown.begin(), m_shown.end());
    } else {
        std::sort(m_shown.begin(), m_shown.end(), [this](int a, int b) { return shownBefore(a, b); });
    }
    m_rowOf.resize(m_shown.size());
    for (int row = 0; row < m_shown.size(); ++row) {
        m_rowOf[m_shown.at(row)] = row;
    }
}

} // namespace quorvel
