#include "monitor/comm_monitor.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

#include "comm/recording_line.h"
#include "monitor/telegram_model.h"
#include "platform/atomic_file.h"
#include "platform/cp1250.h"
#include "platform/errors.h"
#include "platform/formats.h"
#include "platform/prompts.h"
#include "platform/window_placement.h"

namespace {

const QString kPause = QStringLiteral("Pozastavit");
const QString kResume = QStringLiteral("Pokračovat");
const QColor kFaultColor(200, 0, 0);

const char* const kStatsColumns[] = {
    "Adresa",        "Dotazy",        "Dobré",         "Bez odpovědi", "Krátké",
    "Chybný součet", "Chybný formát", "Odmítnuto",     "Opakováno",    "Min [ms]",
    "Průměr [ms]",   "Max [ms]",      "Poslední chyba"};
constexpr int kStatsColumnCount = static_cast<int>(std::size(kStatsColumns));

[[noreturn]] void throw_write_error(const QString& path, const QString& reason) {
    throw FileError(
        QStringLiteral("Soubor %1 nelze zapsat: %2").arg(QDir::toNativeSeparators(path), reason));
}

QString ms_text(int ms) { return ms < 0 ? QString() : QString::number(ms); }

}  // namespace

CommMonitor::CommMonitor(RecordingLine& recorder, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder), prompts_(prompts) {
    setObjectName(QStringLiteral("monitor"));
    setWindowTitle(QStringLiteral("Monitor komunikace"));
    // The program ends when the main window closes, monitor open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1080, 600);
    placement::keep_window_placement(*this);

    model_ = new TelegramModel(recorder.capacity(), this);

    tl_pozastavit = new QPushButton(kPause, this);
    tl_pozastavit->setObjectName(QStringLiteral("tl_pozastavit"));
    tl_vymazat = new QPushButton(QStringLiteral("Vymazat"), this);
    tl_vymazat->setObjectName(QStringLiteral("tl_vymazat"));
    auto* lb_adresa = new QLabel(QStringLiteral("Adresa:"), this);
    ed_adresa = new QSpinBox(this);
    ed_adresa->setObjectName(QStringLiteral("ed_adresa"));
    ed_adresa->setRange(TelegramModel::kAllAddresses, 127);
    ed_adresa->setSpecialValueText(QStringLiteral("všechny"));
    ed_adresa->setValue(TelegramModel::kAllAddresses);
    lb_adresa->setBuddy(ed_adresa);
    tl_ulozit = new QPushButton(QStringLiteral("Uložit..."), this);
    tl_ulozit->setObjectName(QStringLiteral("tl_ulozit"));
    lb_pocet = new QLabel(this);
    lb_pocet->setObjectName(QStringLiteral("lb_pocet"));
    // Wide enough for any count, so a new count never asks for a new layout.
    lb_pocet->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000 telegramů")));
    lb_pocet->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(tl_pozastavit);
    buttons->addWidget(tl_vymazat);
    buttons->addSpacing(12);
    buttons->addWidget(lb_adresa);
    buttons->addWidget(ed_adresa);
    buttons->addSpacing(12);
    buttons->addWidget(tl_ulozit);
    buttons->addStretch();
    buttons->addWidget(lb_pocet);

    telegrams_ = new QTableView(this);
    telegrams_->setObjectName(QStringLiteral("telegrams"));
    telegrams_->setModel(model_);
    telegrams_->setSelectionBehavior(QAbstractItemView::SelectRows);
    telegrams_->setWordWrap(false);
    telegrams_->verticalHeader()->hide();
    // Fixed row heights and column widths: nothing is measured per row as rows arrive.
    telegrams_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    telegrams_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    const int widths[] = {80, 62, 36, 44, 130, 330, 200};
    for (int c = 0; c < TelegramModel::ColumnCount; ++c) telegrams_->setColumnWidth(c, widths[c]);
    // The bytes take what the verdict, at its longest, does not need.
    telegrams_->setColumnWidth(
        TelegramModel::Verdict,
        fontMetrics().horizontalAdvance(QStringLiteral("krátká odpověď (255 z 255 bajtů)")) + 16);
    telegrams_->horizontalHeader()->setStretchLastSection(false);
    telegrams_->horizontalHeader()->setSectionResizeMode(TelegramModel::Hex, QHeaderView::Stretch);

    stats_ = new QTableWidget(0, kStatsColumnCount, this);
    stats_->setObjectName(QStringLiteral("stats"));
    QStringList captions;
    for (const char* c : kStatsColumns) captions << QString::fromUtf8(c);
    stats_->setHorizontalHeaderLabels(captions);
    stats_->verticalHeader()->hide();
    stats_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stats_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(telegrams_);
    split->addWidget(stats_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(split, 1);

    batch_ = new QTimer(this);
    batch_->setSingleShot(true);
    batch_->setInterval(kBatchMs);
    connect(batch_, &QTimer::timeout, this, [this] { refresh(); });

    connect(tl_pozastavit, &QPushButton::clicked, this, [this] { tl_pozastavitClick(); });
    connect(tl_vymazat, &QPushButton::clicked, this, [this] { tl_vymazatClick(); });
    connect(tl_ulozit, &QPushButton::clicked, this, [this] { tl_ulozitClick(); });
    connect(ed_adresa, qOverload<int>(&QSpinBox::valueChanged), this, [this](int a) {
        model_->set_address_filter(a);
        telegrams_->scrollToBottom();
    });
}

CommMonitor::~CommMonitor() = default;

void CommMonitor::notify() {
    if (isVisible() && !batch_->isActive()) batch_->start();
}

void CommMonitor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void CommMonitor::refresh() {
    if (!isVisible()) return;
    if (!paused_) {
        const std::vector<TelegramRecord> records = recorder_.records_since(last_seq_);
        if (!records.empty()) {
            last_seq_ = records.back().seq;
            QScrollBar* scroll = telegrams_->verticalScrollBar();
            // Follow the newest rows unless the user scrolled away from them.
            const bool at_end = scroll->value() == scroll->maximum();
            model_->append(records);
            if (at_end) telegrams_->scrollToBottom();
        }
    }
    lb_pocet->setText(QStringLiteral("%1 telegramů").arg(model_->rowCount()));
    show_stats();
}

void CommMonitor::show_stats() {
    const std::map<int, AddressStats> stats = recorder_.stats();
    stats_->setRowCount(static_cast<int>(stats.size()));
    int row = 0;
    for (const auto& [address, s] : stats) {
        const QString last_error = s.last_error_at.isValid()
                                       ? formats::short_date(s.last_error_at.date()) +
                                             QLatin1Char(' ') +
                                             formats::long_time(s.last_error_at.time())
                                       : QString();
        const QString cells[kStatsColumnCount] = {
            QString::number(address),
            QString::number(s.requests),
            QString::number(s.good),
            QString::number(s.timeouts),
            QString::number(s.short_replies),
            QString::number(s.checksum_errors),
            QString::number(s.format_errors),
            QString::number(s.refusals),
            QString::number(s.resends),
            ms_text(s.reply_min_ms),
            s.reply_min_ms < 0 ? QString() : formats::fixed(s.reply_mean_ms, 1, 15),
            ms_text(s.reply_max_ms),
            last_error};
        for (int c = 0; c < kStatsColumnCount; ++c) {
            QTableWidgetItem* item = stats_->item(row, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(c == kStatsColumnCount - 1
                                           ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
                stats_->setItem(row, c, item);
            }
            item->setText(cells[c]);
            // Error counts that are not zero stand out.
            const bool fault = c >= 3 && c <= 8 && cells[c] != QLatin1String("0");
            item->setForeground(fault ? QBrush(kFaultColor) : QBrush());
        }
        ++row;
    }
}

void CommMonitor::tl_pozastavitClick() {
    paused_ = !paused_;
    tl_pozastavit->setText(paused_ ? kResume : kPause);
    if (!paused_) refresh();
}

void CommMonitor::tl_vymazatClick() {
    model_->clear();
    recorder_.clear_records();
    recorder_.reset_stats();
    last_seq_ = recorder_.last_seq();
    refresh();
}

QByteArray CommMonitor::list_file_bytes() const {
    QByteArray out;
    const auto line = [&out](const QString& text) {
        out += cp1250::encode(text);
        out += "\r\n";
    };
    QStringList header;
    for (int c = 0; c < TelegramModel::ColumnCount; ++c)
        header << model_->headerData(c, Qt::Horizontal).toString();
    line(header.join(QStringLiteral("; ")));
    const int rows = model_->rowCount();
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        for (int c = 0; c < TelegramModel::ColumnCount; ++c) cells << model_->cell_text(r, c);
        line(cells.join(QStringLiteral("; ")));
    }
    return out;
}

void CommMonitor::write_list(const QString& path) const {
    const QByteArray bytes = list_file_bytes();
    QString reason;
    if (!AtomicFile::write(path, {QByteArrayView(bytes)}, &reason)) throw_write_error(path, reason);
}

void CommMonitor::tl_ulozitClick() {
    FileDialogRequest request;
    request.file_name = last_file_name_;
    request.default_suffix = QStringLiteral("txt");
    request.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)")};
    request.overwrite_prompt = true;
    request.path_must_exist = true;
    const std::optional<QString> path = prompts_.save_file(request);
    if (!path) return;
    last_file_name_ = *path;
    write_list(*path);
}
