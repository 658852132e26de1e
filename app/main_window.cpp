#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Rotace_3d.h"
#include "app/Rychlostzaznamu.h"
#include "app/panel_color.h"
#include "chart/trend_chart.h"
#include "comm/Unit_hl.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "comm/recording_line.h"
#include "monitor/comm_monitor.h"
#include "monitor/link_indicator.h"
#include "platform/error_report.h"
#include "platform/errors.h"
#include "platform/formats.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/window_placement.h"

namespace {

const QString kDesktop = QStringLiteral("DESKTOP");
const QString kGraf = QStringLiteral("GRAF");
const QString kZaznam = QStringLiteral("ZAZNAM");

constexpr QRect kDesignPlacement(192, 107, 718, 523);

const QString kClearQuestion = QStringLiteral("Chceš vymazat naměřená data?");
const QString kClearCaption = QStringLiteral("Clear");

QColor ref_color(std::int32_t ref) { return color_from_ref(static_cast<std::uint32_t>(ref)); }

// Gives the timer back its running state when a handler ends, also by an error.
class TimerPause {
  public:
    TimerPause(QTimer& timer, bool restart) : timer_(timer), restart_(restart) { timer_.stop(); }
    ~TimerPause() {
        if (restart_) timer_.start();
    }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

  private:
    QTimer& timer_;
    bool restart_;
};

}  // namespace

Tkrt01::Tkrt01(SettingsStore& store, Prompts& prompts, Clock& clock, BusWorker& requests,
               QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      prompts_(prompts),
      requests_(requests),
      random_(QRandomGenerator::global()->generate()),
      cycle_(clock) {
    setObjectName(QStringLiteral("krt01"));
    setWindowTitle(QStringLiteral("KELVRA 20"));
    build_controls();
    build_menu();
    setGeometry(kDesignPlacement);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    FormCreate();
    placement::keep_window_placement(*this);
    Timer1->start();
}

Tkrt01::~Tkrt01() {
    // The line outlives the window and must not call into it any more, nor may a
    // reading still on the line come back to it.
    if (recorder_) recorder_->set_observer({});
    requests_.wait_idle();
}

// ---- Settings -------------------------------------------------------------------------

void Tkrt01::FormCreate() {
    // Each placement value is applied as soon as it is read, so the next one defaults
    // to what the window has by then. Extreme stored values are clamped first: the
    // geometry arithmetic would overflow on them.
    using placement::clamp_coordinate;
    using placement::clamp_extent;
    move(clamp_coordinate(store_.read_int(kDesktop, QStringLiteral("Left"), x())), y());
    move(x(), clamp_coordinate(store_.read_int(kDesktop, QStringLiteral("Top"), y())));
    resize(width(), clamp_extent(store_.read_int(kDesktop, QStringLiteral("Height"), height())));
    resize(clamp_extent(store_.read_int(kDesktop, QStringLiteral("Width"), width())), height());
    keep_on_screen();

    graf_.PERO = store_.read_int(kGraf, QStringLiteral("PERO"), 255);
    graf_.MRIZ = store_.read_int(kGraf, QStringLiteral("MRIZ"), static_cast<qint32>(kButtonFace));
    graf_.POZADI =
        store_.read_int(kGraf, QStringLiteral("POZADI"), static_cast<qint32>(kButtonFace));
    graf_.G3D = store_.read_int(kGraf, QStringLiteral("G3D"), 1) != 0;
    graf_.R3D = store_.read_int(kGraf, QStringLiteral("R3D"), 35);
    graf_.POCET = store_.read_int(kGraf, QStringLiteral("POCET"), 200);

    cycle_.jednotky = store_.read_int(kZaznam, QStringLiteral("JEDNOTKY"), 1);
    cycle_.list = store_.read_int(kZaznam, QStringLiteral("LIST"), 1);
    cycle_.soubor = store_.read_int(kZaznam, QStringLiteral("SOUBOR"), 15);

    show_rates();
    set_panel_color(pa_barva_pera, ref_color(graf_.PERO));
    apply_chart_settings();
    cycle_.restart();
    PointNo = 0;
}

void Tkrt01::keep_on_screen() {
    // Entirely off every screen (a monitor that is gone): back to the design place on
    // the primary screen.
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && !placement::screen_of(placement::frame_of(*this)))
        move(primary->availableGeometry().topLeft() + kDesignPlacement.topLeft());
    // Whatever does not fit is moved, and only if need be shrunk, until the whole
    // window with its status bar is visible.
    placement::keep_inside_screen(*this);
}

