#include "tuning/tuning_window.h"

#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis/log_reader.h"
#include "bus/bus_session.h"
#include "comm/bus_worker.h"
#include "platform/prompts.h"
#include "platform/save_as.h"
#include "tuning/tuning_plot.h"
#include "tuning/tuning_report.h"

namespace {

const QString kCaption = QStringLiteral("Ladění regulační smyčky");

QString n(double v, int prec = 4) {
    if (!std::isfinite(v)) return QStringLiteral("∞");
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'g', prec);
}

// A response cut to where it has long settled, for the plots.
TuningPlot::Series cut(TuningPlot::Series s, double until) {
    std::size_t k = 0;
    while (k < s.x.size() && s.x[k] <= until) ++k;
    s.x.resize(k);
    s.y.resize(std::min(k, s.y.size()));
    return s;
}

QString sentence(QString s) {
    while (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s;
}

QString kind_text(ModelKind k) {
    switch (k) {
        case ModelKind::Fopdt:
            return QStringLiteral("první řád s dopravním zpožděním");
        case ModelKind::Sopdt:
            return QStringLiteral("druhý řád s dopravním zpožděním");
        case ModelKind::Integrating:
            return QStringLiteral("integrační s dopravním zpožděním");
    }
    return {};
}

// Slider position 0..100 to the share of θ for τc: 25 is τc = θ, left faster, right
// more robust (θ/2 .. 8θ).
double tau_c_factor(int v) { return std::pow(2.0, (v - 25) / 25.0); }

enum Row {
    RowPB,
    RowINT,
    RowDER,
    RowMs,
    RowGM,
    RowPM,
    RowOvershoot,
    RowSettling,
    RowIae,
    RowLoadIae,
    RowCount
};

QTableWidgetItem* cell(const QString& text) {
    auto* i = new QTableWidgetItem(text);
    i->setFlags(Qt::ItemIsEnabled);
    return i;
}

}  // namespace

TuningWindow::TuningWindow(BusWorker* bus, Prompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), prompts_(prompts) {
    setWindowTitle(kCaption);
    setObjectName(QStringLiteral("TuningWindow"));
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    clock_ = [timer] { return double(timer->elapsed()) / 1000.0; };
    build();
    update_model_view();
}

TuningWindow::~TuningWindow() {
    // The program ending: the set point goes back before the window does.
    restore_now();
}

