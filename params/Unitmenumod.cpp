#include "params/Unitmenumod.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "params/parameter_file.h"
#include "params/value_check.h"
#include "platform/errors.h"
#include "platform/prompts.h"

namespace {

const char* const kCaption = "KELVRA 20 DATA";
const char* const kEntryCaption = "CHYBA";
const char* const kRealEntryError = "Je nutné zadávat pouze čísla nebo desetinnou čárku";
const char* const kWholeEntryError = "Je nutné zadávat pouze čísla";
const char* const kLimitCaption = "Mezní hodnota";
const char* const kLimitMessage = " Žádaná hodnota je mimo hranice nastavení";
const char* const kCommCaption = "Komunikace";
const char* const kReadError = "Chyba při čtení";
const char* const kWriteError = "Chyba při zápisu";
const char* const kEepromError = "Chyba při zápisu do EEPROM";

constexpr int kAlarmTab = 1;
constexpr int kRegoTab = 3;
constexpr int kSetPointTab = 0;
constexpr int kAddTable = static_cast<int>(TableId::TAB_ADD);

const QColor kSilver(0xC0, 0xC0, 0xC0);

struct ButtonDef {
    const char* name;
    const char* caption;
    const char* hint;
    int x, y;
};

// Hides the progress bar however a handler ends.
class BarGuard {
  public:
    explicit BarGuard(QProgressBar* bar, bool reset) : bar_(bar), reset_(reset) {}
    ~BarGuard() {
        bar_->hide();
        if (reset_) bar_->setValue(0);
    }
    BarGuard(const BarGuard&) = delete;
    BarGuard& operator=(const BarGuard&) = delete;

  private:
    QProgressBar* bar_;
    bool reset_;
};

void show_bar(QProgressBar* bar, int value) {
    bar->setValue(value);
    bar->show();
    // Painted now: the exchange that follows may end before the next paint event.
    bar->repaint();
}

}  // namespace

Tmenu_mod::Tmenu_mod(BusWorker& request, Prompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      request_(request),
      prompts_(prompts) {
    setObjectName(QStringLiteral("menu_mod"));
    setWindowTitle(QString::fromUtf8(kCaption));
    QFont f(QStringLiteral("MS Sans Serif"), 8);
    f.setStyleHint(QFont::SansSerif);
    setFont(f);
    setFixedSize(672, 461);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setGeometry(24, 32, 609, 385);
    build_pages();
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int) {
        if (!selecting_) PageControlChange();
    });

    // Read and write lie over the tab area so that every tab has them.
    const ButtonDef buttons[] = {
        {"tl_cteni", "Čtení", "Čtení dat z regulátoru této karty", 96, 368},
        {"tl_zapis", "Zápis", "Zápis dat do regulátoru této karty", 240, 368},
        {"tl_eeprom", "EEPROM", "Zápis dat do EEPROM v regulátoru", 96, 424},
        {"tl_otevrit", "Otevřít...", "Načtení uložených dat ze souboru na karty regulátorů", 240,
         424},
        {"tl_ulozit", "Uložit...", "Uložení nastavených dat do souboru", 384, 424},
        {"tl_cancel", "Storno", "Opuštění nastavení regulátoru", 520, 424},
    };
    QPushButton** targets[] = {&tl_cteni,   &tl_zapis,  &tl_eeprom,
                               &tl_otevrit, &tl_ulozit, &tl_cancel};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(buttons[i].caption), this);
        b->setObjectName(QLatin1String(buttons[i].name));
        b->setToolTip(QString::fromUtf8(buttons[i].hint));
        b->setGeometry(buttons[i].x, buttons[i].y, 75, 25);
        // Enter in an edit must not start a device request.
        b->setAutoDefault(false);
        *targets[i] = b;
    }
    tl_eeprom->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(tl_cteni, &QPushButton::clicked, this, [this] { tl_cteniClick(); });
    connect(tl_zapis, &QPushButton::clicked, this, [this] { tl_zapisClick(); });
    connect(tl_eeprom, &QPushButton::clicked, this, [this] { tl_eepromClick(); });
    connect(tl_otevrit, &QPushButton::clicked, this, [this] { tl_otevritClick(); });
    connect(tl_ulozit, &QPushButton::clicked, this, [this] { tl_ulozitClick(); });
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject);

    bar_load = new QProgressBar(this);
    bar_load->setObjectName(QStringLiteral("bar_load"));
    bar_load->setGeometry(488, 376, 129, 9);
    bar_load->setRange(0, 100);
    bar_load->setValue(0);
    bar_load->setTextVisible(false);
    bar_load->hide();

    select_page(0);
    shown_tab_ = 0;
}

