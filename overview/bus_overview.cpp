#include "overview/bus_overview.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <memory>

#include "chart/trend_chart.h"
#include "comm/Unit_hl.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "comm/live_texts.h"
#include "platform/formats.h"

namespace {

constexpr int kAddressCount = 127;  // 0..126; 127 is the broadcast address
constexpr int kPumpMs = 50;         // looks for a free line when no job has ended
constexpr int kRefreshMs = 100;

const char* const kColumns[BusOverview::kColumnCount] = {
    "Adresa", "Typ",   "Naměřená hodnota", "Žádaná hodnota", "Akční zásah [%]", "Out 1",
    "Out 2",  "Out 3", "Porucha",          "Spojení",        "Poslední čtení"};

const QColor kLampOn = color_from_ref(0x0000FFFF);
const QColor kFaultOn = color_from_ref(0x000000FF);
const QColor kGrey(128, 128, 128);

// A lamp of a controller that stopped answering: still visible, plainly not live.
QColor greyed(const QColor& c) {
    const int g = qGray(c.rgb()) * 3 / 4;
    return QColor(g, g, g);
}

// The reading job of one controller: its own address, and the window side's records left
// as they were (the main window shows its own controller's values from them).
struct Polled {
    LiveGroup live{};
    QString type;
};

}  // namespace

BusOverview::BusOverview(BusWorker& bus, Tport* port, QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), port_(port) {
    setObjectName(QStringLiteral("overview"));
    setWindowTitle(QStringLiteral("Přehled sběrnice"));
    setAttribute(Qt::WA_QuitOnClose, false);
    clock_.start();

    auto* lb_adresy = new QLabel(QStringLiteral("Adresy:"), this);
    ed_adresy = new QLineEdit(this);
    ed_adresy->setObjectName(QStringLiteral("ed_adresy"));
    ed_adresy->setPlaceholderText(QStringLiteral("např. 1, 3, 10-12"));
    ed_adresy->setToolTip(QStringLiteral("Adresy regulátorů 0..126, oddělené čárkou"));
    lb_adresy->setBuddy(ed_adresy);
    tl_pouzit = new QPushButton(QStringLiteral("Sledovat"), this);
    tl_pouzit->setObjectName(QStringLiteral("tl_pouzit"));
    tl_hledat = new QPushButton(QStringLiteral("Hledat na sběrnici"), this);
    tl_hledat->setObjectName(QStringLiteral("tl_hledat"));
    tl_hledat->setToolTip(QStringLiteral("Rychle projde adresy 0..126"));
    tl_zastavit = new QPushButton(QStringLiteral("Zastavit"), this);
    tl_zastavit->setObjectName(QStringLiteral("tl_zastavit"));
    tl_zastavit->setEnabled(false);
    bar_hledani = new QProgressBar(this);
    bar_hledani->setObjectName(QStringLiteral("bar_hledani"));
    bar_hledani->setRange(0, kAddressCount);
    bar_hledani->setValue(0);
    bar_hledani->setFormat(QStringLiteral("%v / %m"));
    lb_stav = new QLabel(this);
    lb_stav->setObjectName(QStringLiteral("lb_stav"));
    lb_cyklus = new QLabel(this);
    lb_cyklus->setObjectName(QStringLiteral("lb_cyklus"));

    auto* top = new QHBoxLayout;
    top->addWidget(lb_adresy);
    top->addWidget(ed_adresy, 1);
    top->addWidget(tl_pouzit);
    top->addSpacing(16);
    top->addWidget(tl_hledat);
    top->addWidget(tl_zastavit);
    top->addWidget(bar_hledani);

    tab_prehled = new QTableWidget(0, kColumnCount, this);
    tab_prehled->setObjectName(QStringLiteral("tab_prehled"));
    QStringList headers;
    for (const char* c : kColumns) headers << QString::fromUtf8(c);
    tab_prehled->setHorizontalHeaderLabels(headers);
    tab_prehled->verticalHeader()->hide();
    tab_prehled->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tab_prehled->setSelectionBehavior(QAbstractItemView::SelectRows);
    tab_prehled->setSelectionMode(QAbstractItemView::SingleSelection);
    tab_prehled->setToolTip(
        QStringLiteral("Dvojklik: regulátor se stane regulátorem hlavního okna"));
    // Fitted to the texts when new texts come, not at every reading: fitting goes
    // through every row.
    tab_prehled->horizontalHeader()->setStretchLastSection(true);
    // Every header readable at the opening size, with room for the usual texts, and the
    // window as wide as that takes (within the screen): no horizontal scroll bar.
    const QFontMetrics fm(tab_prehled->font());
    const int pad = 2 * fm.averageCharWidth() + 6;
    const std::array<std::pair<int, const char*>, 4> usual{{{kType, "KELVRA 20"},
                                                            {kMeasure, "-1234,56"},
                                                            {kLink, "bez odpovědi (99×)"},
                                                            {kLastGood, "00:00:00"}}};
    int total = 0;
    for (int c = 0; c < kColumnCount; ++c) {
        int w = tab_prehled->horizontalHeader()->sectionSizeHint(c);
        for (const auto& [column, text] : usual)
            if (column == c) w = std::max(w, fm.horizontalAdvance(QString::fromUtf8(text)) + pad);
        tab_prehled->setColumnWidth(c, w);
        total += w;
    }
    opening_width_ = total + 2 * tab_prehled->frameWidth() +
                     tab_prehled->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24;

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lb_stav, 1);
    bottom->addWidget(lb_cyklus);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tab_prehled, 1);
    layout->addLayout(bottom);
    int width = std::max(1020, opening_width_);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() - 40);
    resize(width, 420);

    refresh_timer_ = new QTimer(this);
    refresh_timer_->setSingleShot(true);
    refresh_timer_->setInterval(kRefreshMs);
    connect(refresh_timer_, &QTimer::timeout, this, &BusOverview::refresh);
    pump_timer_ = new QTimer(this);
    pump_timer_->setInterval(kPumpMs);
    connect(pump_timer_, &QTimer::timeout, this, &BusOverview::pump);
    // Whenever any job ends the line may be free.
    connect(&bus_, &BusWorker::job_finished, this, &BusOverview::pump);
    connect(tl_pouzit, &QPushButton::clicked, this, &BusOverview::tl_pouzitClick);
    connect(ed_adresy, &QLineEdit::returnPressed, this, &BusOverview::tl_pouzitClick);
    connect(tl_hledat, &QPushButton::clicked, this, &BusOverview::tl_hledatClick);
    connect(tl_zastavit, &QPushButton::clicked, this, &BusOverview::tl_zastavitClick);
    connect(tab_prehled, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { open_row(row); });
    // The main window waits for the line to fall quiet when it closes: stop first.
    if (parent) parent->installEventFilter(this);
}