void TuningWindow::build() {
    auto* top = new QVBoxLayout(this);
    source_label_ = new QLabel(this);
    top->addWidget(source_label_);
    tabs_ = new QTabWidget(this);
    top->addWidget(tabs_, 1);

    // Model.
    auto* model = new QWidget;
    auto* ml = new QVBoxLayout(model);
    model_plot_ = new TuningPlot;
    ml->addWidget(model_plot_, 1);
    model_text_ = new QLabel;
    model_text_->setWordWrap(true);
    model_text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ml->addWidget(model_text_);
    tabs_->addTab(model, QStringLiteral("Model"));

    // Proposal.
    auto* prop = new QWidget;
    auto* pl = new QGridLayout(prop);
    auto* rules = new QHBoxLayout;
    rules->addWidget(new QLabel(QStringLiteral("Pravidlo:")));
    rule_ = new QComboBox;
    for (TuningRule r :
         {TuningRule::Simc, TuningRule::Lambda, TuningRule::Amigo, TuningRule::ZieglerNichols})
        rule_->addItem(rule_title_cs(r), int(r));
    rules->addWidget(rule_);
    rules->addSpacing(12);
    rules->addWidget(new QLabel(QStringLiteral("rychlejší")));
    tau_c_ = new QSlider(Qt::Horizontal);
    tau_c_->setRange(0, 100);
    tau_c_->setValue(25);
    tau_c_->setMinimumWidth(140);
    rules->addWidget(tau_c_, 1);
    rules->addWidget(new QLabel(QStringLiteral("robustnější")));
    tau_c_text_ = new QLabel;
    tau_c_text_->setMinimumWidth(90);
    rules->addWidget(tau_c_text_);
    pl->addLayout(rules, 0, 0, 1, 2);
    proposal_ = new QTableWidget(RowCount, 2);
    proposal_->setHorizontalHeaderLabels({QStringLiteral("Současné"), QStringLiteral("Navržené")});
    proposal_->setVerticalHeaderLabels(
        {QStringLiteral("PB [%]"), QStringLiteral("INT [s]"), QStringLiteral("DER [s]"),
         QStringLiteral("Ms"), QStringLiteral("Amplitudová bezpečnost"),
         QStringLiteral("Fázová bezpečnost [°]"), QStringLiteral("Překmit [%]"),
         QStringLiteral("Doba ustálení 2 % [s]"), QStringLiteral("IAE na jednotku skoku"),
         QStringLiteral("IAE poruchy 10 %")});
    for (int r = 0; r < RowCount; ++r)
        for (int c = 0; c < 2; ++c) proposal_->setItem(r, c, cell(QString()));
    proposal_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    proposal_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    proposal_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    proposal_->setMinimumWidth(330);
    pl->addWidget(proposal_, 1, 0, 2, 1);
    setpoint_plot_ = new TuningPlot;
    load_plot_ = new TuningPlot;
    pl->addWidget(setpoint_plot_, 1, 1);
    pl->addWidget(load_plot_, 2, 1);
    convention_ =
        new QLabel(QStringLiteral("Konvence: ") + pid_convention::describe_cs() + QLatin1Char('.'));
    convention_->setWordWrap(true);
    pl->addWidget(convention_, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Načíst z regulátoru"));
    write_ = new QPushButton(QStringLiteral("Zapsat do regulátoru"));
    restore_ = new QPushButton(QStringLiteral("Vrátit původní"));
    restore_->setEnabled(false);
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addWidget(restore_);
    write_status_ = new QLabel;
    write_status_->setWordWrap(true);
    buttons->addWidget(write_status_, 1);
    pl->addLayout(buttons, 4, 0, 1, 2);
    pl->setColumnStretch(1, 1);
    tabs_->addTab(prop, QStringLiteral("Návrh"));

    // Step test.
    auto* step = new QWidget;
    auto* sl = new QVBoxLayout(step);
    auto* form = new QHBoxLayout;
    form->addWidget(new QLabel(QStringLiteral("Skok žádané hodnoty:")));
    step_size_ = new QDoubleSpinBox;
    step_size_->setRange(-1000, 1000);
    step_size_->setDecimals(2);
    step_size_->setValue(5);
    form->addWidget(step_size_);
    form->addSpacing(12);
    form->addWidget(new QLabel(QStringLiteral("Nejdéle [s]:")));
    step_max_ = new QSpinBox;
    step_max_->setRange(60, 86400);
    step_max_->setValue(900);
    form->addWidget(step_max_);
    form->addSpacing(12);
    step_start_ = new QPushButton(QStringLiteral("Krokový test"));
    step_stop_ = new QPushButton(QStringLiteral("Přerušit"));
    step_stop_->setEnabled(false);
    form->addWidget(step_start_);
    form->addWidget(step_stop_);
    form->addStretch(1);
    sl->addLayout(form);
    step_progress_ = new QProgressBar;
    step_progress_->setRange(0, 1000);
    step_progress_->setValue(0);
    sl->addWidget(step_progress_);
    step_status_ = new QLabel(QStringLiteral(
        "Test změní žádanou hodnotu o zadaný skok, zaznamenává jednou za sekundu a po ustálení, "
        "přerušení, zavření okna nebo výpadku spojení vrátí původní žádanou hodnotu."));
    step_status_->setWordWrap(true);
    sl->addWidget(step_status_);
    step_plot_ = new TuningPlot;
    sl->addWidget(step_plot_, 1);
    tabs_->addTab(step, QStringLiteral("Krokový test"));

    // Assessment.
    assessment_ = new QTableWidget(0, 1);
    assessment_->setHorizontalHeaderLabels({QStringLiteral("Hodnota")});
    assessment_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    assessment_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabs_->addTab(assessment_, QStringLiteral("Hodnocení"));

    auto* bottom = new QHBoxLayout;
    auto* open = new QPushButton(QStringLiteral("Otevřít záznam..."));
    pdf_ = new QPushButton(QStringLiteral("Protokol (PDF)..."));
    bottom->addWidget(open);
    bottom->addStretch(1);
    bottom->addWidget(pdf_);
    top->addLayout(bottom);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TuningWindow::step_tick);
    connect(rule_, &QComboBox::currentIndexChanged, this, [this] { update_proposal(); });
    connect(tau_c_, &QSlider::valueChanged, this, [this] { update_proposal(); });
    connect(read_, &QPushButton::clicked, this, [this] { read_current(true); });
    connect(write_, &QPushButton::clicked, this, &TuningWindow::write_proposal);
    connect(restore_, &QPushButton::clicked, this, &TuningWindow::restore_original);
    connect(step_start_, &QPushButton::clicked, this, &TuningWindow::start_step_test);
    connect(step_stop_, &QPushButton::clicked, this, &TuningWindow::stop_step_test);
    connect(pdf_, &QPushButton::clicked, this, &TuningWindow::save_protocol);
    connect(open, &QPushButton::clicked, this, [this] {
        FileDialogRequest r;
        r.title = kCaption;
        r.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)"),
                     QStringLiteral("Všechny soubory (*)")};
        r.file_must_exist = true;
        const auto path = prompts_.open_file(r);
        if (!path) return;
        LogReadResult read = LogReader::read_file(*path);
        if (!read.ok()) {
            prompts_.message(QStringLiteral("Záznam %1 nelze otevřít. %2")
                                 .arg(QDir::toNativeSeparators(*path), read.error),
                             kCaption, PromptIcon::Error);
            return;
        }
        set_record(LoopRecord::from_log(read.data, 0, read.data.size() - 1),
                   QFileInfo(*path).fileName());
    });
    resize(900, 620);
}