void Tkrt01::apply_chart_settings() {
    Chart1->set_panel_color(ref_color(graf_.POZADI));
    Chart1->set_back_color(ref_color(graf_.MRIZ));
    Chart1->set_percent_3d(graf_.R3D);
    Chart1->set_view_3d(graf_.G3D);
}

QString Tkrt01::unit_caption(std::int32_t jednotky) {
    return jednotky == 1 ? QStringLiteral("s") : QStringLiteral("min");
}

void Tkrt01::show_rates() {
    pa_zaznam->setText(QString::number(cycle_.list));
    pa_soubor->setText(QString::number(cycle_.soubor));
    pa_jednotky->setText(unit_caption(cycle_.jednotky));
}

void Tkrt01::FormClose() {
    store_.write_int(kDesktop, QStringLiteral("Top"), y());
    store_.write_int(kDesktop, QStringLiteral("Left"), x());
    store_.write_int(kDesktop, QStringLiteral("Height"), height());
    store_.write_int(kDesktop, QStringLiteral("Width"), width());
    store_.write_int(kGraf, QStringLiteral("PERO"), graf_.PERO);
    store_.write_int(kGraf, QStringLiteral("MRIZ"), graf_.MRIZ);
    store_.write_int(kGraf, QStringLiteral("POZADI"), graf_.POZADI);
    store_.write_int(kGraf, QStringLiteral("G3D"), graf_.G3D ? 1 : 0);
    store_.write_int(kGraf, QStringLiteral("R3D"), graf_.R3D);
    store_.write_int(kGraf, QStringLiteral("POCET"), graf_.POCET);
    store_.write_int(kZaznam, QStringLiteral("LIST"), cycle_.list);
    store_.write_int(kZaznam, QStringLiteral("SOUBOR"), cycle_.soubor);
    store_.write_int(kZaznam, QStringLiteral("JEDNOTKY"), cycle_.jednotky);
    store_.sync();
}

void Tkrt01::closeEvent(QCloseEvent* event) {
    // A reading still on the line ends first, so its log line is not lost.
    requests_.wait_idle();
    FormClose();
    if (monitor_) monitor_->close();
    QMainWindow::closeEvent(event);
}

void Tkrt01::mn_exitClick() {
    // A log that cannot be written ends the command here, with the line still open.
    mn_ulozitClick();
    if (dialogs_.port) dialogs_.port->close_port();
    close();
}

// ---- Live cycle -----------------------------------------------------------------------

void Tkrt01::tl_precistClick() {
    // A click while a reading is on the line is ignored, as the blocked window ignored it.
    if (live_pending_) return;
    read_live({}, Wait::No);
}

// The panels, the trend point and whatever follows come when the reading does; a flow
// that goes on after the reading waits for it.
void Tkrt01::read_live(std::function<void(const LiveReading&)> then, Wait wait) {
    const int address = requests_.device_address();
    const bool broadcast = address == telegram::kBroadcast;
    auto done = [this, address, broadcast, then = std::move(then)](bool ok) {
        // A broadcast is answered by nobody: nothing was measured either.
        const LiveReading r = LiveReading::of(requests_.data().live, ok && !broadcast);
        show_live(r, address);
        if (on_reading_ && !broadcast) on_reading_(address, ok, r.live);
        if (then) then(r);
    };
    if (wait == Wait::Yes) {
        done(requests_.read_table(TableId::TAB_LIVE));
        return;
    }
    live_pending_ = true;
    requests_.post([](RequestLayer& r) { return r.read_table(TableId::TAB_LIVE); },
                   [this, done = std::move(done)](bool ok) {
                       live_pending_ = false;
                       done(ok);
                   });
}

