#include "alarms/alarms_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "journal/service_journal.h"
#include "journal/window_parts.h"
#include "platform/prompts.h"

namespace {

const QString kCaption = QStringLiteral("Alarmy");

enum AlarmColumn { AAddress, ACondition, APriority, AState, ASince, AValue, AAcked, AComment };
enum RuleColumn { RCondition, REnabled, RLimit, RDeadband, RDelay, RPriority };

// Unacknowledged alarms stand out most, the highest priority most of all; acknowledged
// ones are paler, shelved ones grey.
QColor colour_of(const AlarmStatus& s) {
    if (s.shelved) return QColor(0xD8, 0xD8, 0xD8);
    static const QColor unacked[] = {QColor(0xFF, 0x60, 0x60), QColor(0xFF, 0xA8, 0x40),
                                     QColor(0xFF, 0xE8, 0x50)};
    static const QColor acked[] = {QColor(0xFF, 0xC8, 0xC8), QColor(0xFF, 0xE0, 0xB8),
                                   QColor(0xFF, 0xF6, 0xC0)};
    const int p = std::clamp(s.priority, 1, 3) - 1;
    switch (s.state) {
        case AlarmState::ActiveUnacked:
            return unacked[p];
        case AlarmState::ActiveAcked:
            return acked[p];
        case AlarmState::ReturnedUnacked:
            return QColor(0xC8, 0xDC, 0xFF);
        case AlarmState::Normal:
            break;
    }
    return QColor(Qt::white);
}

QString format_time(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("d.M.yyyy HH:mm:ss"));
}

}  // namespace