void TuningWindow::set_record(const LoopRecord& r, const QString& source) {
    record_ = r;
    source_ = source;
    study_ = study_loop(record_, choice(), loop_);
    assessed_ = assess_loop(record_);
    source_label_->setText(title_line());
    update_model_view();
    update_proposal();
    update_assessment();
}

QString TuningWindow::title_line() const {
    if (record_.size() == 0)
        return QStringLiteral("Žádný záznam: otevřete záznam nebo spusťte krokový test.");
    QString when = record_.start.isValid() ? QLocale().toString(record_.start, QLocale::ShortFormat)
                                           : QString();
    return QStringLiteral("%1: %2 vzorků, %3 s%4")
        .arg(source_)
        .arg(record_.size())
        .arg(n(record_.duration(), 6))
        .arg(when.isEmpty() ? QString() : QStringLiteral(", od ") + when);
}

RuleChoice TuningWindow::choice() const {
    RuleChoice c;
    c.rule = static_cast<TuningRule>(rule_->currentData().toInt());
    const Identification& id = study_.identification;
    const double theta = std::max(id.model.model.dead + 0.5 * loop_.sample_s, 1e-3);
    if (c.rule == TuningRule::Simc || c.rule == TuningRule::Lambda)
        c.tau_c = theta * tau_c_factor(tau_c_->value());
    return c;
}

void TuningWindow::update_model_view() {
    const Identification& id = study_.identification;
    std::vector<TuningPlot::Series> s;
    s.push_back(
        {QStringLiteral("měřená hodnota"), QColor(0, 90, 200), record_.t, record_.y, false, false});
    if (id.ok())
        s.push_back(
            {QStringLiteral("model"), QColor(220, 40, 40), record_.t, id.fitted, true, false});
    s.push_back({QStringLiteral("akční zásah [%]"), QColor(40, 150, 40), record_.t, record_.u,
                 false, true});
    model_plot_->set_series(std::move(s), QStringLiteral("měřená hodnota"),
                            QStringLiteral("akční zásah [%]"));
    if (record_.size() == 0) {
        model_text_->setText(QString());
        return;
    }
    if (!id.ok()) {
        model_text_->setText(
            QStringLiteral("<span style='color:#b00000'><b>Model nelze určit.</b> %1</span>")
                .arg(refusal_text(id, true).toHtmlEscaped()));
        return;
    }
    const ModelFit& f = id.model;
    const ProcessModel& m = f.model;
    QString t = QStringLiteral("<b>Model:</b> %1. ").arg(kind_text(m.kind));
    t += QStringLiteral("K = %1 ± %2 %3, ")
             .arg(n(m.gain), n(f.sd_gain, 2),
                  m.kind == ModelKind::Integrating ? QStringLiteral("jednotek/(%·s)")
                                                   : QStringLiteral("jednotek/%"));
    if (m.kind != ModelKind::Integrating)
        t += QStringLiteral("τ = %1 ± %2 s, ").arg(n(m.tau), n(f.sd_tau, 2));
    if (m.kind == ModelKind::Sopdt)
        t += QStringLiteral("τ2 = %1 ± %2 s, ").arg(n(m.tau2), n(f.sd_tau2, 2));
    t += QStringLiteral("θ = %1 ± %2 s. Chyba proložení (RMS) %3, šum %4.")
             .arg(n(m.dead), n(f.sd_dead, 2), n(f.rmse, 3), n(id.noise_sd, 3));
    model_text_->setText(t);
}