bool BusOverview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Close) hide();
    return QWidget::eventFilter(watched, event);
}

BusOverview::~BusOverview() = default;

// ---- rows ----

bool BusOverview::parse_addresses(const QString& text, std::vector<int>* out) {
    std::vector<int> list;
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3})\\s*)?$"));
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[,;]")));
    for (const QString& part : parts) {
        if (part.trimmed().isEmpty()) continue;
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch()) return false;
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        if (from > to || to >= kAddressCount) return false;
        for (int a = from; a <= to; ++a)
            if (std::find(list.begin(), list.end(), a) == list.end()) list.push_back(a);
    }
    if (list.empty()) return false;
    std::sort(list.begin(), list.end());
    *out = std::move(list);
    return true;
}

bool BusOverview::set_addresses(const QString& text) {
    std::vector<int> list;
    if (!parse_addresses(text, &list)) return false;
    set_addresses(list);
    return true;
}

void BusOverview::set_addresses(const std::vector<int>& addresses) {
    ++generation_;
    rows_.clear();
    dirty_.clear();
    tab_prehled->setRowCount(0);
    for (int a : addresses) {
        Row r;
        r.address = a;
        rows_.push_back(r);
        tab_prehled->insertRow(tab_prehled->rowCount());
        show_row(static_cast<int>(rows_.size()) - 1);
    }
    fit_columns();
    next_ = 0;
    polled_in_cycle_ = 0;
    cycle_clock_.start();
    pump();
}

int BusOverview::row_of(int address) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].address == address) return static_cast<int>(i);
    return -1;
}

