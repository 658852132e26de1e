#include "comm/Unitport.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <array>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/line.h"
#include "platform/error_report.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace {

constexpr std::array<qint32, 14> kRates{110,   300,   600,   1200,  2400,   4800,   9600,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr int kAddressCount = 127;  // 0..126; 127 is the broadcast address
constexpr int kGridColumns = 16;
constexpr int kGridRows = 8;
constexpr int kSearchTickMs = 100;

const QString kSectionPort = QStringLiteral("PORT");
const QString kSectionAddress = QStringLiteral("ADRESA");

QString port_name(int n) { return QStringLiteral("COM%1").arg(n); }

QLabel* make_label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(x, y);
    l->adjustSize();
    return l;
}

QComboBox* make_list(QWidget* parent, const char* name, int x, const QString& hint) {
    auto* cb = new QComboBox(parent);
    cb->setObjectName(QLatin1String(name));
    cb->setGeometry(x, 20, 100, 21);
    cb->setMaxVisibleItems(8);
    cb->setToolTip(hint);
    return cb;
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& text, int x,
                         const QString& hint) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, 240, 75, 25);
    b->setToolTip(hint);
    return b;
}

}  // namespace

Tport::Tport(SettingsStore& settings, PortLine& line, BusWorker& requests, Prompts& prompts,
             QWidget* parent)
    : QDialog(parent), settings_(settings), line_(line), requests_(requests), prompts_(prompts) {
    build_controls();
    FormCreate();
}

Tport::~Tport() = default;