void TuningWindow::update_proposal() {
    const bool tunable = rule_->currentData().toInt() == int(TuningRule::Simc) ||
                         rule_->currentData().toInt() == int(TuningRule::Lambda);
    tau_c_->setEnabled(tunable);
    if (study_.identification.ok()) study_proposal(study_, choice(), loop_);
    const Proposal& p = study_.proposal;
    tau_c_text_->setText(tunable && p.ok ? QStringLiteral("τc = %1 s").arg(n(p.tau_c, 3))
                                         : QString());
    auto set = [this](int row, int col, const QString& t) {
        proposal_->item(row, col)->setText(t);
    };
    for (int r = 0; r < RowCount; ++r) set(r, 1, QString());
    std::vector<TuningPlot::Series> sp, ld;
    if (p.ok) {
        set(RowPB, 1, n(p.fields.PB, 5));
        set(RowINT, 1, n(p.fields.INT, 5));
        set(RowDER, 1, n(p.fields.DER, 5));
        set(RowMs, 1, n(study_.robustness.ms, 3));
        set(RowGM, 1, n(study_.robustness.gain_margin, 3));
        set(RowPM, 1, n(study_.robustness.phase_margin_deg, 3));
        set(RowOvershoot, 1, n(study_.prediction.setpoint.overshoot_percent, 3));
        set(RowSettling, 1, n(study_.prediction.setpoint.settling_time, 4));
        set(RowIae, 1, n(study_.prediction.setpoint.iae, 4));
        set(RowLoadIae, 1, n(study_.prediction.load.iae, 4));
        sp.push_back({QStringLiteral("navržené"), QColor(220, 40, 40), study_.prediction.setpoint.t,
                      study_.prediction.setpoint.y, false, false});
        ld.push_back({QStringLiteral("navržené"), QColor(220, 40, 40), study_.prediction.load.t,
                      study_.prediction.load.y, false, false});
    }
    for (int r = 0; r < RowCount; ++r) set(r, 0, QString());
    if (current_) {
        set(RowPB, 0, n(current_->PB, 5));
        set(RowINT, 0, n(current_->INT, 5));
        set(RowDER, 0, n(current_->DER, 5));
        if (study_.identification.ok()) {
            const ProcessModel& m = study_.identification.model.model;
            const PidController::Config c =
                controller_config(pid_convention::from_fields(*current_, loop_.span), loop_);
            const Robustness r = robustness(m, c);
            const Prediction pr = predict(m, c, 1.0, 10.0);
            set(RowMs, 0, n(r.ms, 3));
            set(RowGM, 0, n(r.gain_margin, 3));
            set(RowPM, 0, r.stable ? n(r.phase_margin_deg, 3) : QStringLiteral("nestabilní"));
            set(RowOvershoot, 0, n(pr.setpoint.overshoot_percent, 3));
            set(RowSettling, 0,
                pr.setpoint.settled ? n(pr.setpoint.settling_time, 4) : QStringLiteral("–"));
            set(RowIae, 0, n(pr.setpoint.iae, 4));
            set(RowLoadIae, 0, n(pr.load.iae, 4));
            sp.push_back({QStringLiteral("současné"), QColor(90, 90, 90), pr.setpoint.t,
                          pr.setpoint.y, true, false});
            ld.push_back({QStringLiteral("současné"), QColor(90, 90, 90), pr.load.t, pr.load.y,
                          true, false});
        }
    }
    // Three times the slowest settling shown, at least the model's own response.
    double until = 0;
    if (study_.identification.ok()) {
        const ProcessModel& m = study_.identification.model.model;
        until = 3 * (m.dead + m.tau + m.tau2);
    }
    if (p.ok)
        until = std::max({until, 3 * study_.prediction.setpoint.settling_time,
                          2 * study_.prediction.load.settling_time});
    for (auto& s : sp) s = cut(std::move(s), until);
    for (auto& s : ld) s = cut(std::move(s), until);
    setpoint_plot_->set_series(std::move(sp), QStringLiteral("skok žádané hodnoty o 1"), QString());
    load_plot_->set_series(std::move(ld), QStringLiteral("porucha 10 % na vstupu procesu"),
                           QString());
    const bool can_write = bus_ && p.ok && !step_running();
    write_->setEnabled(can_write);
    if (!p.ok && study_.identification.ok())
        write_status_->setText(QStringLiteral("Návrh nelze určit: ") + p.reason);
    else if (p.aggressive)
        write_status_->setText(QStringLiteral("Ziegler–Nichols je agresivní, jen pro srovnání."));
}

