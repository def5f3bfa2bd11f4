#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

#include <functional>

namespace quorvel {

// The pages of one crawl as a table: URL, depth, status, verdict, links, inlinks, in the order they
// were fetched or sorted by a column (ties keep the fetch order; pages that come in later take their
// place in it). Holds the pages only, never their rows. UI thread.
class CrawlPagesModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CrawlPagesModel)

public:
    enum Column
    {
        UrlColumn,
        DepthColumn,
        StatusColumn,
        VerdictColumn,
        LinksColumn,
        InlinksColumn,
        ColumnCount
    };

    explicit CrawlPagesModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A column < 0 is the fetch order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Every page in the order they were fetched, whatever the sort.
    const QList<CrawlPage> &pages() const { return m_pages; }
    // The page shown in row.
    const CrawlPage &page(int row) const { return m_pages.at(m_shown.at(row)); }
    // The row showing the page with this address, or -1.
    int rowOf(const QString &url) const;

    // A batch of finished pages goes at the end.
    void appendPages(const QList<CrawlPage> &pages);
    // Every page anew (a crawl read back, or its end with the final inlinks). The same pages in the
    // same order only change their cells, keeping the view's place and selection.
    void setPages(const QList<CrawlPage> &pages);

private:
    // Puts m_shown in the sort's order and m_rowOf with it.
    void applySort();
    // Runs change, then sorts anew, with the view's persistent indexes following their pages.
    void resort(const std::function<void()> &change);
    bool shownBefore(int a, int b) const;

    QList<CrawlPage> m_pages;    // fetch order
    QHash<QString, int> m_index; // url -> index in m_pages
    QList<int> m_shown;          // row -> index in m_pages
    QList<int> m_rowOf;          // index in m_pages -> row
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace quorvel
