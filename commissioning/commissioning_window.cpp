#include "commissioning/commissioning_window.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "bus/address_list.h"
#include "comm/bus_worker.h"
#include "params/parameter_file.h"
#include "platform/prompts.h"

using namespace commissioning;

namespace {

const char* const kTitle = "Porovnání a klonování parametrů";
const char* const kCloneCaption = "Klonování";
const char* const kReportCaption = "Protokol";
const QColor kDiffColour(0xFF, 0xD8, 0xA8);
const QColor kRefusedColour(0xC0, 0x00, 0x00);

enum Column { ColName, ColMeaning, ColA, ColB, ColClone };
enum ResultColumn { ResAddress, ResIdent, ResTables, ResOutcome };

std::optional<QString> ask_targets_dialog(QWidget* parent) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, QString::fromUtf8(kCloneCaption),
                                               QStringLiteral("Cílové adresy (např. 1-5,9):"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<CommissioningWindow::ReportFields> ask_report_dialog(QWidget* parent,
                                                                   bool with_changes) {
    QDialog d(parent);
    d.setWindowTitle(QString::fromUtf8(kReportCaption));
    auto* form = new QFormLayout(&d);
    auto* technician = new QLineEdit(&d);
    auto* note = new QPlainTextEdit(&d);
    note->setFixedHeight(80);
    form->addRow(QStringLiteral("Technik:"), technician);
    form->addRow(QStringLiteral("Poznámka:"), note);
    // The protocol is handed to the customer: the password stays out unless asked for.
    auto* password = new QCheckBox(QStringLiteral("uvést heslo (PASS)"), &d);
    form->addRow(QString(), password);
    // Today's visit unless the user says otherwise.
    const QDateTime now = QDateTime::currentDateTime();
    auto* changes = new QCheckBox(QStringLiteral("uvést provedené změny od"), &d);
    changes->setObjectName(QStringLiteral("check_zmeny"));
    changes->setChecked(with_changes);
    changes->setEnabled(with_changes);
    auto* from = new QDateTimeEdit(QDateTime(now.date(), QTime(0, 0)), &d);
    from->setObjectName(QStringLiteral("ed_zmeny_od"));
    auto* to = new QDateTimeEdit(now, &d);
    to->setObjectName(QStringLiteral("ed_zmeny_do"));
    for (QDateTimeEdit* e : {from, to}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("d.M.yyyy HH:mm"));
        e->setEnabled(with_changes);
        QObject::connect(changes, &QCheckBox::toggled, e, &QWidget::setEnabled);
    }
    auto* range = new QHBoxLayout;
    range->addWidget(changes);
    range->addWidget(from);
    range->addWidget(new QLabel(QStringLiteral("do"), &d));
    range->addWidget(to);
    range->addStretch(1);
    form->addRow(QString(), range);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    CommissioningWindow::ReportFields r{
        technician->text(), note->toPlainText(), password->isChecked(), {}};
    // The end minute is taken whole.
    if (changes->isChecked())
        r.changes = std::make_pair(from->dateTime(), to->dateTime().addSecs(59));
    return r;
}

}  // namespace