void TuningWindow::update_assessment() {
    assessment_->setRowCount(0);
    auto add = [this](const QString& name, const QString& value) {
        const int r = assessment_->rowCount();
        assessment_->insertRow(r);
        assessment_->setVerticalHeaderItem(r, new QTableWidgetItem(name));
        assessment_->setItem(r, 0, cell(value));
    };
    if (record_.size() == 0) return;
    const LoopAssessment& a = assessed_;
    if (!a.ok) {
        Identification why;
        switch (a.check.problem) {
            case RecordProblem::TooFew:
                why.refusal = Refusal::TooFewSamples;
                why.value = record_.size();
                why.limit = 20;
                break;
            case RecordProblem::NotFinite:
                why.refusal = Refusal::NotFinite;
                break;
            case RecordProblem::ClockJump:
                why.refusal = Refusal::ClockJump;
                break;
            case RecordProblem::Gap:
                why.refusal = Refusal::Gap;
                why.value = a.check.seconds;
                break;
            case RecordProblem::Fault:
            case RecordProblem::None:
                why.refusal = Refusal::FaultBand;
                break;
        }
        why.index = a.check.index;
        add(QStringLiteral("Hodnocení nelze provést"), refusal_text(why, true));
        return;
    }
    add(QStringLiteral("IAE [jednotka·s]"), n(a.iae, 5));
    add(QStringLiteral("Směrodatná odchylka regulační odchylky"), n(a.error_sd, 4));
    add(QStringLiteral("Kmitání"),
        a.oscillating ? QStringLiteral("ano, perioda %1 s").arg(n(a.oscillation_period, 4))
                      : QStringLiteral("ne"));
    add(QStringLiteral("Poruchy zatížení (Hägglund)"), QString::number(a.load_disturbances));
    add(QStringLiteral("Čas v saturaci akčního zásahu [%]"), n(100 * a.saturated_share, 3));
    add(QStringLiteral("Reverzace serva za hodinu"), n(a.reversals_per_hour, 4));
    add(QStringLiteral("Šumové pásmo měřené hodnoty (±2σ)"),
        QStringLiteral("± ") + n(a.noise_band, 3));
    for (const SetpointChange& c : a.changes)
        add(QStringLiteral("Změna žádané hodnoty v %1 s").arg(n(c.time, 6)),
            QStringLiteral("%1 → %2: překmit %3 %, ustálení %4")
                .arg(n(c.from, 5), n(c.to, 5), n(c.overshoot_percent, 3),
                     c.settling_time < 0 ? QStringLiteral("neustáleno")
                                         : n(c.settling_time, 4) + QStringLiteral(" s")));
}

