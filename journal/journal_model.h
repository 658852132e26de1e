#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "journal/journal.h"

// The journal's entries for a view, newest first, fetched a page at a time as the view
// scrolls: a filter change costs one LIMITed query, however large the journal.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Time, User, Program, Source, Address, Kind, Outcome, Summary, ColumnCount };
    static constexpr int kPage = 200;

    explicit JournalModel(Journal& journal, QObject* parent = nullptr);

    void set_filter(const JournalFilter& filter);
    const JournalFilter& filter() const { return filter_; }
    // Reads the first page again (new entries).
    void refresh() { set_filter(filter_); }
    const JournalEntry& entry(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    Journal& journal_;
    JournalFilter filter_;
    std::vector<JournalEntry> rows_;
    bool more_ = false;
};