Tmenu_mod::~Tmenu_mod() {
    // Removing the pages while the base class deletes its children changes the current
    // tab; that must not reach this half-destroyed dialog.
    disconnect(PageControl, nullptr, this, nullptr);
}

void Tmenu_mod::build_pages() {
    const auto& cat = params::catalogue();
    controls_.assign(cat.size(), nullptr);
    for (const params::TabDef& t : params::tabs()) {
        auto* page = new QWidget;
        page->setObjectName(QLatin1String(t.page_name));
        page->setProperty("tag", static_cast<int>(t.table));
        auto* outer = new QVBoxLayout(page);
        outer->setContentsMargins(24, 20, 24, 0);

        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(16);
        grid->setVerticalSpacing(10);
        grid->setColumnMinimumWidth(0, 44);
        int row = 0;
        for (const params::ParamDef* p : params::tab_params(t.position)) {
            auto* mnemonic = new QLabel(QLatin1String(p->mnemonic));
            QFont bold = mnemonic->font();
            bold.setBold(true);
            mnemonic->setFont(bold);
            auto* label = new QLabel(QString::fromUtf8(p->label));
            QWidget* control = nullptr;
            if (params::is_list(p->kind)) {
                auto* cb = new QComboBox;
                for (int i = 0; i < p->entries.count; ++i) cb->addItem(p->entry(i));
                cb->setSizeAdjustPolicy(QComboBox::AdjustToContents);
                cb->setMinimumWidth(121);
                cb->setMaxVisibleItems(17);
                control = cb;
            } else {
                auto* ed = new QLineEdit;
                ed->setFixedWidth(121);
                control = ed;
            }
            control->setObjectName(QLatin1String(p->control));
            label->setBuddy(control);
            grid->addWidget(mnemonic, row, 0);
            grid->addWidget(label, row, 1);
            grid->addWidget(control, row, 2, Qt::AlignLeft);
            controls_[static_cast<std::size_t>(p - cat.data())] = control;
            ++row;
        }
        grid->setColumnStretch(3, 1);

        if (t.position == kSetPointTab) {
            auto* box = new QGroupBox(QStringLiteral("Nastavení"));
            box->setLayout(grid);
            outer->addWidget(box);
        } else {
            outer->addLayout(grid);
        }
        outer->addStretch(1);
        PageControl->addTab(page, QLatin1String(t.caption));
    }
    auto* splo = edit_of(*params::find_control(QStringLiteral("ed_splo1")));
    QPalette pal = splo->palette();
    pal.setColor(QPalette::Base, kSilver);
    splo->setPalette(pal);
    auto* rala = list_of(*params::find_control(QStringLiteral("cb_rala1")));
    connect(rala, &QComboBox::activated, this, [this](int) { cb_rala1Change(); });
}

QLineEdit* Tmenu_mod::edit_of(const params::ParamDef& p) const {
    return static_cast<QLineEdit*>(
        controls_[static_cast<std::size_t>(&p - params::catalogue().data())]);
}

QComboBox* Tmenu_mod::list_of(const params::ParamDef& p) const {
    return static_cast<QComboBox*>(
        controls_[static_cast<std::size_t>(&p - params::catalogue().data())]);
}

int Tmenu_mod::page_count() const { return PageControl->count(); }

void Tmenu_mod::select_page(int position) {
    selecting_ = true;
    PageControl->setCurrentIndex(position);
    selecting_ = false;
}

void Tmenu_mod::apply_presets() {
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.preset.set) continue;
        if (params::is_list(p.kind))
            list_of(p)->setCurrentIndex(p.preset.position);
        else
            edit_of(p)->setText(QString::fromUtf8(p.preset.text));
    }
    request_.data().rego.RESV = 0;
    cb_rala1Change();
    tables_read_ = false;
}

void Tmenu_mod::FillTab(int position) {
    if (position < 0 || position >= params::kTabCount) return;
    DeviceData& d = request_.data();
    for (const params::ParamDef* p : params::tab_params(position)) {
        if (params::is_list(p->kind))
            list_of(*p)->setCurrentIndex(params::list_position(*p, d));
        else
            edit_of(*p)->setText(params::edit_text(*p, d));
    }
    if (position == kAlarmTab) cb_rala1Change();
}