bool TuningWindow::read_current(bool wait) {
    if (!bus_) return false;
    auto seen = std::make_shared<DeviceData>();
    const int a = bus_->device_address();
    auto job = [seen, a](BusSession& s) {
        return s.read(a, int(TableId::TAB_SENS), *seen) &&
               s.read(a, int(TableId::TAB_PID), *seen) && s.read(a, int(TableId::TAB_REGO), *seen);
    };
    QPointer<TuningWindow> self(this);
    auto done = [self, seen](bool ok) {
        if (!self) return;
        if (!ok) {
            self->write_status_->setText(QStringLiteral("Současné hodnoty se nepodařilo přečíst."));
            return;
        }
        LoopSettings& loop = self->loop_;
        const double span = pid_convention::span(seen->sens.STRS, seen->sens.ENDS);
        if (span > 0) loop.span = span;
        loop.sample_s = pid_convention::sample_period_s(seen->rego.TPID);
        loop.dead_band = pid_convention::dead_band(seen->rego.DEAD, loop.span);
        self->current_ = PidFields{seen->pid.PB, seen->pid.INT, seen->pid.DER};
        self->write_status_->setText(
            QStringLiteral("Současné hodnoty přečteny (rozsah %1, TPID %2 s).")
                .arg(n(loop.span), n(loop.sample_s)));
        self->update_proposal();
    };
    if (!wait) {
        bus_->post_session(job, done);
        return true;
    }
    const bool ok = bus_->run_session(job);
    done(ok);
    return ok;
}

void TuningWindow::write_proposal() {
    if (!bus_ || !study_.proposal.ok) return;
    if (!current_ && !read_current(true)) return;
    const PidFields now = *current_;
    const PidFields next = editor_rounded(study_.proposal.fields);
    const QString question = QStringLiteral(
                                 "Zapsat do regulátoru nové konstanty PID?\n\nPB: %1 → %2\nINT: %3 "
                                 "→ %4\nDER: %5 → %6\n\n"
                                 "TUNE zůstane, jak je.")
                                 .arg(n(now.PB, 5), n(next.PB, 5), n(now.INT, 5), n(next.INT, 5),
                                      n(now.DER, 5), n(next.DER, 5));
    if (prompts_.message(question, kCaption, PromptIcon::Question, PromptButtons::YesNo) !=
        PromptAnswer::Yes)
        return;
    PidWrite w;
    const int a = bus_->device_address();
    bus_->run_session([&w, next, a](BusSession& s) {
        w = write_pid_fields(s, a, next);
        return w.ok();
    });
    emit pid_written(a, w);
    if (w.outcome != PidWrite::Outcome::ReadFailed && w.outcome != PidWrite::Outcome::Refused) {
        if (!original_) original_ = w.before;
        restore_->setEnabled(true);
    }
    if (w.ok()) current_ = w.after;
    write_status_->setText(pid_write_text(w, true));
    if (!w.ok()) prompts_.message(pid_write_text(w, true), kCaption, PromptIcon::Error);
    update_proposal();
}

void TuningWindow::restore_original() {
    if (!bus_ || !original_) return;
    const PidFields back = *original_;
    PidWrite w;
    const int a = bus_->device_address();
    bus_->run_session([&w, back, a](BusSession& s) {
        w = write_pid_fields(s, a, back);
        return w.ok();
    });
    emit pid_written(a, w);
    write_status_->setText(w.ok() ? QStringLiteral("Původní hodnoty vráceny a ověřeny čtením.")
                                  : pid_write_text(w, true));
    if (w.ok()) {
        current_ = w.after;
        original_.reset();
        restore_->setEnabled(false);
    } else {
        prompts_.message(pid_write_text(w, true), kCaption, PromptIcon::Error);
    }
    update_proposal();
}

void TuningWindow::start_step_test() {
    if (!bus_ || test_ || restoring_) return;
    double sp = 0;
    address_ = bus_->device_address();
    const int a = address_;
    const bool ok =
        bus_->run_session([&sp, a](BusSession& s) { return read_set_point(s, a, &sp); });
    if (!ok) {
        step_status_->setText(
            QStringLiteral("Žádanou hodnotu se nepodařilo přečíst; test nezačal."));
        return;
    }
    StepTest::Config c;
    c.sp_step = step_size_->value();
    c.max_s = step_max_->value();
    test_ = std::make_unique<StepTest>(c, sp);
    step_t0_ = clock_();
    step_start_->setEnabled(false);
    step_stop_->setEnabled(true);
    write_->setEnabled(false);
    step_status_->setStyleSheet(QString());
    step_status_->setText(QStringLiteral("Klidový stav před skokem..."));
    if (own_timer_) timer_->start();
}