CommissioningWindow::CommissioningWindow(BusWorker& bus, Prompts& prompts, Context context,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), prompts_(prompts), context_(std::move(context)) {
    setObjectName(QStringLiteral("commissioning"));
    setWindowTitle(QString::fromUtf8(kTitle));
    resize(900, 760);
    asks_.targets = [this] { return ask_targets_dialog(this); };
    asks_.report_fields = [this] {
        return ask_report_dialog(this, static_cast<bool>(context_.changes));
    };

    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(build_source(0, QStringLiteral("Zdroj A (reference)")));
    top->addWidget(build_source(1, QStringLiteral("Zdroj B")));
    outer->addLayout(top);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("parameters"));
    tree_->setColumnCount(5);
    tree_->setHeaderLabels({QStringLiteral("Parametr"), QStringLiteral("Význam"),
                            QStringLiteral("Hodnota A"), QStringLiteral("Hodnota B"),
                            QStringLiteral("Klonování")});
    tree_->setRootIsDecorated(false);
    tree_->setUniformRowHeights(true);
    rows_.assign(params::catalogue().size(), nullptr);
    for (const params::TabDef& t : params::tabs()) {
        auto* group = new QTreeWidgetItem(tree_, {QString::fromLatin1(t.caption)});
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        group->setFirstColumnSpanned(true);
        for (const params::ParamDef* p : params::tab_params(t.position)) {
            const QString name =
                *p->mnemonic ? QString::fromLatin1(p->mnemonic) : QStringLiteral("ADRESA");
            auto* item = new QTreeWidgetItem(
                group, {name, QString::fromUtf8(p->label).replace(QLatin1Char('\n'), ' ')});
            rows_[static_cast<std::size_t>(param_index(*p))] = item;
        }
    }
    tree_->expandAll();
    tree_->header()->setSectionResizeMode(ColMeaning, QHeaderView::Stretch);
    tree_->setColumnWidth(ColName, 80);
    tree_->setColumnWidth(ColA, 170);
    tree_->setColumnWidth(ColB, 170);
    tree_->setColumnWidth(ColClone, 90);
    tree_->header()->setStretchLastSection(false);
    outer->addWidget(tree_, 3);

    auto* counts = new QHBoxLayout;
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    only_diff_ = new QCheckBox(QStringLiteral("jen rozdíly"), this);
    only_diff_->setObjectName(QStringLiteral("only_differences"));
    counts->addWidget(count_);
    counts->addSpacing(20);
    counts->addWidget(only_diff_);
    counts->addStretch(1);
    outer->addLayout(counts);
    connect(only_diff_, &QCheckBox::toggled, this, [this] { refresh(); });

    auto* actions = new QHBoxLayout;
    eeprom_ = new QCheckBox(QStringLiteral("zapsat do EEPROM"), this);
    eeprom_->setObjectName(QStringLiteral("eeprom"));
    password_ = new QCheckBox(QStringLiteral("klonovat i heslo (PASS)"), this);
    password_->setObjectName(QStringLiteral("with_password"));
    connect(password_, &QCheckBox::toggled, this, [this] { refresh(); });
    clone_ = new QPushButton(QStringLiteral("Klonovat..."), this);
    clone_->setObjectName(QStringLiteral("clone"));
    stop_ = new QPushButton(QStringLiteral("Přerušit"), this);
    stop_->setObjectName(QStringLiteral("stop"));
    stop_->setEnabled(false);
    report_ = new QPushButton(QStringLiteral("Protokol (PDF)..."), this);
    report_->setObjectName(QStringLiteral("report"));
    print_ = new QPushButton(QStringLiteral("Tisk..."), this);
    print_->setObjectName(QStringLiteral("print"));
    for (QWidget* w : std::initializer_list<QWidget*>{eeprom_, password_, clone_, stop_})
        actions->addWidget(w);
    actions->addStretch(1);
    actions->addWidget(report_);
    actions->addWidget(print_);
    outer->addLayout(actions);
    connect(clone_, &QPushButton::clicked, this, [this] { clone_click(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stop_click(); });
    connect(report_, &QPushButton::clicked, this, [this] { report_click(); });
    connect(print_, &QPushButton::clicked, this, [this] { print_click(); });

    results_ = new QTableWidget(0, 4, this);
    results_->setObjectName(QStringLiteral("results"));
    results_->setHorizontalHeaderLabels({QStringLiteral("Adresa"), QStringLiteral("Identifikace"),
                                         QStringLiteral("Zapsané tabulky"),
                                         QStringLiteral("Výsledek")});
    results_->horizontalHeader()->setSectionResizeMode(ResOutcome, QHeaderView::Stretch);
    results_->verticalHeader()->hide();
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outer->addWidget(results_, 1);

    refresh();
}