int Tmenu_mod::CollectTab(int position) {
    if (position < 0 || position >= params::kTabCount) return 0;
    DeviceData& d = request_.data();
    if (position == kSetPointTab) {
        // Set-point rule: SP_L <= SP <= SP_H, on the texts, before anything is stored.
        double v[3] = {};
        const char* names[3] = {"ed_sp", "ed_sp_l", "ed_sp_h"};
        for (int i = 0; i < 3; ++i) {
            const QString text = edit_of(*params::find_control(QLatin1String(names[i])))->text();
            const auto n = params::parse_number(text);
            if (!n)
                throw ConvertError(
                    QStringLiteral("'%1' is not a valid floating point value").arg(text));
            v[i] = *n;
        }
        if (!params::check_set_point(v[0], v[1], v[2]).ok()) {
            prompts_.message(QString::fromUtf8(kLimitMessage), QString::fromUtf8(kLimitCaption),
                             PromptIcon::Information, PromptButtons::Ok, PromptOwner::None);
            return 1;
        }
    }
    int failed = 0;
    for (const params::ParamDef* p : params::tab_params(position)) {
        if (params::is_list(p->kind))
            params::store_position(*p, d, list_of(*p)->currentIndex());
        else
            failed |= collect_edit(*p);  // every field is tried
    }
    if (position == kRegoTab) d.rego.RESV = 0;
    return failed;
}

int Tmenu_mod::collect_edit(const params::ParamDef& p) {
    const params::FieldRef f = p.field(request_.data());
    switch (p.kind) {
        case params::ValueKind::Real:
            return EditToReal(edit_of(p), *f.real);
        case params::ValueKind::Whole32:
            return EditToInt(edit_of(p), *f.i32);
        case params::ValueKind::Whole8:
            return EditToByte(edit_of(p), *f.i8);
        default:
            return 0;
    }
}

int Tmenu_mod::entry_failed(QLineEdit* edit, const QString& text) {
    prompts_.message(text, QString::fromUtf8(kEntryCaption), PromptIcon::Warning, PromptButtons::Ok,
                     PromptOwner::Application);
    edit->setText(QStringLiteral("0"));
    // Takes effect when the edit's tab is shown.
    pending_focus_ = edit;
    if (edit->isVisible()) {
        edit->setFocus();
        pending_focus_ = nullptr;
    }
    return 1;
}

int Tmenu_mod::EditToReal(QLineEdit* edit, float& field) {
    const auto v = params::parse_real(edit->text());
    field = v.value_or(0.0f);
    return v ? 0 : entry_failed(edit, QString::fromUtf8(kRealEntryError));
}

int Tmenu_mod::EditToInt(QLineEdit* edit, std::int32_t& field) {
    const auto v = params::parse_whole(edit->text());
    field = v.value_or(0);
    return v ? 0 : entry_failed(edit, QString::fromUtf8(kWholeEntryError));
}

int Tmenu_mod::EditToByte(QLineEdit* edit, std::int8_t& field) {
    // Only the low eight bits are kept (300 becomes 44).
    const auto v = params::parse_whole(edit->text());
    field = static_cast<std::int8_t>(static_cast<std::uint8_t>(v.value_or(0) & 0xFF));
    return v ? 0 : entry_failed(edit, QString::fromUtf8(kWholeEntryError));
}

void Tmenu_mod::cb_rala1Change() {
    const auto* rala = list_of(*params::find_control(QStringLiteral("cb_rala1")));
    auto* splo = edit_of(*params::find_control(QStringLiteral("ed_splo1")));
    // SPLO only matters with two limits (WIN, DWI); it stays editable either way.
    QPalette pal = splo->palette();
    pal.setColor(QPalette::Base, rala->currentIndex() >= 2
                                     ? QApplication::palette(splo).color(QPalette::Base)
                                     : kSilver);
    splo->setPalette(pal);
}

void Tmenu_mod::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void Tmenu_mod::FormShow() {
    select_page(0);
    FillTab(0);
    shown_tab_ = 0;
    entered_.fill(false);
    entered_[0] = true;
}

void Tmenu_mod::take_pending_focus() {
    if (pending_focus_ && PageControl->currentWidget()->isAncestorOf(pending_focus_)) {
        pending_focus_->setFocus();
        pending_focus_ = nullptr;
    }
}