void Tport::build_controls() {
    setObjectName(QStringLiteral("port"));
    setWindowTitle(QStringLiteral("Komunikační port"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(475, 285);

    make_label(this, "lb_com", QStringLiteral("Sériová linka:"), 12, 6);
    cb_com = make_list(this, "cb_com", 10, QStringLiteral("Nastaví komunikační linku"));
    cb_com->addItem(QStringLiteral("žádný port"));
    for (int i = 1; i <= 8; ++i) cb_com->addItem(QStringLiteral("COM %1").arg(i));

    make_label(this, "lb_baudrate", QStringLiteral("Přenosová rychlost"), 128, 6);
    cb_baudrate = make_list(this, "cb_baudrate", 128, QString());

    make_label(this, "lb_da", QStringLiteral("Adresa přístroje:"), 248, 6);
    cb_da = make_list(this, "cb_da", 248, QStringLiteral("Nastaví adresu přístroje"));

    make_label(this, "lb_sa", QStringLiteral("Adresa počítače: "), 360, 6);
    cb_sa = make_list(this, "cb_sa", 360, QStringLiteral("Nastaví adresu počítače"));
    for (int a = 0; a < kAddressCount; ++a) {
        cb_da->addItem(QString::number(a));
        cb_sa->addItem(QString::number(a));
    }

    make_label(this, "lb_tab", QStringLiteral("Tabulka adres:"), 18, 48);
    str_tab = new QTableWidget(kGridRows, kGridColumns, this);
    str_tab->setObjectName(QStringLiteral("str_tab"));
    str_tab->setGeometry(10, 64, 455, 153);
    for (QHeaderView* h : {str_tab->horizontalHeader(), str_tab->verticalHeader()}) {
        h->hide();
        h->setMinimumSectionSize(1);
        h->setSectionResizeMode(QHeaderView::Fixed);
    }
    str_tab->horizontalHeader()->setDefaultSectionSize(26);
    str_tab->verticalHeader()->setDefaultSectionSize(16);
    str_tab->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    str_tab->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    str_tab->setEditTriggers(QAbstractItemView::NoEditTriggers);
    str_tab->setSelectionMode(QAbstractItemView::SingleSelection);
    str_tab->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) str_tab->setItem(r, c, new QTableWidgetItem());
    // The grid is disabled only so the user cannot edit it; it must stay readable and
    // show the cell under probe, so it keeps the colours of an enabled grid.
    QPalette pal = str_tab->palette();
    for (auto role : {QPalette::Text, QPalette::Base, QPalette::Highlight,
                      QPalette::HighlightedText, QPalette::WindowText})
        pal.setColor(QPalette::Disabled, role, pal.color(QPalette::Active, role));
    str_tab->setPalette(pal);
    str_tab->setCurrentCell(0, 0);
    str_tab->setEnabled(false);

    tl_ok = make_button(this, "tl_ok", QStringLiteral("OK"), 18,
                        QStringLiteral("Návrat a potvrzení změn"));
    tl_ok->setDefault(true);
    tl_cancel =
        make_button(this, "tl_cancel", QStringLiteral("Storno"), 136, QStringLiteral("Storno"));
    tl_najit = make_button(this, "tl_najit", QStringLiteral("Najít adresy"), 256,
                           QStringLiteral("Spustí vyhledávání adres"));
    tl_prerusit = make_button(this, "tl_prerusit", QStringLiteral("Přerušit"), 376,
                              QStringLiteral("Přeruší vyhledávání adres"));
    tl_prerusit->setEnabled(false);

    setTabOrder(tl_ok, tl_cancel);
    setTabOrder(tl_cancel, tl_najit);
    setTabOrder(tl_najit, cb_com);
    setTabOrder(cb_com, cb_baudrate);
    setTabOrder(cb_baudrate, cb_da);
    setTabOrder(cb_da, cb_sa);
    setTabOrder(cb_sa, tl_prerusit);
    tl_ok->setFocus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSearchTickMs);

    // Only the user's choices run the list handlers; selecting from code does not.
    connect(cb_com, &QComboBox::activated, this, [this] { guarded([this] { cb_comChange(); }); });
    connect(cb_baudrate, &QComboBox::activated, this,
            [this] { guarded([this] { cb_baudrateChange(); }); });
    connect(cb_da, &QComboBox::activated, this, [this] { guarded([this] { cb_daChange(); }); });
    connect(cb_sa, &QComboBox::activated, this, [this] { guarded([this] { cb_saChange(); }); });
    connect(tl_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(tl_cancel, &QPushButton::clicked, this, [this] {
        // The dialog closes with Cancel even when the restore fails.
        guarded([this] { tl_cancelClick(); });
        done(QDialog::Rejected);
    });
    connect(tl_najit, &QPushButton::clicked, this, &Tport::tl_najitClick);
    connect(tl_prerusit, &QPushButton::clicked, this, &Tport::tl_prerusitClick);
    connect(Timer1, &QTimer::timeout, this, &Tport::Timer1Timer);
}

void Tport::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Tx20Error& e) {
        report_error(prompts_, e);
    }
}

// ---- line operations ----

void Tport::open_port(int n) {
    com_ = n;
    if (n != 0) chosen_com_ = n;
    cb_com->setCurrentIndex(n);
    const QString name = port_name(n);
    const QString device = settings_.port_device(name);
    try {
        on_line([this, name, device, baud = baud_] { line_.open(name, device, baud); });
    } catch (const PortError& e) {
        cb_com->setCurrentIndex(0);
        com_ = 0;
        emit port_open_failed(name, device, e.message());
        throw;
    }
    emit port_opened(name, device);
}

void Tport::reinit_port() {
    // Named after the port that was meant, before anything changes.
    const QString name = port_name(com_);
    try {
        on_line([this, name, baud = baud_] { line_.apply_rate(name, baud); });
    } catch (const PortError&) {
        cb_com->setCurrentIndex(0);
        com_ = 0;
        throw;
    }
}

void Tport::close_port() {
    on_line([this] { line_.close(); });
    emit port_closed(port_name(com_));
}

// The line belongs to the bus worker: it changes between exchanges, never during one.
void Tport::on_line(std::function<void()> change) {
    requests_.run([change = std::move(change)](RequestLayer&) {
        change();
        return true;
    });
}

// ---- form ----