void TuningWindow::step_tick() {
    if (!test_ || job_out_) return;
    const double t = clock_() - step_t0_;
    job_out_ = true;
    auto live = std::make_shared<LiveGroup>();
    const int a = address_;
    bus_->post_session(
        [live, a](BusSession& s) {
            const std::optional<LiveGroup> got = s.read_live(a);
            if (got) *live = *got;
            return got.has_value();
        },
        [this, live, t, a](bool ok) {
            job_out_ = false;
            if (!test_) return;
            test_->reading(t, ok, live->MEAS, live->SP, live->YOUT * 0.1, live->FAULT != 0);
            step_progress_->setValue(int(1000 * test_->progress(t)));
            const LoopRecord& r = test_->record();
            step_plot_->set_series(
                {{QStringLiteral("měřená hodnota"), QColor(0, 90, 200), r.t, r.y, false, false},
                 {QStringLiteral("žádaná hodnota"), QColor(120, 120, 120), r.t, r.sp, true, false},
                 {QStringLiteral("akční zásah [%]"), QColor(40, 150, 40), r.t, r.u, false, true}},
                QStringLiteral("měřená hodnota"), QStringLiteral("akční zásah [%]"));
            if (test_->link_lost())
                return finish_step_test(QStringLiteral("Spojení s regulátorem selhalo."));
            if (test_->step_due(t)) {
                const double sp = test_->new_sp();
                const double from = test_->old_sp();
                auto why = std::make_shared<QString>();
                auto sent = std::make_shared<bool>(false);
                job_out_ = true;
                bus_->post_session(
                    [sp, why, sent, a](BusSession& ss) {
                        return write_set_point(ss, a, sp, why.get(), true, sent.get());
                    },
                    [this, t, why, sent, a, sp, from](bool done) {
                        job_out_ = false;
                        if (*sent) emit set_point_written(a, from, sp, done, false, *why);
                        if (!test_) return;
                        if (!done) {
                            // The step may have reached the controller with its answer
                            // lost: the old set point goes back all the same.
                            test_->stepped(t);
                            return finish_step_test(QStringLiteral("Skok nelze zapsat: ") + *why);
                        }
                        test_->stepped(t);
                        step_status_->setText(
                            QStringLiteral("Žádaná hodnota %1 → %2, záznam běží...")
                                .arg(n(test_->old_sp(), 6), n(test_->new_sp(), 6)));
                    });
                return;
            }
            if (test_->settled()) return finish_step_test(QStringLiteral("Ustáleno."));
            if (test_->over_time(t))
                return finish_step_test(QStringLiteral("Nejdelší doba uplynula."));
        });
}

void TuningWindow::stop_step_test() {
    if (test_) finish_step_test(QStringLiteral("Přerušeno."));
}

void TuningWindow::finish_step_test(const QString& why) {
    timer_->stop();
    std::unique_ptr<StepTest> test = std::move(test_);
    step_stop_->setEnabled(false);
    const bool stepped = test->has_stepped();
    if (test->record().size() >= 2) set_record(test->record(), QStringLiteral("Krokový test"));
    step_status_->setText(why);
    if (stepped) {
        restore_sp_ = test->old_sp();
        restore_from_ = test->new_sp();
        restore_sent_ = false;
        restoring_ = true;
        restore_set_point(0);
    } else {
        step_start_->setEnabled(true);
        update_proposal();
    }
}

void TuningWindow::restore_set_point(int attempt) {
    const double sp = restore_sp_;
    auto why = std::make_shared<QString>();
    const int a = address_;
    auto sent = std::make_shared<bool>(false);
    bus_->post_session(
        [sp, why, sent, a](BusSession& s) {
            return write_set_point(s, a, sp, why.get(), true, sent.get());
        },
        [this, attempt, why, sent, sp, a](bool ok) {
            restore_sent_ = restore_sent_ || *sent;
            if (restore_sent_ && (ok || attempt + 1 >= 5))
                emit set_point_written(a, restore_from_, sp, ok, true, *why);
            if (ok) {
                restoring_ = false;
                step_status_->setText(
                    step_status_->text() +
                    QStringLiteral(" Původní žádaná hodnota %1 vrácena.").arg(n(sp, 6)));
                step_start_->setEnabled(true);
                update_proposal();
                return;
            }
            if (attempt + 1 < 5) {
                QTimer::singleShot(1000, this, [this, attempt] { restore_set_point(attempt + 1); });
                return;
            }
            restoring_ = false;
            step_start_->setEnabled(true);
            loud(QStringLiteral("POZOR: původní žádanou hodnotu %1 se nepodařilo vrátit (%2). "
                                "Regulátor může stále mít žádanou hodnotu ze skoku.")
                     .arg(n(sp, 6), sentence(*why)));
        });
}