void Tmenu_mod::PageControlChange() {
    const int chosen = PageControl->currentIndex();
    int r = 0;
    try {
        r = CollectTab(shown_tab_);
    } catch (...) {
        // Back to the tab whose text could not be converted; the error is reported above.
        select_page(shown_tab_);
        throw;
    }
    if (r != 0) {
        select_page(shown_tab_);
        take_pending_focus();
        return;
    }
    FillTab(chosen);
    shown_tab_ = chosen;
    if (chosen >= 0 && chosen < params::kTabCount)
        entered_[static_cast<std::size_t>(chosen)] = true;
    take_pending_focus();
}

void Tmenu_mod::communication_failed(const QString& text) {
    prompts_.message(text, QString::fromUtf8(kCommCaption), PromptIcon::Error, PromptButtons::Ok,
                     PromptOwner::None);
}

void Tmenu_mod::tl_cteniClick() {
    BarGuard guard(bar_load, true);
    show_bar(bar_load, 50);
    const int table = PageControl->currentWidget()->property("tag").toInt();
    bar_load->setValue(95);
    const int address = request_.device_address();
    const bool ok = request_.read_table(table);
    emit table_read(address, table, ok);
    if (!ok) communication_failed(QString::fromUtf8(kReadError));
    bar_load->setValue(100);
    // Also after a failure: DeviceData still holds the previous values.
    FillTab(PageControl->currentIndex());
}

void Tmenu_mod::tl_zapisClick() {
    BarGuard guard(bar_load, true);
    show_bar(bar_load, 50);
    const int table = PageControl->currentWidget()->property("tag").toInt();
    const int position = PageControl->currentIndex();
    bar_load->setValue(100);
    if (CollectTab(position) != 0) return;
    const int address = request_.device_address();
    const bool ok = request_.write_table(table);
    emit table_written(address, table, ok);
    if (!ok) {
        communication_failed(QString::fromUtf8(kWriteError));
        return;
    }
    // The controller now listens at its new address; follow it.
    if (table == kAddTable)
        request_.set_device_address(static_cast<std::uint8_t>(request_.data().add.ADD));
}

void Tmenu_mod::tl_eepromClick() {
    BarGuard guard(bar_load, false);
    show_bar(bar_load, 100);
    const int address = request_.device_address();
    const bool ok = request_.store_eeprom();
    emit eeprom_stored(address, ok);
    if (!ok) communication_failed(QString::fromUtf8(kEepromError));
}

void Tmenu_mod::tl_ulozitClick() {
    const auto path = prompts_.save_file(parameter_file::save_request());
    if (!path) return;
    // Right after a complete reading, a tab not yet entered still shows its presets
    // while DeviceData holds the controller's values: a backup must have the latter.
    if (tables_read_) {
        for (int position = 0; position < params::kTabCount; ++position) {
            if (entered_[static_cast<std::size_t>(position)]) continue;
            FillTab(position);
            entered_[static_cast<std::size_t>(position)] = true;
        }
    }
    // What the controls show, unchecked and uncollected.
    parameter_file::Contents contents;
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.ini_key) continue;
        parameter_file::ControlContent c;
        if (params::is_list(p.kind))
            c.position = list_of(p)->currentIndex();
        else
            c.text = edit_of(p)->text();
        contents.insert(QLatin1String(p.control), c);
    }
    parameter_file::save(*path, contents);
    emit file_saved(*path);
}

void Tmenu_mod::tl_otevritClick() {
    const auto path = prompts_.open_file(parameter_file::open_request());
    if (!path) return;
    const auto contents = parameter_file::load(*path);
    if (!contents) {
        prompts_.message(QString::fromUtf8(parameter_file::kWrongSignature),
                         QLatin1String(parameter_file::kWrongSignatureCaption), PromptIcon::Error,
                         PromptButtons::Ok, PromptOwner::Application);
        return;
    }
    // Tab by tab; a tab that fails to collect shows its messages and the next one
    // loads all the same. Nothing goes to the controller.
    for (int position = 0; position < params::kTabCount; ++position) {
        for (const params::ParamDef* p : params::tab_params(position)) {
            if (!p->ini_key) continue;  // TEAC keeps what its list shows
            const parameter_file::ControlContent c = contents->value(QLatin1String(p->control));
            if (params::is_list(p->kind)) {
                QComboBox* cb = list_of(*p);
                cb->setCurrentIndex(c.position >= 0 && c.position < cb->count() ? c.position : -1);
            } else {
                edit_of(*p)->setText(c.text);
            }
        }
        if (position == kAlarmTab) cb_rala1Change();
        entered_[static_cast<std::size_t>(position)] = true;  // the file's values stand
        CollectTab(position);
    }
}
