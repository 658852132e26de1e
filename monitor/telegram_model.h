#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

#include "comm/telegram_record.h"

// The telegram list: a ring of fixed capacity (the oldest rows go when it is full) and
// an address filter. Memory is taken once, at the first row, and never grows.
class TelegramModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Time, Direction, Dest, Source, Meaning, Hex, Verdict, ColumnCount };
    static constexpr int kAllAddresses = -1;

    explicit TelegramModel(int capacity, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Oldest first; a batch larger than the capacity keeps only its newest records.
    void append(const std::vector<TelegramRecord>& records);
    void clear();
    // Rows shown: telegrams to or from the address, or all.
    void set_address_filter(int address);
    int address_filter() const { return filter_; }

    int capacity() const { return capacity_; }
    // Records held, shown or not.
    int held() const;
    const TelegramRecord& record(int row) const;
    // The text of a cell as shown.
    QString cell_text(int row, int column) const;
    // Anything but a good exchange or one still under way.
    static bool is_fault(const TelegramRecord& r);

  private:
    bool shown(const TelegramRecord& r) const;
    const TelegramRecord& at(std::uint64_t n) const { return slots_[n % slots_.size()]; }
    std::uint64_t oldest() const;

    int capacity_;
    int filter_ = kAllAddresses;
    std::vector<TelegramRecord> slots_;   // sized to the capacity at the first append
    std::uint64_t appended_ = 0;          // records ever appended; n-th lives in slot n % capacity
    std::uint64_t cleared_at_ = 0;        // records before this count are gone
    std::vector<std::uint64_t> visible_;  // append numbers of the rows shown, ascending
};
