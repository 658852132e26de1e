#include "journal/journal_model.h"

#include <QLocale>

JournalModel::JournalModel(Journal& journal, QObject* parent)
    : QAbstractTableModel(parent), journal_(journal) {}

void JournalModel::set_filter(const JournalFilter& filter) {
    beginResetModel();
    filter_ = filter;
    rows_ = journal_.query(filter_, kPage);
    more_ = static_cast<int>(rows_.size()) == kPage;
    endResetModel();
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const JournalEntry& e = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ToolTipRole && index.column() == Summary) return e.summary;
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Time:
            return QLocale().toString(e.time, QStringLiteral("d.M.yyyy HH:mm:ss"));
        case User:
            return e.user;
        case Program:
            return e.program;
        case Source:
            return e.source;
        case Address:
            return e.address >= 0 ? QVariant(e.address) : QVariant();
        case Kind:
            return kind_caption(e.kind);
        case Outcome:
            return e.ok ? QStringLiteral("ok") : QStringLiteral("chyba");
        case Summary:
            return e.summary;
        default:
            return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[ColumnCount] = {
        "Čas", "Uživatel", "Program", "Okno / příkaz", "Adresa", "Druh", "Výsledek", "Popis"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section])
                                                 : QVariant();
}

bool JournalModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && more_;
}

void JournalModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !more_ || rows_.empty()) return;
    const JournalEntry& last = rows_.back();
    auto page =
        journal_.query(filter_, kPage, Journal::Cursor{last.time.toMSecsSinceEpoch(), last.id});
    more_ = static_cast<int>(page.size()) == kPage;
    if (page.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    for (auto& e : page) rows_.push_back(std::move(e));
    endInsertRows();
}
