#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

namespace quorvel {

// The pages of one crawl as a table: URL, depth, status, verdict, links, inlinks, in the order they
// were fetched. Holds the pages only, never their rows. UI thread.
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

    const QList<CrawlPage> &pages() const { return m_pages; }
    const CrawlPage &page(int row) const { return m_pages.at(row); }
    // The row of the page with this address, or -1.
    int rowOf(const QString &url) const { return m_rows.value(url, -1); }

    // A batch of finished pages goes at the end.
    void appendPages(const QList<CrawlPage> &pages);
    // Every page anew (a crawl read back, or its end with the final inlinks).
    void setPages(const QList<CrawlPage> &pages);

private:
    QList<CrawlPage> m_pages;
    QHash<QString, int> m_rows;
};

} // namespace quorvel