void Tport::FormCreate() {
    sa_ = settings_.read_int(kSectionAddress, QStringLiteral("SA"), 0);
    da_ = settings_.read_int(kSectionAddress, QStringLiteral("DA"), 0);
    com_ = settings_.read_int(kSectionPort, QStringLiteral("COM"), 1);
    baud_ = settings_.read_int(kSectionPort, QStringLiteral("BAUDRATE"), 9600);

    cb_sa->setCurrentIndex(sa_);
    requests_.set_computer_address(static_cast<std::uint8_t>(sa_));
    cb_da->setCurrentIndex(da_);
    requests_.set_device_address(static_cast<std::uint8_t>(da_));

    for (qint32 r : kRates) cb_baudrate->addItem(QString::number(r));
    select_rate(baud_);
    update_port_hints();

    try {
        open_port(com_);
    } catch (const PortError& e) {
        report_error(prompts_, e);
        return;
    }
    save_baseline();
}

void Tport::FormShow() {
    // The parameter editor may have moved the controller to another address.
    da_ = requests_.device_address();
    cb_da->setCurrentIndex(da_);
    update_port_hints();
    save_baseline();
}

void Tport::FormClose() {
    settings_.write_int(kSectionAddress, QStringLiteral("SA"), sa_);
    settings_.write_int(kSectionAddress, QStringLiteral("DA"), da_);
    settings_.write_int(kSectionPort, QStringLiteral("BAUDRATE"), baud_);
    // "No port" is never persisted: the next start tries COM1.
    if (com_ == 0) com_ = 1;
    settings_.write_int(kSectionPort, QStringLiteral("COM"), com_);
    settings_.sync();
}

void Tport::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void Tport::done(int r) {
    // Every way of closing ends here (OK, Storno, Esc, the close box); a second call
    // on the hidden dialog must not write the settings again.
    if (isVisible()) FormClose();
    QDialog::done(r);
}

void Tport::keyPressEvent(QKeyEvent* e) {
    // Esc is the Storno button, and like it does nothing while a search runs.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        if (tl_cancel->isEnabled()) tl_cancel->click();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void Tport::update_port_hints() {
    // Outside Windows each COMn is a mapped device path; show it on the list's items.
    for (int i = 1; i <= 8; ++i) {
        const QString name = port_name(i);
        const QString device = settings_.port_device(name);
        QVariant hint;
        if (device != name) {
            // Checked at every showing: USB adapters come and go.
            hint = QFileInfo::exists(device) ? device
                                             : device + QStringLiteral(" – zařízení neexistuje");
        }
        cb_com->setItemData(i, hint, Qt::ToolTipRole);
    }
}

void Tport::select_rate(qint32 rate) {
    cb_baudrate->setCurrentIndex(cb_baudrate->findText(QString::number(rate), Qt::MatchExactly));
}

void Tport::save_baseline() {
    saved_com_ = com_;
    saved_baud_ = baud_;
    saved_da_ = da_;
    saved_sa_ = sa_;
}

bool Tport::settings_changed() const {
    return com_ != saved_com_ || baud_ != saved_baud_ || da_ != saved_da_ || sa_ != saved_sa_;
}

// ---- lists ----

void Tport::reopen_port() {
    if (chosen_com_ == 0) return;
    cb_com->setCurrentIndex(chosen_com_);
    guarded([this] { cb_comChange(); });
}

void Tport::cb_comChange() {
    com_ = cb_com->currentIndex();
    // "No port" only forgets the number; the open port stays in use.
    if (com_ != 0) {
        close_port();
        open_port(com_);
    }
}

void Tport::cb_baudrateChange() {
    bool ok = false;
    const qint32 rate = cb_baudrate->currentText().toInt(&ok);
    if (!ok) return;
    baud_ = rate;
    reinit_port();
}

void Tport::cb_daChange() {
    da_ = cb_da->currentIndex();
    requests_.set_device_address(static_cast<std::uint8_t>(da_));
}

