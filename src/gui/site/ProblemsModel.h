#pragma once

#include "core/crawl/CrawlTypes.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <optional>

namespace quorvel {

// The problem rows of a whole crawl with their pages, as a table (Page, Link, Anchor Text, HTTP
// Response, Verdict, Error), narrowed by a verdict and a text. Holds the problem rows only. UI thread.
class ProblemsModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProblemsModel)

public:
    enum Column
    {
        PageColumn,
        LinkColumn,
        AnchorColumn,
        ResponseColumn,
        VerdictColumn,
        ErrorColumn,
        ColumnCount
    };

    explicit ProblemsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Every problem row, whether the filter shows it or not.
    const QList<CrawlRow> &allRows() const { return m_rows; }
    // The row shown at position row.
    const CrawlRow &shownRow(int row) const { return m_rows.at(m_shown.at(row)); }

    void appendRows(const QList<CrawlRow> &rows);
    void setRows(const QList<CrawlRow> &rows);
    // Shows the rows of this verdict (any, without one) whose page, link, anchor text or error holds
    // text (ASCII case ignored; an empty text holds everywhere).
    void setFilter(std::optional<Verdict> verdict, const QString &text);

private:
    bool passes(const CrawlRow &crawled) const;

    QList<CrawlRow> m_rows;
    QList<qsizetype> m_shown;
    std::optional<Verdict> m_verdict;
    QString m_text;
};

} // namespace quorvel