void Tkrt01::note_trend_source(int source) {
    if (trend_source_ == kNoSource || Chart1->point_count() == 0)
        trend_source_ = source;
    else if (trend_source_ != source)
        trend_source_ = kMixed;
}

void Tkrt01::show_live(const LiveReading& r, int address) {
    // After a failed reading the previous values are shown again, greyed, and the fault
    // panel says that no answer came.
    pa_measure->setText(r.texts.measure);
    pa_sp->setText(r.texts.sp);
    bar_yout->setValue(std::clamp(r.live.YOUT, 0, 1000));
    lb_yout->setText(r.texts.yout);
    lb_ts->setText(r.texts.tterm);
    bar_zv->setValue(std::clamp(r.live.FEEDBACK, 0, 1000));
    lb_zv->setText(r.texts.feedback);
    QLabel* lamps[] = {pa_re1, pa_re2, pa_re3};
    for (int bit = 0; bit < 3; ++bit)
        set_panel_color(lamps[bit],
                        color_from_ref((r.live.RELAYS >> bit) & 1 ? kYellow : kButtonFace));
    set_panel_color(pa_porucha,
                    color_from_ref(r.live.FAULT != 0 || !r.answered ? kRed : kButtonFace));
    pa_porucha->setText(r.texts.fault);
    grey_values(!r.answered);
    note_trend_source(address);
    AddTrendPoint(r.trend_value());
}

void Tkrt01::grey_values(bool grey) {
    for (QLabel* value : {pa_measure, pa_sp, lb_yout}) {
        QPalette p = value->palette();
        p.setColor(QPalette::WindowText,
                   grey ? QColor(128, 128, 128) : palette().color(QPalette::WindowText));
        value->setPalette(p);
    }
}

void Tkrt01::Timer1Timer() {
    // The reading before is still on the line: this tick is missed, as a blocked timer
    // missed it, and the next one finds the new second. Other windows' exchanges only
    // delay the reading, which queues behind them.
    if (live_pending_ || !cycle_.new_second()) return;
    if (check_demo->isChecked()) {
        GenerateDemoData();
        return;
    }
    if (check_auto->isChecked()) {
        SampleStep([this] {
            if (check_zapis->isChecked()) FileStep();
        });
    }
}

void Tkrt01::SampleStep(std::function<void()> then, Wait wait) {
    if (!cycle_.sample_step()) {
        if (then) then();
        return;
    }
    read_live(
        [this, then = std::move(then)](const LiveReading& r) {
            cycle_.log(r);
            if (then) then();
        },
        wait);
}

void Tkrt01::GenerateDemoData() {
    const auto random_mod = [this](std::uint32_t n) {
        return static_cast<int>(random_.generate() % n);
    };
    const int t = random_mod(10);
    lb_ts->setText(formats::general(21.01 + t * 0.01));
    const int m = random_mod(100);
    pa_measure->setText(formats::general(m));
    pa_porucha->setText(QStringLiteral("DEMO"));
    grey_values(false);
    pa_sp->setText(QStringLiteral("55,00"));
    const int a = random_mod(50);
    lb_yout->setText(QString::number(a));
    bar_yout->setValue(a * 10);
    set_panel_color(pa_re1, color_from_ref(m > 55 ? kYellow : kButtonFace));
    set_panel_color(pa_re2, color_from_ref(m > 55 ? kButtonFace : kYellow));
    set_panel_color(pa_re3, color_from_ref(m > 75 ? kYellow : kButtonFace));
    note_trend_source(kDemo);
    AddTrendPoint(m);
}

void Tkrt01::check_autoClick() {
    if (!check_auto->isChecked()) return;
    TimerPause pause(*Timer1, true);
    if (Chart1->point_count() >= 1 &&
        prompts_.message(kClearQuestion, kClearCaption, PromptIcon::Warning,
                         PromptButtons::YesNo) == PromptAnswer::Yes) {
        StartNewLog();
        if (log_file_chosen()) mn_ulozitjakoClick();
    }
}