AlarmsWindow::AlarmsWindow(ServiceJournal& journal, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), journal_(journal), prompts_(prompts) {
    setObjectName(QStringLiteral("alarms_window"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(900, 600);
    asks_.comment = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString t = QInputDialog::getText(this, kCaption, QStringLiteral("Poznámka:"),
                                                QLineEdit::Normal, {}, &ok);
        if (!ok) return std::nullopt;
        return t;
    };
    asks_.minutes = [this]() -> std::optional<int> {
        bool ok = false;
        const int m = QInputDialog::getInt(this, kCaption, QStringLiteral("Odložit na minut:"), 30,
                                           1, 24 * 60, 1, &ok);
        if (!ok) return std::nullopt;
        return m;
    };

    alarms_ = new QTableWidget(0, 8, this);
    alarms_->setObjectName(QStringLiteral("alarmy"));
    alarms_->setHorizontalHeaderLabels({QStringLiteral("Adresa"), QStringLiteral("Podmínka"),
                                        QStringLiteral("Priorita"), QStringLiteral("Stav"),
                                        QStringLiteral("Od"), QStringLiteral("Hodnota"),
                                        QStringLiteral("Potvrdil"), QStringLiteral("Poznámka")});
    window_parts::set_up_list(*alarms_, {55, 140, 65, 190, 150, 70, 80});
    tl_potvrdit = new QPushButton(QStringLiteral("Potvrdit..."), this);
    tl_potvrdit->setObjectName(QStringLiteral("tl_potvrdit"));
    tl_potvrdit_vse = new QPushButton(QStringLiteral("Potvrdit vše"), this);
    tl_potvrdit_vse->setObjectName(QStringLiteral("tl_potvrdit_vse"));
    tl_odlozit = new QPushButton(QStringLiteral("Odložit..."), this);
    tl_odlozit->setObjectName(QStringLiteral("tl_odlozit"));
    tl_odlozit->setToolTip(QStringLiteral("Skryje alarm na zvolenou dobu; pak se vrátí"));

    auto* rules_box = new QGroupBox(QStringLiteral("Pravidla regulátoru"), this);
    auto* lb_adresa = new QLabel(QStringLiteral("Adresa:"), rules_box);
    ed_adresa = new QSpinBox(rules_box);
    ed_adresa->setObjectName(QStringLiteral("ed_adresa"));
    ed_adresa->setRange(0, 126);
    ed_adresa->setValue(1);
    rules_ = new QTableWidget(kAlarmConditionCount, 6, rules_box);
    rules_->setObjectName(QStringLiteral("pravidla"));
    rules_->setHorizontalHeaderLabels({QStringLiteral("Podmínka"), QStringLiteral("Zapnuto"),
                                       QStringLiteral("Mez"), QStringLiteral("Necitlivost"),
                                       QStringLiteral("Zpoždění [s]"), QStringLiteral("Priorita")});
    rules_->verticalHeader()->hide();
    rules_->horizontalHeader()->setStretchLastSection(true);
    rules_->setColumnWidth(RCondition, 170);
    for (int row = 0; row < kAlarmConditionCount; ++row) {
        const auto c = static_cast<AlarmCondition>(row);
        auto* name = new QTableWidgetItem(condition_caption(c));
        name->setFlags(Qt::ItemIsEnabled);
        if (c == AlarmCondition::Relay)
            name->setToolTip(
                QStringLiteral("Mez: číslo výstupu 1..3; záporné číslo hlásí "
                               "vypnutý výstup"));
        rules_->setItem(row, RCondition, name);
        auto* on = new QCheckBox(rules_);
        rules_->setCellWidget(row, REnabled, on);
        for (int col : {RLimit, RDeadband, RDelay}) {
            auto* spin = new QDoubleSpinBox(rules_);
            spin->setDecimals(col == RDelay ? 0 : 2);
            spin->setRange(col == RLimit ? -99999 : 0, col == RDelay ? 3600 : 99999);
            const bool used = col == RDelay || c == AlarmCondition::High ||
                              c == AlarmCondition::Low || c == AlarmCondition::Deviation ||
                              (c == AlarmCondition::Relay && col == RLimit);
            spin->setEnabled(used);
            rules_->setCellWidget(row, col, spin);
        }
        auto* prio = new QComboBox(rules_);
        for (int p = 1; p <= 3; ++p) prio->addItem(priority_caption(p), p);
        rules_->setCellWidget(row, RPriority, prio);
    }
    // Every condition in view, no scrolling.
    rules_->resizeRowsToContents();
    int rows_height = rules_->horizontalHeader()->sizeHint().height() + 2 * rules_->frameWidth();
    for (int row = 0; row < kAlarmConditionCount; ++row) rows_height += rules_->rowHeight(row);
    rules_->setFixedHeight(rows_height);
    rules_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tl_ulozit = new QPushButton(QStringLiteral("Uložit pravidla"), rules_box);
    tl_ulozit->setObjectName(QStringLiteral("tl_ulozit"));
    tl_import = new QPushButton(QStringLiteral("Import..."), rules_box);
    tl_import->setObjectName(QStringLiteral("tl_import"));
    tl_export = new QPushButton(QStringLiteral("Export..."), rules_box);
    tl_export->setObjectName(QStringLiteral("tl_export"));

    auto* alarm_buttons = new QHBoxLayout;
    alarm_buttons->addWidget(tl_potvrdit);
    alarm_buttons->addWidget(tl_potvrdit_vse);
    alarm_buttons->addWidget(tl_odlozit);
    alarm_buttons->addStretch(1);
    auto* rule_top = new QHBoxLayout;
    rule_top->addWidget(lb_adresa);
    rule_top->addWidget(ed_adresa);
    rule_top->addStretch(1);
    rule_top->addWidget(tl_ulozit);
    rule_top->addWidget(tl_import);
    rule_top->addWidget(tl_export);
    auto* box_layout = new QVBoxLayout(rules_box);
    box_layout->addLayout(rule_top);
    box_layout->addWidget(rules_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(alarms_, 1);
    layout->addLayout(alarm_buttons);
    layout->addWidget(rules_box);

    connect(tl_potvrdit, &QPushButton::clicked, this, [this] { acknowledge_selected(); });
    connect(tl_potvrdit_vse, &QPushButton::clicked, this, [this] { acknowledge_all(); });
    connect(tl_odlozit, &QPushButton::clicked, this, [this] { shelve_selected(); });
    connect(ed_adresa, &QSpinBox::valueChanged, this, [this](int a) { show_rules(a); });
    connect(tl_ulozit, &QPushButton::clicked, this, [this] { save_rules(); });
    connect(tl_export, &QPushButton::clicked, this, [this] {
        if (const auto path = window_parts::ask_export_path(
                prompts_, {QStringLiteral("Export pravidel"), QStringLiteral("alarmy.json"),
                           QStringLiteral("json"), QStringLiteral("JSON (*.json)")}))
            export_rules(*path);
    });
    connect(tl_import, &QPushButton::clicked, this, [this] {
        FileDialogRequest r;
        r.title = QStringLiteral("Import pravidel");
        r.filters = {QStringLiteral("JSON (*.json)")};
        r.file_must_exist = true;
        if (const auto path = prompts_.open_file(r)) import_rules(*path);
    });
    connect(&journal_, &ServiceJournal::alarms_changed, this, [this] { refresh(); });
    show_rules(1);
    refresh();
}

void AlarmsWindow::refresh() {
    const auto list = journal_.alarms().list();
    alarms_->setRowCount(static_cast<int>(list.size()));
    shown_.clear();
    for (int row = 0; row < static_cast<int>(list.size()); ++row) {
        const AlarmStatus& s = list[static_cast<std::size_t>(row)];
        shown_.emplace_back(s.address, s.condition);
        QString state = state_caption(s.state);
        if (s.shelved)
            state = QStringLiteral("odloženo do %1")
                        .arg(QDateTime::fromMSecsSinceEpoch(s.shelved_until_ms)
                                 .toString(QStringLiteral("HH:mm")));
        if (s.chattering) state += QStringLiteral(", kmitá");
        const bool has_value = s.condition == AlarmCondition::High ||
                               s.condition == AlarmCondition::Low ||
                               s.condition == AlarmCondition::Deviation;
        const QString texts[] = {QString::number(s.address),
                                 condition_caption(s.condition),
                                 priority_caption(s.priority),
                                 state,
                                 format_time(s.since_ms),
                                 has_value ? QLocale().toString(s.value, 'f', 2) : QString(),
                                 s.acked_by,
                                 s.comment};
        for (int c = 0; c <= AComment; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setBackground(colour_of(s));
            item->setForeground(QColor(Qt::black));
            alarms_->setItem(row, c, item);
        }
    }
}

std::vector<int> AlarmsWindow::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : alarms_->selectionModel()->selectedRows()) rows.push_back(i.row());
    return rows;
}