void BusOverview::tl_pouzitClick() {
    if (scanning()) end_scan();
    if (set_addresses(ed_adresy->text())) {
        lb_stav->clear();
    } else {
        lb_stav->setText(QStringLiteral("Neplatný seznam adres (0..126, např. 1, 3, 10-12)."));
    }
}

void BusOverview::open_row(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !port_) return;
    port_->select_device(rows_[static_cast<std::size_t>(row)].address);
    lb_stav->setText(QStringLiteral("Hlavní okno teď čte regulátor na adrese %1.")
                         .arg(rows_[static_cast<std::size_t>(row)].address));
}

// ---- scan ----

void BusOverview::tl_hledatClick() {
    set_addresses(std::vector<int>{});
    scan_next_ = 0;
    bar_hledani->setValue(0);
    tl_zastavit->setEnabled(true);
    lb_stav->setText(QStringLiteral("Hledám regulátory..."));
    pump();
}

void BusOverview::tl_zastavitClick() { end_scan(); }

void BusOverview::end_scan() {
    if (!scanning()) return;
    scan_next_ = -1;
    ++generation_;  // a probe still out no longer counts
    tl_zastavit->setEnabled(false);
    lb_stav->setText(QStringLiteral("Nalezeno regulátorů: %1").arg(rows_.size()));
    next_ = 0;
    cycle_clock_.start();
}

void BusOverview::post_probe() {
    const int a = scan_next_;
    job_out_ = true;
    const std::function<void(int)> bound = probe_bound_;
    bus_.post(
        [a, bound](RequestLayer& r) {
            r.set_device_address(static_cast<std::uint8_t>(a));
            if (bound) bound(kScanProbeMs);
            const bool ok = r.probe_station();
            if (bound) bound(0);
            return ok;
        },
        [self = QPointer<BusOverview>(this), a, gen = generation_](bool answered) {
            if (!self) return;
            self->job_out_ = false;
            if (gen != self->generation_ || !self->scanning()) return;
            if (answered) {
                Row r;
                r.address = a;
                self->rows_.push_back(r);
                self->tab_prehled->insertRow(self->tab_prehled->rowCount());
                self->show_row(static_cast<int>(self->rows_.size()) - 1);
            }
            self->scan_next_ = a + 1;
            self->bar_hledani->setValue(a + 1);
            if (self->scan_next_ >= kAddressCount) self->end_scan();
        });
}

// ---- polling ----

void BusOverview::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    pump_timer_->start();
    cycle_clock_.start();
    pump();
}

void BusOverview::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    pump_timer_->stop();
    end_scan();
}

void BusOverview::pump() {
    // One job of ours at a time, and none while anyone else's waits for the line.
    if (!isVisible() || job_out_ || bus_.busy()) return;
    if (scanning()) {
        post_probe();
    } else if (!rows_.empty()) {
        post_poll();
    }
}

void BusOverview::post_poll() {
    const qint64 now = clock_.elapsed();
    // The next row that is due; a pass past the last row ends the cycle.
    for (std::size_t tried = 0; tried <= rows_.size(); ++tried) {
        if (next_ >= rows_.size()) {
            next_ = 0;
            if (polled_in_cycle_ > 0) {
                ++cycles_;
                last_cycle_ms_ = cycle_clock_.elapsed();
                lb_cyklus->setText(QStringLiteral("Cyklus: %1 ms").arg(last_cycle_ms_));
            }
            polled_in_cycle_ = 0;
            cycle_clock_.start();
        }
        if (rows_[next_].retry_at_ms <= now) break;
        ++next_;
    }
    if (next_ >= rows_.size() || rows_[next_].retry_at_ms > now) return;  // all wait
    ++polled_in_cycle_;
    const Row& row = rows_[next_++];
    const int a = row.address;
    const bool want_type = !row.type_asked && row.ever_good;
    auto result = std::make_shared<Polled>();
    job_out_ = true;
    bus_.post(
        [a, want_type, result](RequestLayer& r) {
            r.set_device_address(static_cast<std::uint8_t>(a));
            DeviceData& d = r.data();
            CommBuffer& b = r.buffer();
            const LiveGroup kept = d.live;
            const auto kept_type = b.type_text;
            const bool ok = r.read_table(TableId::TAB_LIVE);
            if (ok) result->live = d.live;
            if (ok && want_type && r.read_type_text())
                result->type = QString::fromLatin1(b.type_text.data());
            d.live = kept;
            b.type_text = kept_type;
            return ok;
        },
        [self = QPointer<BusOverview>(this), a, result, gen = generation_, want_type](bool ok) {
            if (!self) return;
            self->job_out_ = false;
            if (gen != self->generation_) return;
            const int i = self->row_of(a);
            if (i < 0) return;
            if (want_type) self->rows_[static_cast<std::size_t>(i)].type_asked = true;
            self->polled(i, ok, result->live, result->type);
        });
}