QWidget* CommissioningWindow::build_source(int side, const QString& caption) {
    SourceControls& c = sources_[static_cast<std::size_t>(side)];
    auto* box = new QGroupBox(caption, this);
    auto* grid = new QGridLayout(box);
    c.file = new QRadioButton(QStringLiteral("soubor"), box);
    c.address = new QRadioButton(QStringLiteral("regulátor na adrese"), box);
    c.path = new QLineEdit(box);
    c.station = new QSpinBox(box);
    c.station->setRange(1, 126);
    c.station->setValue(
        bus_.device_address() >= 1 && bus_.device_address() <= 126 ? bus_.device_address() : 1);
    c.browse = new QPushButton(QStringLiteral("..."), box);
    c.browse->setFixedWidth(30);
    c.load = new QPushButton(QStringLiteral("Načíst"), box);
    c.state = new QLabel(QStringLiteral("nenačteno"), box);
    c.state->setWordWrap(true);
    (side == 0 ? c.file : c.address)->setChecked(true);
    grid->addWidget(c.file, 0, 0);
    grid->addWidget(c.path, 0, 1);
    grid->addWidget(c.browse, 0, 2);
    grid->addWidget(c.address, 1, 0);
    grid->addWidget(c.station, 1, 1, Qt::AlignLeft);
    grid->addWidget(c.load, 1, 2);
    grid->addWidget(c.state, 2, 0, 1, 3);
    connect(c.browse, &QPushButton::clicked, this, [this, side] {
        const auto path = prompts_.open_file(parameter_file::open_request());
        if (path) choose_file(side, *path);
    });
    connect(c.load, &QPushButton::clicked, this, [this, side] { load(side); });
    return box;
}

void CommissioningWindow::choose_file(int side, const QString& path) {
    SourceControls& c = sources_[static_cast<std::size_t>(side)];
    c.file->setChecked(true);
    c.path->setText(path);
}

void CommissioningWindow::choose_address(int side, int address) {
    SourceControls& c = sources_[static_cast<std::size_t>(side)];
    c.address->setChecked(true);
    c.station->setValue(address);
}

