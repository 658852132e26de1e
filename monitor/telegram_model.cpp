#include "monitor/telegram_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "platform/formats.h"

TelegramModel::TelegramModel(int capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(std::max(capacity, 1)) {}

int TelegramModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int TelegramModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

std::uint64_t TelegramModel::oldest() const {
    const std::uint64_t cap = static_cast<std::uint64_t>(capacity_);
    return std::max(cleared_at_, appended_ > cap ? appended_ - cap : 0);
}

int TelegramModel::held() const { return static_cast<int>(appended_ - oldest()); }

const TelegramRecord& TelegramModel::record(int row) const {
    return at(visible_[static_cast<std::size_t>(row)]);
}

bool TelegramModel::is_fault(const TelegramRecord& r) {
    return r.verdict != Verdict::Ok && r.verdict != Verdict::Pending;
}

bool TelegramModel::shown(const TelegramRecord& r) const {
    return filter_ == kAllAddresses || r.dest == filter_ || r.src == filter_;
}

QString TelegramModel::cell_text(int row, int column) const {
    const TelegramRecord& r = record(row);
    const auto address = [](int a) { return a < 0 ? QStringLiteral("?") : QString::number(a); };
    switch (column) {
        case Time:
            return formats::fixed(static_cast<double>(r.time_ms) / 1000.0, 3, 15);
        case Direction:
            return r.dir == TelegramDir::Sent ? QStringLiteral("vysláno")
                                              : QStringLiteral("přijato");
        case Dest:
            return address(r.dest);
        case Source:
            return address(r.src);
        case Meaning:
            return telegram_meaning(r);
        case Hex:
            return telegram_hex(r);
        case Verdict:
            if (r.verdict == Verdict::Pending) return {};
            if (r.reply_ms >= 0 && r.verdict == Verdict::Ok)
                return verdict_text(r) + QStringLiteral(" (%1 ms)").arg(r.reply_ms);
            return verdict_text(r);
        default:
            return {};
    }
}

QVariant TelegramModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return cell_text(index.row(), index.column());
    // A long frame does not fit its column.
    if (role == Qt::ToolTipRole && index.column() == Hex)
        return cell_text(index.row(), index.column());
    if (role == Qt::ForegroundRole && is_fault(record(index.row())))
        return QBrush(QColor(200, 0, 0));
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Time || index.column() == Dest || index.column() == Source))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TelegramModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case Time:
            return QStringLiteral("Čas [s]");
        case Direction:
            return QStringLiteral("Směr");
        case Dest:
            return QStringLiteral("Cíl");
        case Source:
            return QStringLiteral("Zdroj");
        case Meaning:
            return QStringLiteral("Význam");
        case Hex:
            return QStringLiteral("Bajty");
        case Verdict:
            return QStringLiteral("Výsledek");
        default:
            return {};
    }
}

void TelegramModel::append(const std::vector<TelegramRecord>& records) {
    if (records.empty()) return;
    if (slots_.empty()) {
        slots_.resize(static_cast<std::size_t>(capacity_));
        visible_.reserve(static_cast<std::size_t>(capacity_));
    }
    const std::size_t cap = static_cast<std::size_t>(capacity_);
    const std::size_t skip = records.size() > cap ? records.size() - cap : 0;
    const std::uint64_t end = appended_ + (records.size() - skip);

    // Rows whose slots the batch overwrites go first, while they can still be read.
    const std::uint64_t keep_from = end > cap ? end - cap : 0;
    const auto gone = static_cast<int>(
        std::lower_bound(visible_.begin(), visible_.end(), keep_from) - visible_.begin());
    if (gone > 0) {
        beginRemoveRows(QModelIndex(), 0, gone - 1);
        visible_.erase(visible_.begin(), visible_.begin() + gone);
        endRemoveRows();
    }

    // Slots first (their old rows are gone), then the rows that show them.
    const std::uint64_t begin = appended_;
    int matching = 0;
    for (std::size_t i = skip; i < records.size(); ++i) {
        slots_[appended_ % cap] = records[i];
        if (shown(records[i])) ++matching;
        ++appended_;
    }
    if (matching == 0) return;
    const int first = static_cast<int>(visible_.size());
    beginInsertRows(QModelIndex(), first, first + matching - 1);
    for (std::uint64_t n = begin; n < appended_; ++n)
        if (shown(at(n))) visible_.push_back(n);
    endInsertRows();
}

void TelegramModel::clear() {
    beginResetModel();
    visible_.clear();
    cleared_at_ = appended_;
    endResetModel();
}

void TelegramModel::set_address_filter(int address) {
    if (address == filter_) return;
    beginResetModel();
    filter_ = address;
    visible_.clear();
    for (std::uint64_t n = oldest(); n < appended_; ++n)
        if (shown(at(n))) visible_.push_back(n);
    endResetModel();
}
