#include "ident/load_form.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "ident/device_identity.h"
#include "platform/prompts.h"
#include "platform/window_placement.h"

Tload_form::Tload_form(BusWorker& requests, Prompts& prompts, Editor editor, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint),
      requests_(requests),
      prompts_(prompts),
      editor_(std::move(editor)) {
    setObjectName(QStringLiteral("load_form"));
    setWindowTitle(QStringLiteral("Čtení parametrů"));
    placement::keep_dialog_placement(*this, true);

    auto* wait = new QLabel(QStringLiteral("Čekejte prosím"), this);
    QFont f = wait->font();
    f.setPixelSize(16);
    wait->setFont(f);
    lb_verze = new QLabel(QStringLiteral("neidentifikováno"), this);
    lb_verze->setObjectName(QStringLiteral("lb_verze"));
    bar_load = new QProgressBar(this);
    bar_load->setObjectName(QStringLiteral("bar_load"));
    bar_load->setRange(0, 100);
    bar_load->setValue(0);
    bar_load->setTextVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wait, 0, Qt::AlignHCenter);
    layout->addWidget(lb_verze, 0, Qt::AlignHCenter);
    layout->addWidget(bar_load);
    setMinimumWidth(300);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5);
    connect(Timer1, &QTimer::timeout, this, &Tload_form::Timer1Timer);
}

void Tload_form::set_bar(int value) {
    bar_load->setValue(value);
    bar_history_.push_back(value);
}

void Tload_form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tload_form::FormShow() {
    bar_history_.clear();
    lb_verze->setText(QStringLiteral("neidentifikováno"));
    set_bar(0);
    if (editor_.apply_presets) editor_.apply_presets();
    requests_.data().rego.RESV = 0;
    working_ = true;
    // The short delay lets the dialog paint before the reading begins.
    Timer1->start();
}

void Tload_form::Timer1Timer() {
    Timer1->stop();
    {
        // An error that ends the reading leaves a dialog the user can close.
        const auto finished = qScopeGuard([this] { working_ = false; });
        ReadAllTables();
    }
    done(QDialog::Accepted);
}

void Tload_form::reject() {
    // Hiding the dialog would leave the reading going on with nothing on screen.
    if (working_) return;
    QDialog::reject();
}

IdentResult Tload_form::IdentifyDevice() {
    return identify(requests_,
                    [this](const DeviceIdentity& type) {
                        if (type.type_read) lb_verze->setText(type.type_text);
                        set_bar(20);
                        QApplication::processEvents();
                    })
        .model;
}

void Tload_form::StepProgress(int n) {
    set_bar(bar_load->value() + n > 100 ? 100 : bar_load->value() + n);
}

void Tload_form::ReadAllTables() {
    const int pages = editor_.page_count ? editor_.page_count() : kParameterTableCount;
    const int address = requests_.device_address();
    const IdentResult r = IdentifyDevice();
    emit identified(address, static_cast<int>(r));
    if (r == IdentResult::Unknown) {
        prompts_.message(QString::fromUtf8(kUnknownDevice), QStringLiteral("Komunikace"),
                         PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return;
    }
    if (r != IdentResult::Supported) {
        prompts_.message(QString::fromUtf8(kOlderModel), QStringLiteral("Komunikace"),
                         PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return;
    }
    bool failed = false;
    for (int i = 0; i < pages; ++i) {
        StepProgress(10);
        // A failed table keeps its earlier values; the loop goes on with the next one.
        const bool ok = requests_.read_table(i);
        emit table_read(address, i, ok);
        if (!ok) failed = true;
        requests_.pause_ms(10);
    }
    // The editor would show stale values or zeros for that tab, ready to be written back.
    if (failed) {
        prompts_.message(QStringLiteral("Chyba při čtení"), QStringLiteral("Komunikace"),
                         PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
        return;
    }
    if (pages >= kParameterTableCount && editor_.all_tables_read) editor_.all_tables_read();
}