void CommissioningWindow::error(const QString& text, const QString& caption) {
    prompts_.message(text, caption, PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
}

void CommissioningWindow::load(int side) {
    // The results belong to the sets they were made with.
    results_->setRowCount(0);
    reload(side);
}

void CommissioningWindow::reload(int side) {
    SourceControls& c = sources_[static_cast<std::size_t>(side)];
    if (c.file->isChecked()) {
        QStringList why;
        auto s = load_file(c.path->text(), &why);
        if (!s) {
            c.state->setText(QStringLiteral("nenačteno"));
            error(why.join(QLatin1Char('\n')), QStringLiteral("INI SOUBOR"));
        }
        set_loaded(side, std::move(s), std::nullopt);
        return;
    }
    const int address = c.station->value();
    struct Result {
        std::optional<ParameterSet> set;
        std::optional<int> serial;
        QString error;
    };
    auto result = std::make_shared<Result>();
    ++reading_[static_cast<std::size_t>(side)];
    c.load->setEnabled(false);
    c.state->setText(QStringLiteral("čtení z adresy %1...").arg(address));
    QPointer<CommissioningWindow> self(this);
    bus_.post_session(
        [result, address](BusSession& s) {
            result->set = read_controller(s, address, &result->error);
            if (result->set) {
                // The serial number, for the report.
                DeviceData d;
                if (s.read(address, static_cast<int>(TableId::TAB_INPUTS), d))
                    result->serial = d.inputs.IN[23];
            }
            return result->set.has_value();
        },
        [self, side, result](bool) {
            if (!self) return;
            SourceControls& c = self->sources_[static_cast<std::size_t>(side)];
            --self->reading_[static_cast<std::size_t>(side)];
            c.load->setEnabled(!self->cloning_);
            if (!result->set) {
                c.state->setText(QStringLiteral("nenačteno: %1").arg(result->error));
                self->error(result->error, QStringLiteral("Komunikace"));
            }
            self->set_loaded(side, std::move(result->set), result->serial);
        });
}

void CommissioningWindow::set_loaded(int side, std::optional<ParameterSet> s,
                                     std::optional<int> serial) {
    const auto i = static_cast<std::size_t>(side);
    sets_[i] = std::move(s);
    serials_[i] = serial;
    if (sets_[i]) {
        QString text = sets_[i]->source.is_file()
                           ? QStringLiteral("soubor %1").arg(sets_[i]->source.file)
                           : QStringLiteral("@%1: %2 %3")
                                 .arg(sets_[i]->source.address)
                                 .arg(sets_[i]->type_text, sets_[i]->version_text);
        int refused = 0;
        for (int p = 0; p < kParamCount; ++p) refused += sets_[i]->refused(p) ? 1 : 0;
        if (refused) text += QStringLiteral("; odmítnuté hodnoty: %1").arg(refused);
        sources_[i].state->setText(text);
    }
    refresh();
}

void CommissioningWindow::refresh() {
    const auto& a = sets_[0];
    const auto& b = sets_[1];
    CloneOptions o;
    o.with_password = password_->isChecked();
    differences_ = 0;
    int uncounted = 0;
    for (int i = 0; i < kParamCount; ++i) {
        QTreeWidgetItem* item = rows_[static_cast<std::size_t>(i)];
        const bool diff = a && b && differs(*a, *b, i);
        // A parameter the clone never writes (the address) is shown, not counted.
        const bool counted = diff && clone_writes(i, o);
        differences_ += counted ? 1 : 0;
        uncounted += diff && !counted ? 1 : 0;
        const std::array<const std::optional<ParameterSet>*, 2> sides{{&a, &b}};
        for (int s = 0; s < 2; ++s) {
            const auto& set = *sides[static_cast<std::size_t>(s)];
            const int col = s == 0 ? ColA : ColB;
            QString text;
            QString tip;
            if (set && set->has(i))
                text = set->shown(i);
            else if (set)
                text = QStringLiteral("–");
            if (set && set->refused(i)) {
                tip = QStringLiteral("odmítnuto: %1")
                          .arg(set->refused_reason[static_cast<std::size_t>(i)]);
                text += QStringLiteral("  (odmítnuto)");
            }
            item->setText(col, text);
            item->setToolTip(col, tip);
            item->setForeground(col, set && set->refused(i) ? QBrush(kRefusedColour) : QBrush());
        }
        const bool excluded = !clone_writes(i, o);
        item->setText(ColClone, excluded ? QStringLiteral("vyloučeno") : QString());
        for (int col = 0; col < 5; ++col) {
            item->setBackground(col, diff ? QBrush(kDiffColour) : QBrush());
            QFont f = item->font(col);
            f.setItalic(excluded);
            item->setFont(col, f);
        }
        item->setHidden(only_diff_->isChecked() && !diff);
    }
    // A tab with nothing left to show goes too.
    for (int t = 0; t < tree_->topLevelItemCount(); ++t) {
        QTreeWidgetItem* group = tree_->topLevelItem(t);
        bool any = false;
        for (int c = 0; c < group->childCount(); ++c) any = any || !group->child(c)->isHidden();
        group->setHidden(!any);
    }
    QString count =
        a && b ? QStringLiteral("Rozdílů: %1").arg(differences_) : QStringLiteral("Rozdílů: –");
    if (uncounted > 0)
        count += QStringLiteral(" (a %1 v parametrech, které klonování nezapisuje)").arg(uncounted);
    count_->setText(count);
}

void CommissioningWindow::set_busy(bool busy) {
    cloning_ = busy;
    clone_->setEnabled(!busy);
    stop_->setEnabled(busy);
    eeprom_->setEnabled(!busy);
    password_->setEnabled(!busy);
    for (SourceControls& c : sources_) c.load->setEnabled(!busy);
}

void CommissioningWindow::clone_click() {
    if (cloning_) return;
    if (!sets_[0]) {
        error(QStringLiteral("Nejprve načtěte referenci (zdroj A)."),
              QString::fromUtf8(kCloneCaption));
        return;
    }
    CloneOptions o;
    o.eeprom = eeprom_->isChecked();
    o.with_password = password_->isChecked();
    // A controller's values go through the same rules as a file's.
    ParameterSet checked = *sets_[0];
    mark_refusals(checked);
    const std::vector<int> refused = blocking_refusals(checked, o);
    if (!refused.empty()) {
        QStringList keys;
        for (int i : refused) keys << param_key(i);
        error(QStringLiteral("Reference obsahuje odmítnuté hodnoty (%1); nic nebylo zapsáno.")
                  .arg(keys.join(QStringLiteral(", "))),
              QString::fromUtf8(kCloneCaption));
        return;
    }
    const auto text = asks_.targets ? asks_.targets() : std::nullopt;
    if (!text) return;
    QString why;
    const auto targets = address_list::parse(*text, &why);
    if (!targets) {
        error(QStringLiteral("Seznam adres: %1; nic nebylo zapsáno.").arg(why),
              QString::fromUtf8(kCloneCaption));
        return;
    }
    reference_ = *sets_[0];
    clone_options_ = o;
    targets_ = *targets;
    next_target_ = 0;
    stop_asked_ = false;
    // First every target is read and planned, as a dry run; nothing is written before
    // the user has seen what will change.
    planning_ = true;
    plans_.clear();
    results_->setRowCount(static_cast<int>(targets_.size()));
    for (int row = 0; row < results_->rowCount(); ++row) {
        results_->setItem(
            row, ResAddress,
            new QTableWidgetItem(QString::number(targets_[static_cast<std::size_t>(row)])));
        for (int col = ResIdent; col <= ResOutcome; ++col)
            results_->setItem(row, col, new QTableWidgetItem());
        results_->item(row, ResOutcome)->setText(QStringLiteral("čeká"));
    }
    set_busy(true);
    clone_next();
}

void CommissioningWindow::clone_next() {
    if (stop_asked_) {
        finish_clone();
        return;
    }
    if (next_target_ >= targets_.size()) {
        if (!planning_ || !confirm_plans()) {
            finish_clone();
            return;
        }
        planning_ = false;
        next_target_ = 0;
    }
    const int row = static_cast<int>(next_target_);
    const int address = targets_[next_target_++];
    results_->item(row, ResOutcome)
        ->setText(planning_ ? QStringLiteral("čtení...") : QStringLiteral("probíhá..."));
    auto result = std::make_shared<TargetResult>();
    const ParameterSet reference = reference_;
    CloneOptions o = clone_options_;
    o.dry_run = planning_;
    QPointer<CommissioningWindow> self(this);
    // One controller per job: the window paints between them and "Přerušit" takes
    // effect before the next one.
    bus_.post_session(
        [result, address, reference, o](BusSession& s) {
            *result = clone_target(s, address, reference, o);
            return result->verified();
        },
        [self, row, result](bool) {
            if (!self) return;
            if (self->planning_) {
                self->plans_.push_back(*result);
                self->results_->item(row, ResOutcome)
                    ->setText(result->identified ? QStringLiteral("čeká na potvrzení")
                                                 : result->status_text());
            } else {
                self->show_result(row, *result);
            }
            self->clone_next();
        });
}

bool CommissioningWindow::confirm_plans() {
    QStringList lines;
    lines << QStringLiteral("Klonování zapíše do regulátorů tyto hodnoty:");
    for (const TargetResult& plan : plans_) {
        if (!plan.identified) {
            lines << QStringLiteral("@%1: %2").arg(plan.address).arg(plan.status_text());
            continue;
        }
        if (plan.changes.empty()) {
            lines << QStringLiteral("@%1: nic, hodnoty jsou shodné").arg(plan.address);
            continue;
        }
        lines << QStringLiteral("@%1 (%2):").arg(plan.address).arg(plan.type_text);
        for (const PlannedChange& c : plan.changes) lines << QStringLiteral("    ") + c.text();
    }
    if (clone_options_.eeprom) lines << QStringLiteral("Poté uloží parametry do EEPROM.");
    lines << QString() << QStringLiteral("Zapsat?");
    return prompts_.message(lines.join(QLatin1Char('\n')), QString::fromUtf8(kCloneCaption),
                            PromptIcon::Question, PromptButtons::YesNo) == PromptAnswer::Yes;
}

void CommissioningWindow::show_result(int row, const TargetResult& r) {
    results_->item(row, ResIdent)->setText(r.identified ? r.type_text : QStringLiteral("ne"));
    results_->item(row, ResTables)
        ->setText(r.identified ? tables_text(r.tables_written) : QString());
    results_->item(row, ResOutcome)->setText(r.status_text());
    results_->item(row, ResOutcome)
        ->setForeground(r.verified() ? QBrush(Qt::darkGreen) : QBrush(kRefusedColour));
    emit target_done(r, reference_.source.text());
}

void CommissioningWindow::finish_clone() {
    // Controllers never reached are reported as such, never as done; after the plan
    // alone nothing was written to any.
    for (std::size_t i = planning_ ? 0 : next_target_; i < targets_.size(); ++i) {
        TargetResult skipped;
        skipped.address = targets_[i];
        if (planning_ && i < plans_.size()) skipped = plans_[i];
        show_result(static_cast<int>(i), skipped);
        if (planning_)
            results_->item(static_cast<int>(i), ResOutcome)->setText(QStringLiteral("nezapsáno"));
    }
    planning_ = false;
    next_target_ = targets_.size();
    set_busy(false);
    // A controller shown as B that was just written is shown as it now stands.
    if (sets_[1] && !sets_[1]->source.is_file() &&
        std::find(targets_.begin(), targets_.end(), sets_[1]->source.address) != targets_.end())
        reload(1);
}

void CommissioningWindow::stop_click() {
    if (cloning_) stop_asked_ = true;
}

std::optional<ReportInput> CommissioningWindow::report_input() {
    // The report is about a controller: B when it is one, else A; the other is the
    // reference.
    int side = -1;
    for (int s : {1, 0})
        if (side < 0 && sets_[static_cast<std::size_t>(s)] &&
            !sets_[static_cast<std::size_t>(s)]->source.is_file())
            side = s;
    if (side < 0) {
        error(QStringLiteral("Protokol potřebuje regulátor načtený jako zdroj A nebo B."),
              QString::fromUtf8(kReportCaption));
        return std::nullopt;
    }
    const auto fields = asks_.report_fields ? asks_.report_fields() : std::nullopt;
    if (!fields) return std::nullopt;
    ReportInput in;
    const ParameterSet& actual = *sets_[static_cast<std::size_t>(side)];
    in.when = QDateTime::currentDateTime();
    in.port = context_.port_name ? context_.port_name() : QString();
    in.rate = context_.rate ? context_.rate() : 0;
    in.address = actual.source.address;
    in.type_text = actual.type_text;
    in.version_text = actual.version_text;
    in.serial_number = serials_[static_cast<std::size_t>(side)];
    in.actual = actual;
    in.reference = sets_[static_cast<std::size_t>(1 - side)];
    // Everything on it is this controller's.
    if (context_.stats) {
        const auto all = context_.stats();
        const auto own = all.find(in.address);
        if (own != all.end()) in.stats.insert(*own);
    }
    if (context_.trend) in.trend = context_.trend(in.address);
    in.technician = fields->technician;
    in.note = fields->note;
    in.show_password = fields->show_password;
    if (fields->changes && context_.changes)
        in.changes = context_.changes(in.address, fields->changes->first, fields->changes->second);
    return in;
}

void CommissioningWindow::report_click() {
    const auto in = report_input();
    if (!in) return;
    FileDialogRequest r;
    r.file_name = QStringLiteral("Protokol KELVRA 20");
    r.default_suffix = QStringLiteral("pdf");
    r.filters = {QStringLiteral("Protokol PDF (*.pdf)")};
    r.overwrite_prompt = true;
    const auto path = prompts_.save_file(r);
    if (!path) return;
    QString reason;
    if (!write_report(*path, *in, &reason))
        error(QStringLiteral("Protokol nelze zapsat do %1: %2").arg(*path, reason),
              QString::fromUtf8(kReportCaption));
}

void CommissioningWindow::print_click() {
    const auto in = report_input();
    if (!in) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    print_report(*in, printer);
}
