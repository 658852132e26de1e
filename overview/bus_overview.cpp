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
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <memory>

#include "bus/address_list.h"
#include "bus/bus_scan.h"
#include "bus/bus_session.h"
#include "chart/trend_chart.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "comm/live_texts.h"
#include "platform/color_ref.h"
#include "platform/formats.h"

namespace {

constexpr int kPumpMs = 50;  // looks for a free line when no job has ended
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

}  // namespace

BusOverview::BusOverview(BusWorker& bus, Tport* port, QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), port_(port) {
    setObjectName(QStringLiteral("overview"));
    setWindowTitle(QStringLiteral("Přehled sběrnice"));
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* lb_adresy = new QLabel(QStringLiteral("Adresy:"), this);
    ed_adresy = new QLineEdit(this);
    ed_adresy->setObjectName(QStringLiteral("ed_adresy"));
    ed_adresy->setPlaceholderText(QStringLiteral("např. 1, 3, 10-12"));
    ed_adresy->setToolTip(QStringLiteral("Adresy regulátorů 1..126, oddělené čárkou"));
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
    bar_hledani->setRange(0, bus_scan::kAddressCount);
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

bool BusOverview::set_addresses(const QString& text) {
    const auto list = address_list::parse(text);
    if (!list) return false;
    std::vector<int> sorted = *list;
    std::sort(sorted.begin(), sorted.end());
    set_addresses(sorted);
    return true;
}

void BusOverview::set_addresses(const std::vector<int>& addresses) {
    ++generation_;
    dirty_.clear();
    tab_prehled->setRowCount(0);
    addresses_.clear();
    poller_.set_addresses({});
    for (int a : addresses) add_row(a);
    fit_columns();
    pump();
}

void BusOverview::add_row(int address) {
    addresses_.push_back(address);
    poller_.set_addresses(addresses_);
    tab_prehled->insertRow(tab_prehled->rowCount());
    show_row(tab_prehled->rowCount() - 1, *table_.get(address));
}

int BusOverview::row_of(int address) const {
    const auto it = std::find(addresses_.begin(), addresses_.end(), address);
    return it == addresses_.end() ? -1 : static_cast<int>(it - addresses_.begin());
}

void BusOverview::tl_pouzitClick() {
    if (scanning()) end_scan();
    QString why;
    const auto list = address_list::parse(ed_adresy->text(), &why);
    if (list) {
        std::vector<int> sorted = *list;
        std::sort(sorted.begin(), sorted.end());
        set_addresses(sorted);
        lb_stav->clear();
    } else {
        lb_stav->setText(QStringLiteral("Neplatný seznam adres: %1 (např. 1, 3, 10-12).").arg(why));
    }
}

void BusOverview::open_row(int row) {
    if (row < 0 || row >= static_cast<int>(addresses_.size()) || !port_) return;
    const int a = addresses_[static_cast<std::size_t>(row)];
    port_->select_device(a);
    lb_stav->setText(QStringLiteral("Hlavní okno teď čte regulátor na adrese %1.").arg(a));
}

// ---- scan ----

void BusOverview::tl_hledatClick() {
    set_addresses(std::vector<int>{});
    scan_next_ = bus_scan::kFirstAddress;
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
    lb_stav->setText(QStringLiteral("Nalezeno regulátorů: %1").arg(addresses_.size()));
    poller_.set_addresses(addresses_);
}

void BusOverview::post_probe() {
    const int a = scan_next_;
    job_out_ = true;
    const int wait_ms = bus_scan::probe_wait_ms(port_ ? port_->baud() : 9600);
    bus_.post_session([a, wait_ms](BusSession& s) { return s.probe(a, wait_ms); },
                      [self = QPointer<BusOverview>(this), a, gen = generation_](bool answered) {
                          if (!self) return;
                          self->job_out_ = false;
                          if (gen != self->generation_ || !self->scanning()) return;
                          if (answered) self->add_row(a);
                          self->scan_next_ = a + 1;
                          self->bar_hledani->setValue(a + 1 - bus_scan::kFirstAddress);
                          if (self->scan_next_ > bus_scan::kLastAddress) self->end_scan();
                      });
}

// ---- polling ----

void BusOverview::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    pump_timer_->start();
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
    } else if (!addresses_.empty()) {
        post_poll();
    }
}

void BusOverview::post_poll() {
    const std::optional<BusPoller::Step> step = poller_.next();
    if (poller_.cycles() != last_cycles_) {
        last_cycles_ = poller_.cycles();
        lb_cyklus->setText(QStringLiteral("Cyklus: %1 ms").arg(poller_.last_cycle_ms()));
    }
    if (!step) return;  // every controller waits out its pause
    auto outcome = std::make_shared<BusPoller::Outcome>();
    job_out_ = true;
    bus_.post_session(
        [step = *step, outcome](BusSession& s) {
            *outcome = BusPoller::read(s, step);
            return outcome->live.has_value();
        },
        [self = QPointer<BusOverview>(this), step = *step, outcome, gen = generation_](bool) {
            if (!self) return;
            self->job_out_ = false;
            if (gen != self->generation_) return;
            self->polled(step, *outcome);
        });
}

void BusOverview::polled(const BusPoller::Step& step, const BusPoller::Outcome& outcome) {
    const int index = row_of(step.address);
    if (index < 0) return;
    const std::optional<UnitReading> before = table_.get(step.address);
    const UnitReading r = poller_.record(step, outcome);
    if (on_reading_) on_reading_(step.address, outcome.live.has_value(), r.live);
    if (outcome.live)
        fit_columns_ = fit_columns_ || !before->ever_good() || outcome.type_text.has_value();
    else
        fit_columns_ = fit_columns_ || before->failures == 0;
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
    for (int i : dirty_) {
        if (i >= static_cast<int>(addresses_.size())) continue;
        if (const auto r = table_.get(addresses_[static_cast<std::size_t>(i)])) show_row(i, *r);
    }
    dirty_.clear();
    if (fit_columns_) fit_columns();
}

void BusOverview::show_row(int index, const UnitReading& r) {
    const LiveTexts texts = live_texts(r.live);
    const bool known = r.ever_good();
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
    set_text(kLastGood, r.last_good.isValid() ? formats::long_time(r.last_good.toLocalTime().time())
                                              : QString());
    // A controller that stopped answering keeps its last values, greyed.
    for (int c = 0; c < kColumnCount; ++c)
        cell(c)->setForeground(stale && r.failures > 0 ? QBrush(kGrey) : QBrush());
}