void Tport::select_device(int address) {
    cb_da->setCurrentIndex(address);
    cb_daChange();
    settings_.write_int(kSectionAddress, QStringLiteral("DA"), da_);
    settings_.sync();
}

void Tport::cb_saChange() {
    sa_ = cb_sa->currentIndex();
    requests_.set_computer_address(static_cast<std::uint8_t>(sa_));
}

void Tport::tl_cancelClick() {
    if (!settings_changed()) return;
    const PromptAnswer answer = prompts_.message(
        QStringLiteral("Byly provedeny změny v nastavení.\nOpravdu se chceš vrátit k původnímu "
                       "nastavení?"),
        QStringLiteral("Dotaz"), PromptIcon::Question, PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes) {
        save_baseline();
        return;
    }
    // The saved values are applied as such, not read back from the lists: a stored
    // rate that the list does not offer must still come back. A port error ends the
    // restore here.
    if (com_ != saved_com_) {
        com_ = saved_com_;
        cb_com->setCurrentIndex(com_);
        if (com_ != 0) {
            close_port();
            open_port(com_);
        }
    }
    if (baud_ != saved_baud_) {
        baud_ = saved_baud_;
        select_rate(baud_);
        reinit_port();
    }
    if (da_ != saved_da_) {
        da_ = saved_da_;
        cb_da->setCurrentIndex(da_);
        requests_.set_device_address(static_cast<std::uint8_t>(da_));
    }
    if (sa_ != saved_sa_) {
        sa_ = saved_sa_;
        cb_sa->setCurrentIndex(sa_);
        requests_.set_computer_address(static_cast<std::uint8_t>(sa_));
    }
}

// ---- address search ----

bool Tport::searching() const { return Timer1->isActive(); }

void Tport::set_search_controls(bool searching) {
    tl_prerusit->setEnabled(searching);
    for (QWidget* w :
         std::initializer_list<QWidget*>{tl_ok, tl_cancel, cb_com, cb_baudrate, cb_da, cb_sa})
        w->setEnabled(!searching);
}

void Tport::set_cell(int address, const QString& text) {
    str_tab->item(address / kGridColumns, address % kGridColumns)->setText(text);
}

void Tport::tl_najitClick() {
    set_search_controls(true);
    for (int a = 0; a < kAddressCount; ++a) set_cell(a, QStringLiteral(" "));
    search_next_ = 0;
    ++search_round_;
    missed_tick_ = false;
    Timer1->start();
}

void Tport::Timer1Timer() {
    if (search_next_ >= kAddressCount) {  // nothing left to probe
        tl_prerusitClick();
        return;
    }
    // A probe still on the line lets this tick pass.
    if (probe_pending_) {
        missed_tick_ = true;
        return;
    }
    // Each probe is complete in itself: the request layer keeps the user's address for
    // other windows' requests.
    const int a = search_next_;
    str_tab->setCurrentCell(a / kGridColumns, a % kGridColumns);
    probe_pending_ = true;
    requests_.post(
        [a](RequestLayer& r) {
            r.set_device_address(static_cast<std::uint8_t>(a));
            return r.probe_station();
        },
        [self = QPointer<Tport>(this), a, round = search_round_](bool answered) {
            if (!self) return;
            self->probe_pending_ = false;
            // A search started again meanwhile has no use for this answer.
            if (self->search_round_ == round) self->probed(a, answered);
        });
}

void Tport::probed(int a, bool answered) {
    if (answered) set_cell(a, QString::number(a));
    search_next_ = a + 1;
    if (!searching()) return;
    if (search_next_ >= kAddressCount) {
        tl_prerusitClick();
    } else if (missed_tick_) {
        // A tick missed while the probe was out comes at once, as it would
        // have after a blocking probe.
        missed_tick_ = false;
        Timer1->start();
        Timer1Timer();
    }
}

void Tport::tl_prerusitClick() {
    Timer1->stop();
    set_search_controls(false);
}