void Tkrt01::check_demoClick() {
    TimerPause pause(*Timer1, true);
    if (check_demo->isChecked()) {
        // The boxes keep their check marks; demo mode simply takes precedence.
        check_zapis->setEnabled(false);
        check_auto->setEnabled(false);
        if (prompts_.message(kClearQuestion, kClearCaption, PromptIcon::Warning,
                             PromptButtons::YesNo) == PromptAnswer::Yes)
            clear_trend();
    } else {
        check_auto->setEnabled(true);
        check_zapis->setEnabled(true);
    }
}

// ---- Trend ----------------------------------------------------------------------------

void Tkrt01::AddTrendPoint(double value) {
    // Trimmed before adding, so a steady stream settles at POCET + 1 points.
    if (Chart1->point_count() > graf_.POCET) Chart1->delete_first();
    ++PointNo;
    const int count = Chart1->point_count();
    const int rows = Chart1->legend_visible_rows();
    if (count > rows) Chart1->set_legend_first_value(count - rows);
    Chart1->add_point(PointNo, value, QString(), ref_color(graf_.PERO));
}

void Tkrt01::clear_trend() {
    Chart1->clear();
    trend_source_ = kNoSource;
    PointNo = 0;
}

void Tkrt01::tl_barva_peraClick() {
    const std::uint32_t initial = color_to_ref(ref_color(graf_.PERO));
    const auto chosen = prompts_.choose_color(initial);
    if (!chosen) return;
    graf_.PERO = static_cast<std::int32_t>(*chosen);
    set_panel_color(pa_barva_pera, ref_color(graf_.PERO));
}

void Tkrt01::mn_barvaClick() {
    Trotace3D* dialog = dialogs_.rotace3D;
    if (!dialog) return;
    dialog->fill(graf_.G3D, graf_.MRIZ, graf_.POZADI, graf_.R3D, graf_.POCET);
    if (dialog->exec() != QDialog::Accepted) {
        apply_chart_settings();
        return;
    }
    graf_.POZADI = dialog->panel_ref();
    graf_.MRIZ = dialog->back_ref();
    graf_.R3D = dialog->percent();
    graf_.G3D = dialog->view_3d();
    graf_.POCET = dialog->count();
}

// ---- Measurement log ------------------------------------------------------------------
// The log buffer, its file and the recording rate dialog are wired in here.

void Tkrt01::show_log_file() {
    mn_novy->setChecked(log_file_.chosen());
    pa_path->setText(log_file_.shown_path());
}

void Tkrt01::StartNewLog() {
    cycle_.start_log();
    // The new log goes on only with these readings done.
    read_live({}, Wait::Yes);
    SampleStep({}, Wait::Yes);
    clear_trend();
    cycle_.restart();
}

void Tkrt01::FileStep() {
    if (!cycle_.file_step()) return;
    try {
        log_file_.write();
    } catch (const FileError& e) {
        // Shown from an event of its own: a box opened inside this tick would hold the
        // timer until someone clicks OK, and nothing would be measured meanwhile.
        if (file_error_shown_) return;
        file_error_shown_ = true;
        QMetaObject::invokeMethod(
            this,
            [this, message = e.message()] {
                const auto done = qScopeGuard([this] { file_error_shown_ = false; });
                report_error(prompts_, message);
            },
            Qt::QueuedConnection);
    }
}

void Tkrt01::mn_novyClick() {
    StartNewLog();
    mn_ulozitjakoClick();
}

void Tkrt01::mn_ulozitClick() {
    const auto show = qScopeGuard([this] { show_log_file(); });
    log_file_.save(prompts_);
}

void Tkrt01::mn_ulozitjakoClick() {
    const auto show = qScopeGuard([this] { show_log_file(); });
    log_file_.save_as(prompts_);
}

