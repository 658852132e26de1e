#include "journal/journal_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "journal/journal_model.h"
#include "journal/journal_text.h"
#include "journal/service_journal.h"
#include "journal/window_parts.h"
#include "platform/prompts.h"

namespace {

const QString kCaption = QStringLiteral("Deník servisu");

}  // namespace

JournalWindow::JournalWindow(ServiceJournal& journal, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), journal_(journal), prompts_(prompts) {
    setObjectName(QStringLiteral("journal_window"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1040, 480);

    const QDateTime now = QDateTime::currentDateTime();
    check_od = new QCheckBox(QStringLiteral("Od:"), this);
    check_od->setObjectName(QStringLiteral("check_od"));
    ed_od = new QDateTimeEdit(now.addDays(-7), this);
    ed_od->setObjectName(QStringLiteral("ed_od"));
    ed_od->setCalendarPopup(true);
    ed_od->setDisplayFormat(QStringLiteral("d.M.yyyy HH:mm"));
    check_do = new QCheckBox(QStringLiteral("Do:"), this);
    check_do->setObjectName(QStringLiteral("check_do"));
    ed_do = new QDateTimeEdit(now, this);
    ed_do->setObjectName(QStringLiteral("ed_do"));
    ed_do->setCalendarPopup(true);
    ed_do->setDisplayFormat(QStringLiteral("d.M.yyyy HH:mm"));
    auto* lb_adresa = new QLabel(QStringLiteral("Adresa:"), this);
    ed_adresa = new QSpinBox(this);
    ed_adresa->setObjectName(QStringLiteral("ed_adresa"));
    ed_adresa->setRange(-1, 126);
    ed_adresa->setSpecialValueText(QStringLiteral("všechny"));
    ed_adresa->setValue(-1);
    auto* lb_druh = new QLabel(QStringLiteral("Druh:"), this);
    cb_druh = new QComboBox(this);
    cb_druh->setObjectName(QStringLiteral("cb_druh"));
    cb_druh->addItem(QStringLiteral("všechny"), -1);
    for (int k = 0; k < kJournalKindCount; ++k)
        cb_druh->addItem(kind_caption(static_cast<JournalKind>(k)), k);
    auto* lb_hledat = new QLabel(QStringLiteral("Hledat:"), this);
    ed_hledat = new QLineEdit(this);
    ed_hledat->setObjectName(QStringLiteral("ed_hledat"));
    ed_hledat->setClearButtonEnabled(true);
    ed_hledat->setPlaceholderText(QStringLiteral("text v popisu"));
    tl_export = new QPushButton(QStringLiteral("Export CSV..."), this);
    tl_export->setObjectName(QStringLiteral("tl_export"));

    model_ = new JournalModel(journal_.journal(), this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("view"));
    view_->setModel(model_);
    window_parts::set_up_list(*view_, {145, 80, 60, 190, 55, 80, 60});
    view_->setAlternatingRowColors(true);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    lb_stav = new QLabel(this);
    lb_stav->setObjectName(QStringLiteral("lb_stav"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(check_od);
    filters->addWidget(ed_od);
    filters->addWidget(check_do);
    filters->addWidget(ed_do);
    filters->addSpacing(8);
    filters->addWidget(lb_adresa);
    filters->addWidget(ed_adresa);
    filters->addWidget(lb_druh);
    filters->addWidget(cb_druh);
    filters->addWidget(lb_hledat);
    filters->addWidget(ed_hledat, 1);
    filters->addWidget(tl_export);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(view_, 1);
    layout->addWidget(lb_stav);

    for (QCheckBox* c : {check_od, check_do})
        connect(c, &QCheckBox::toggled, this, [this] { apply_filter(); });
    for (QDateTimeEdit* e : {ed_od, ed_do})
        connect(e, &QDateTimeEdit::dateTimeChanged, this, [this] {
            if (check_od->isChecked() || check_do->isChecked()) apply_filter();
        });
    connect(ed_adresa, &QSpinBox::valueChanged, this, [this] { apply_filter(); });
    connect(cb_druh, &QComboBox::currentIndexChanged, this, [this] { apply_filter(); });
    connect(ed_hledat, &QLineEdit::textChanged, this, [this] { apply_filter(); });
    connect(tl_export, &QPushButton::clicked, this, [this] { choose_export(); });

    // New entries show while the newest are in view; a stream of them costs one query
    // every half second at most.
    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(500);
    connect(refresh_, &QTimer::timeout, this, [this] {
        if (!isVisible()) return;
        if (view_->verticalScrollBar() && view_->verticalScrollBar()->value() > 0) return;
        model_->refresh();
        show_count();
    });
    connect(&journal_, &ServiceJournal::recorded, refresh_, [this] {
        if (isVisible() && !refresh_->isActive()) refresh_->start();
    });
}

JournalFilter JournalWindow::filter() const {
    JournalFilter f;
    if (check_od->isChecked()) f.since = ed_od->dateTime();
    if (check_do->isChecked()) f.until = ed_do->dateTime();
    if (ed_adresa->value() >= 0) f.address = ed_adresa->value();
    const int kind = cb_druh->currentData().toInt();
    if (kind >= 0) f.kind = static_cast<JournalKind>(kind);
    f.text = ed_hledat->text().trimmed();
    return f;
}

void JournalWindow::apply_filter() {
    model_->set_filter(filter());
    show_count();
}

void JournalWindow::show_count() {
    const int n = model_->rowCount();
    QString text = model_->canFetchMore({})
                       ? QStringLiteral("Zobrazeno prvních %1 záznamů (další při posunu)").arg(n)
                       : QStringLiteral("Záznamů: %1").arg(n);
    text += QStringLiteral("   ·   %1").arg(QDir::toNativeSeparators(journal_.journal().path()));
    const QString fault = journal_.journal().fault_text();
    if (!fault.isEmpty()) text += QStringLiteral("   ·   ") + fault;
    lb_stav->setText(text);
}

void JournalWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    apply_filter();
}

void JournalWindow::choose_export() {
    const auto path = window_parts::ask_export_path(
        prompts_, {QStringLiteral("Export CSV"), QStringLiteral("denik.csv"), QStringLiteral("csv"),
                   QStringLiteral("CSV (*.csv)")});
    if (path) export_csv(*path);
}

bool JournalWindow::export_csv(const QString& path) {
    QByteArray bytes;
    const qint64 n = journal_.journal().export_csv(
        filter(), [&bytes](const QByteArray& piece) { bytes += piece; });
    // A part of the journal would pass for all of it: nothing is written.
    if (n < 0) {
        const QString why = journal_.journal().fault_text();
        prompts_.message(why.isEmpty()
                             ? QStringLiteral("Deník servisu nelze přečíst.")
                             : QStringLiteral("Deník servisu nelze přečíst: %1.").arg(why),
                         kCaption, PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return false;
    }
    return window_parts::write_export(prompts_, path, bytes, kCaption);
}