void AlarmsWindow::acknowledge_selected() {
    const auto rows = selected_rows();
    if (rows.empty()) return;
    const auto comment = asks_.comment();
    if (!comment) return;
    const auto targets = shown_;
    for (int row : rows) {
        const auto& [address, c] = targets[static_cast<std::size_t>(row)];
        journal_.acknowledge(address, c, *comment);
    }
}

void AlarmsWindow::acknowledge_all() {
    const auto comment = asks_.comment();
    if (!comment) return;
    for (const AlarmStatus& s : journal_.alarms().list())
        if (is_unacked(s.state)) journal_.acknowledge(s.address, s.condition, *comment);
}

void AlarmsWindow::shelve_selected() {
    const auto rows = selected_rows();
    if (rows.empty()) return;
    const auto minutes = asks_.minutes();
    if (!minutes) return;
    const auto targets = shown_;
    for (int row : rows) {
        const auto& [address, c] = targets[static_cast<std::size_t>(row)];
        journal_.shelve(address, c, *minutes, {});
    }
}

void AlarmsWindow::show_rules(int address) {
    if (ed_adresa->value() != address) ed_adresa->setValue(address);  // comes back here
    fill_rules(journal_.rules(address));
}

void AlarmsWindow::fill_rules(const AlarmRules& r) {
    for (int row = 0; row < kAlarmConditionCount; ++row) {
        const AlarmRule& rule = r[static_cast<std::size_t>(row)];
        static_cast<QCheckBox*>(rules_->cellWidget(row, REnabled))->setChecked(rule.enabled);
        static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RLimit))->setValue(rule.limit);
        static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RDeadband))->setValue(rule.deadband);
        static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RDelay))->setValue(rule.delay_s);
        static_cast<QComboBox*>(rules_->cellWidget(row, RPriority))
            ->setCurrentIndex(rule.priority - 1);
    }
}

AlarmRules AlarmsWindow::shown_rules() const {
    AlarmRules r = default_rules();
    for (int row = 0; row < kAlarmConditionCount; ++row) {
        AlarmRule& rule = r[static_cast<std::size_t>(row)];
        rule.enabled = static_cast<QCheckBox*>(rules_->cellWidget(row, REnabled))->isChecked();
        rule.limit = static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RLimit))->value();
        rule.deadband = static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RDeadband))->value();
        rule.delay_s = static_cast<QDoubleSpinBox*>(rules_->cellWidget(row, RDelay))->value();
        rule.priority =
            static_cast<QComboBox*>(rules_->cellWidget(row, RPriority))->currentIndex() + 1;
    }
    return r;
}

void AlarmsWindow::save_rules() {
    if (!journal_.set_rules(ed_adresa->value(), shown_rules()))
        prompts_.message(QStringLiteral("Pravidla platí, ale deník je nemohl uložit."), kCaption,
                         PromptIcon::Warning, PromptButtons::Ok, PromptOwner::None);
}

bool AlarmsWindow::export_rules(const QString& path) {
    QJsonObject controllers;
    std::vector<int> addresses = journal_.journal().addresses_with_rules();
    if (std::find(addresses.begin(), addresses.end(), ed_adresa->value()) == addresses.end())
        addresses.push_back(ed_adresa->value());
    for (int a : addresses) {
        const AlarmRules r = a == ed_adresa->value() ? shown_rules() : journal_.rules(a);
        controllers.insert(QString::number(a),
                           QJsonDocument::fromJson(rules_to_json(r).toUtf8()).object());
    }
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("tx20_alarm_rules"), 1},
                                  {QStringLiteral("controllers"), controllers}})
            .toJson();
    return window_parts::write_export(prompts_, path, bytes, kCaption);
}

bool AlarmsWindow::import_rules(const QString& path) {
    QFile f(path);
    QJsonObject controllers;
    if (f.open(QIODevice::ReadOnly) && f.size() < 1'000'000)
        controllers = QJsonDocument::fromJson(f.readAll())
                          .object()
                          .value(QStringLiteral("controllers"))
                          .toObject();
    if (controllers.isEmpty()) {
        prompts_.message(QStringLiteral("Soubor %1 neobsahuje pravidla alarmů.")
                             .arg(QDir::toNativeSeparators(path)),
                         kCaption, PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return false;
    }
    for (auto it = controllers.begin(); it != controllers.end(); ++it) {
        bool ok = false;
        const int address = it.key().toInt(&ok);
        if (!ok || address < 0 || address > 126) continue;
        journal_.set_rules(
            address,
            rules_from_json(QString::fromUtf8(QJsonDocument(it.value().toObject()).toJson())));
    }
    show_rules(ed_adresa->value());
    return true;
}