void Tkrt01::check_zapisClick() {
    if (!check_zapis->isChecked()) return;
    TimerPause pause(*Timer1, true);
    if (prompts_.message(kClearQuestion, kClearCaption, PromptIcon::Warning,
                         PromptButtons::YesNo) == PromptAnswer::Yes)
        StartNewLog();
    mn_ulozitjakoClick();
}

void Tkrt01::mn_rychlost_zaznamuClick() {
    Tform_zaznam* dialog = dialogs_.form_zaznam;
    if (!dialog) return;
    dialog->fill(pa_zaznam->text(), pa_soubor->text(), cycle_.jednotky);
    if (dialog->exec() != QDialog::Accepted) return;
    // The panels keep the texts as typed; the counters run on.
    pa_soubor->setText(dialog->soubor_text());
    cycle_.soubor = dialog->soubor_value();
    pa_zaznam->setText(dialog->sample_text());
    cycle_.list = dialog->sample_value();
    cycle_.jednotky = dialog->multiplier();
    pa_jednotky->setText(unit_caption(cycle_.jednotky));
}

// ---- Other dialogs --------------------------------------------------------------------

void Tkrt01::mn_portClick() {
    if (dialogs_.port) dialogs_.port->exec();
}

void Tkrt01::mn_parametryClick() {
    // The parameter dialogs talk to the controller themselves; no reading may interleave.
    TimerPause pause(*Timer1, Timer1->isActive());
    if (dialogs_.load_form) dialogs_.load_form->exec();
    if (dialogs_.menu_mod) dialogs_.menu_mod->exec();
}

void Tkrt01::mn_vyr_paraClick() {
    if (dialogs_.tab_vstupu) dialogs_.tab_vstupu->exec();
}

void Tkrt01::mn_aboutClick() {
    if (dialogs_.about) dialogs_.about->exec();
}

void Tkrt01::mn_identClick() {
    if (dialogs_.ident) dialogs_.ident->exec();
}

// ---- Line traffic ---------------------------------------------------------------------

void Tkrt01::attach_recorder(RecordingLine& recorder) {
    if (recorder_) recorder_->set_observer({});
    recorder_ = &recorder;
    if (!monitor_) monitor_ = new CommMonitor(recorder, prompts_, this);
    if (!link_timer_) {
        // Telegrams may come by the thousand a second; the panel follows at most ten
        // times a second, once the exchange under way has ended.
        link_timer_ = new QTimer(this);
        link_timer_->setSingleShot(true);
        link_timer_->setInterval(CommMonitor::kBatchMs);
        connect(link_timer_, &QTimer::timeout, this, [this] { show_link(); });
    }
    // Telegrams are recorded on the bus worker's thread; the window hears of them on its
    // own, at most one call waiting at a time.
    recorder.set_observer([this] {
        if (!traffic_waiting_.exchange(true))
            QMetaObject::invokeMethod(this, "on_traffic", Qt::QueuedConnection);
    });
    pa_spojeni->show();
    show_link();
}

void Tkrt01::on_traffic() {
    traffic_waiting_ = false;
    if (!link_timer_->isActive()) link_timer_->start();
    monitor_->notify();
}

void Tkrt01::show_link() {
    if (!recorder_) return;
    const LinkState state = recorder_->link_state();
    pa_spojeni->setText(link_indicator::caption(state));
    pa_spojeni->setToolTip(link_indicator::hint(state));
    set_panel_color(pa_spojeni, color_from_ref(link_indicator::failed(state) ? kRed : kButtonFace));
}

bool Tkrt01::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pa_spojeni && event->type() == QEvent::MouseButtonRelease) {
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(mn_reopen_port);
        mn_reopen_port->setEnabled(dialogs_.port && dialogs_.port->chosen_com() != 0);
        menu->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tkrt01::reopen_port() {
    if (!dialogs_.port) return;
    dialogs_.port->reopen_port();
    show_link();
}

void Tkrt01::mn_monitorClick() {
    if (!monitor_) return;
    // Not modal: the reading cycle goes on behind it.
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
}