void BusOverview::polled(int index, bool ok, const LiveGroup& live, const QString& type) {
    Row& r = rows_[static_cast<std::size_t>(index)];
    if (ok) {
        fit_columns_ = fit_columns_ || !r.ever_good || !type.isEmpty();
        r.live = live;
        r.ever_good = true;
        r.link = true;
        r.failures = 0;
        r.last_good = QDateTime::currentDateTime();
        r.retry_at_ms = 0;
        if (!type.isEmpty()) r.type_text = type;
    } else {
        r.link = false;
        fit_columns_ = fit_columns_ || r.failures == 0;
        ++r.failures;
        r.retry_at_ms = clock_.elapsed() + retry_ms_;
    }
    // Drawn at most ten times a second: with many rows the drawing, not the line,
    // would set the pace.
    dirty_.insert(index);
    if (!refresh_timer_->isActive()) refresh_timer_->start();
}

void BusOverview::fit_columns() {
    // The last one takes the rest of the width.
    for (int c = 0; c + 1 < kColumnCount; ++c) tab_prehled->resizeColumnToContents(c);
    fit_columns_ = false;
}

void BusOverview::refresh() {
    for (int i : dirty_)
        if (i < static_cast<int>(rows_.size())) show_row(i);
    dirty_.clear();
    if (fit_columns_) fit_columns();
}

void BusOverview::show_row(int index) {
    const Row& r = rows_[static_cast<std::size_t>(index)];
    const LiveTexts texts = live_texts(r.live);
    const bool known = r.ever_good;
    const auto cell = [&](int column) {
        QTableWidgetItem* item = tab_prehled->item(index, column);
        if (!item) {
            item = new QTableWidgetItem;
            tab_prehled->setItem(index, column, item);
        }
        return item;
    };
    // Items repaint on every change, also to the same text.
    const auto set_text = [&](int column, const QString& text) {
        if (cell(column)->text() != text) cell(column)->setText(text);
    };
    set_text(kAddress, QString::number(r.address));
    cell(kAddress)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    set_text(kType, r.type_text);
    set_text(kMeasure, known ? texts.measure : QString());
    set_text(kSetPoint, known ? texts.sp : QString());
    set_text(kAction, known ? texts.yout : QString());
    for (int c : {kMeasure, kSetPoint, kAction})
        cell(c)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Before the first good reading nothing is known, not even a zero.
    const bool stale = !r.link;
    for (int bit = 0; bit < 3; ++bit) {
        const bool on = known && ((r.live.RELAYS >> bit) & 1);
        QTableWidgetItem* item = cell(kOut1 + bit);
        set_text(kOut1 + bit,
                 known ? (on ? QStringLiteral("ZAP") : QStringLiteral("vyp")) : QString());
        item->setTextAlignment(Qt::AlignCenter);
        item->setBackground(on ? QBrush(stale ? greyed(kLampOn) : kLampOn) : QBrush());
    }
    const bool fault = known && r.live.FAULT != 0;
    set_text(kFault, known ? texts.fault : QString());
    cell(kFault)->setBackground(fault ? QBrush(stale ? greyed(kFaultOn) : kFaultOn) : QBrush());
    QString link;
    if (r.link)
        link = QStringLiteral("OK");
    else if (r.failures > 0)
        link = QStringLiteral("bez odpovědi (%1×)").arg(r.failures);
    set_text(kLink, link);
    set_text(kLastGood, r.last_good.isValid() ? formats::long_time(r.last_good.time()) : QString());
    // A controller that stopped answering keeps its last values, greyed.
    for (int c = 0; c < kColumnCount; ++c)
        cell(c)->setForeground(stale && r.failures > 0 ? QBrush(kGrey) : QBrush());
}