void TuningWindow::restore_now() {
    // Closing or ending: no more cycles, nothing left waiting, and the old set point
    // back before the window goes.
    timer_->stop();
    if (!bus_) return;
    if (job_out_ || restoring_) bus_->wait_idle();
    std::unique_ptr<StepTest> test = std::move(test_);
    if (test && test->has_stepped()) {
        restore_sp_ = test->old_sp();
        restore_from_ = test->new_sp();
        restore_sent_ = false;
        restoring_ = true;
    }
    if (!restoring_) return;
    restoring_ = false;
    const double sp = restore_sp_;
    QString why;
    bool ok = false;
    for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
        bool sent = false;
        ok = bus_->run_session([sp, &why, &sent, a = address_](BusSession& s) {
            return write_set_point(s, a, sp, &why, true, &sent);
        });
        restore_sent_ = restore_sent_ || sent;
    }
    if (restore_sent_) emit set_point_written(address_, restore_from_, sp, ok, true, why);
    if (!ok)
        loud(QStringLiteral("POZOR: původní žádanou hodnotu %1 se nepodařilo vrátit (%2). "
                            "Regulátor může stále mít žádanou hodnotu ze skoku.")
                 .arg(n(sp, 6), sentence(why)));
}

void TuningWindow::loud(const QString& text) {
    step_status_->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: #b00000; font-weight: bold; padding: 4px; }"));
    step_status_->setText(text);
    tabs_->setCurrentIndex(2);
    // A message the user has to acknowledge: it stays until seen.
    prompts_.message(text, kCaption, PromptIcon::Error);
}

void TuningWindow::closeEvent(QCloseEvent* e) {
    restore_now();
    step_start_->setEnabled(true);
    step_stop_->setEnabled(false);
    e->accept();
}

bool TuningWindow::write_protocol(const QString& path, QString* reason) const {
    TuningProtocol p;
    p.source = title_line();
    p.study = study_;
    p.loop = loop_;
    p.current = current_;
    p.original = original_;
    QImage picture(QSize(1200, 520), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        model_plot_->paint(painter, QRect(0, 0, 600, 520));
        setpoint_plot_->paint(painter, QRect(600, 0, 600, 260));
        load_plot_->paint(painter, QRect(600, 260, 600, 260));
    }
    p.picture = picture;
    return write_tuning_protocol(path, p, reason);
}

void TuningWindow::save_protocol() {
    FileDialogRequest r;
    r.title = QStringLiteral("Protokol (PDF)");
    r.file_name = QStringLiteral("ladeni.pdf");
    r.default_suffix = QStringLiteral("pdf");
    r.filters = {QStringLiteral("PDF (*.pdf)")};
    r.overwrite_prompt = true;
    save_as(prompts_, r, kCaption,
            [this](const QString& path, QString* why) { return write_protocol(path, why); });
}

TuningWindow* TuningWindow::open_file(const QString& path, BusWorker* bus, Prompts& prompts,
                                      QWidget* parent) {
    LogReadResult read = LogReader::read_file(path);
    if (!read.ok()) {
        prompts.message(QStringLiteral("Záznam %1 nelze otevřít. %2")
                            .arg(QDir::toNativeSeparators(path), read.error),
                        kCaption, PromptIcon::Error);
        return nullptr;
    }
    auto* w = new TuningWindow(bus, prompts, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->read_current();
    w->set_record(LoopRecord::from_log(read.data, 0, read.data.size() - 1),
                  QFileInfo(path).fileName());
    w->show();
    return w;
}

TuningWindow* TuningWindow::choose_and_open(BusWorker* bus, Prompts& prompts, QWidget* parent) {
    FileDialogRequest r;
    r.title = kCaption;
    r.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)"),
                 QStringLiteral("Všechny soubory (*)")};
    r.file_must_exist = true;
    const auto path = prompts.open_file(r);
    if (!path) {
        auto* w = new TuningWindow(bus, prompts, parent);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->read_current();
        w->show();
        return w;
    }
    return open_file(*path, bus, prompts, parent);
}
