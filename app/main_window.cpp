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
#include <QMenuBar>
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
#include "comm/recording_line.h"
#include "monitor/comm_monitor.h"
#include "monitor/link_indicator.h"
#include "platform/clock.h"
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

constexpr std::uint32_t kYellow = 0x0000FFFF;
constexpr std::uint32_t kRed = 0x000000FF;
constexpr std::uint32_t kButtonFace = 0x8000000F;

const QString kClearQuestion = QStringLiteral("Chceš vymazat naměřená data?");
const QString kClearCaption = QStringLiteral("Clear");

QColor ref_color(std::int32_t ref) { return color_from_ref(static_cast<std::uint32_t>(ref)); }

QLabel* make_panel(const QString& name, const QString& caption, QWidget* parent) {
    auto* panel = new QLabel(caption, parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    return panel;
}

QFrame* make_group(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return frame;
}

// The glyph of "Přečíst": a circular arrow, drawn rather than loaded so that start-up
// needs no image format plugins.
QIcon read_glyph() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor green(0, 120, 40);
    p.setPen(QPen(green, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(8.5, 0.5);
    head.lineTo(13.5, 3.5);
    head.lineTo(8.5, 6.5);
    head.closeSubpath();
    p.fillPath(head, green);
    return QIcon(pixmap);
}

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

Tkrt01::Tkrt01(SettingsStore& store, Prompts& prompts, Clock& clock, RequestLayer& requests,
               QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      prompts_(prompts),
      clock_(clock),
      requests_(requests),
      random_(QRandomGenerator::global()->generate()) {
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
    // The line outlives the window and must not call into it any more.
    if (recorder_) recorder_->set_observer({});
}

void Tkrt01::build_controls() {
    auto* central = new QWidget(this);
    auto* top = new QHBoxLayout;

    // Values: measured value, set point, relays and fault state.
    auto* values = make_group(central);
    auto* vg = new QGridLayout(values);
    vg->addWidget(new QLabel(QStringLiteral("Naměřená hodnota"), values), 0, 0, 1, 3);
    pa_measure = make_panel(QStringLiteral("pa_measure"), QStringLiteral("0"), values);
    QFont big = pa_measure->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    pa_measure->setFont(big);
    pa_measure->setMinimumSize(130, 34);
    vg->addWidget(pa_measure, 1, 0, 1, 3);
    vg->addWidget(new QLabel(QStringLiteral("Žádaná hodnota"), values), 2, 0, 1, 3);
    pa_sp = make_panel(QStringLiteral("pa_sp"), QStringLiteral("0"), values);
    pa_sp->setMinimumHeight(22);
    vg->addWidget(pa_sp, 3, 0, 1, 3);
    QLabel** relays[] = {&pa_re1, &pa_re2, &pa_re3};
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(QStringLiteral("Out %1").arg(i + 1), values);
        caption->setAlignment(Qt::AlignCenter);
        vg->addWidget(caption, 4, i);
        auto* lamp = new QLabel(values);
        lamp->setObjectName(QStringLiteral("pa_re%1").arg(i + 1));
        lamp->setFrameStyle(QFrame::Panel | QFrame::Raised);
        lamp->setFixedSize(30, 14);
        set_panel_color(lamp, color_from_ref(kButtonFace));
        vg->addWidget(lamp, 5, i, Qt::AlignCenter);
        *relays[i] = lamp;
    }
    pa_porucha = make_panel(QStringLiteral("pa_porucha"), QStringLiteral("STOP"), values);
    pa_porucha->setMinimumHeight(22);
    set_panel_color(pa_porucha, color_from_ref(kButtonFace));
    vg->addWidget(pa_porucha, 6, 0, 1, 3);
    top->addWidget(values);

    // Outputs: control action, feedback and terminal temperature.
    auto* outputs = make_group(central);
    auto* og = new QGridLayout(outputs);
    auto add_bar = [&](int row, const QString& caption, const char* bar_name,
                       const char* label_name, QProgressBar*& bar, QLabel*& label) {
        og->addWidget(new QLabel(caption, outputs), row, 0, 1, 2);
        bar = new QProgressBar(outputs);
        bar->setObjectName(QLatin1String(bar_name));
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setMinimumWidth(110);
        og->addWidget(bar, row + 1, 0);
        label = new QLabel(QStringLiteral("0,0"), outputs);
        label->setObjectName(QLatin1String(label_name));
        label->setMinimumWidth(40);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        og->addWidget(label, row + 1, 1);
    };
    add_bar(0, QStringLiteral("akční zásah"), "bar_yout", "lb_yout", bar_yout, lb_yout);
    add_bar(2, QStringLiteral("zpětná vazba"), "bar_zv", "lb_zv", bar_zv, lb_zv);
    auto* ts_row = new QHBoxLayout;
    ts_row->addWidget(new QLabel(QStringLiteral("Teplota svorek:"), outputs));
    lb_ts = new QLabel(QStringLiteral("0.0"), outputs);
    lb_ts->setObjectName(QStringLiteral("lb_ts"));
    lb_ts->setMinimumWidth(36);
    lb_ts->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ts_row->addWidget(lb_ts);
    ts_row->addWidget(new QLabel(QStringLiteral("°C"), outputs));
    ts_row->addStretch();
    og->addLayout(ts_row, 4, 0, 1, 2);
    og->setRowStretch(5, 1);
    top->addWidget(outputs);

    // Reading.
    auto* reading = make_group(central);
    auto* rl = new QVBoxLayout(reading);
    tl_precist = new QPushButton(read_glyph(), QStringLiteral("Přečíst"), reading);
    tl_precist->setObjectName(QStringLiteral("tl_precist"));
    tl_precist->setMinimumHeight(34);
    rl->addWidget(tl_precist);
    check_auto = new QCheckBox(QStringLiteral("Automatické čtení"), reading);
    check_auto->setObjectName(QStringLiteral("check_auto"));
    rl->addWidget(check_auto);
    check_zapis = new QCheckBox(QStringLiteral("Zápis do souboru"), reading);
    check_zapis->setObjectName(QStringLiteral("check_zapis"));
    rl->addWidget(check_zapis);
    rl->addStretch();
    top->addWidget(reading);

    // Chart tools.
    auto* tools = make_group(central);
    auto* tl = new QVBoxLayout(tools);
    auto* pen_row = new QHBoxLayout;
    tl_barva_pera = new QPushButton(QStringLiteral("Barva pera"), tools);
    tl_barva_pera->setObjectName(QStringLiteral("tl_barva_pera"));
    pen_row->addWidget(tl_barva_pera);
    pa_barva_pera = new QLabel(tools);
    pa_barva_pera->setObjectName(QStringLiteral("pa_barva_pera"));
    pa_barva_pera->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pa_barva_pera->setFixedSize(24, 24);
    pen_row->addWidget(pa_barva_pera);
    tl->addLayout(pen_row);
    check_demo = new QCheckBox(QStringLiteral("Generovat demo data"), tools);
    check_demo->setObjectName(QStringLiteral("check_demo"));
    tl->addWidget(check_demo);
    tl->addStretch();
    top->addWidget(tools, 1);  // the row fills the window's width

    Chart1 = new TrendChart(central);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(Chart1, 1);
    setCentralWidget(central);

    // Status bar: log file path, file save period, sample period and its unit.
    auto* bar = statusBar();
    bar->setSizeGripEnabled(false);
    auto status_panel = [bar](const char* name, const QString& caption, int stretch) {
        auto* panel = new QLabel(caption, bar);
        panel->setObjectName(QLatin1String(name));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(40);
        bar->addWidget(panel, stretch);
        return panel;
    };
    pa_path = status_panel("pa_path", QStringLiteral("c:"), 1);
    pa_path->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pa_soubor = status_panel("pa_soubor", QStringLiteral("15"), 0);
    pa_soubor->setToolTip(QStringLiteral("Ukazuje četnost zápisu do souboru v minutách"));
    status_panel("pa_min", QStringLiteral("min."), 0);
    pa_zaznam = status_panel("pa_zaznam", QStringLiteral("1"), 0);
    pa_zaznam->setToolTip(QStringLiteral("Ukazuje rychlost zápisu do záznamu"));
    pa_jednotky = status_panel("pa_jednotky", QStringLiteral("min."), 0);
    // The link panel stays at the right end, after the panels above; shown only when
    // the line is recorded.
    pa_spojeni = new QLabel(bar);
    pa_spojeni->setObjectName(QStringLiteral("pa_spojeni"));
    pa_spojeni->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pa_spojeni->setAlignment(Qt::AlignCenter);
    pa_spojeni->setMinimumWidth(150);
    bar->addPermanentWidget(pa_spojeni);
    pa_spojeni->hide();

    connect(tl_precist, &QPushButton::clicked, this, [this] { tl_precistClick(); });
    connect(check_auto, &QCheckBox::clicked, this, [this] { check_autoClick(); });
    connect(check_zapis, &QCheckBox::clicked, this, [this] { check_zapisClick(); });
    connect(check_demo, &QCheckBox::clicked, this, [this] { check_demoClick(); });
    connect(tl_barva_pera, &QPushButton::clicked, this, [this] { tl_barva_peraClick(); });
}

void Tkrt01::build_menu() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       void (Tkrt01::*handler)()) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    QMenu* soubor = menuBar()->addMenu(QStringLiteral("&Soubor"));
    mn_novy = soubor->addAction(QStringLiteral("&Nový soubor"));
    mn_novy->setObjectName(QStringLiteral("mn_novy"));
    // The check mark shows the log file chosen flag; a click must not toggle it.
    mn_novy->setCheckable(true);
    connect(mn_novy, &QAction::triggered, this, [this](bool checked) {
        mn_novy->setChecked(!checked);
        mn_novyClick();
    });
    soubor->addSeparator();
    mn_ulozit = item(soubor, "mn_ulozit", QStringLiteral("&Uložit..."), &Tkrt01::mn_ulozitClick);
    mn_ulozitjako = item(soubor, "mn_ulozitjako", QStringLiteral("Uložit j&ako..."),
                         &Tkrt01::mn_ulozitjakoClick);
    soubor->addSeparator();
    mn_exit = item(soubor, "mn_exit", QStringLiteral("&Konec"), &Tkrt01::mn_exitClick);

    QMenu* nastaveni = menuBar()->addMenu(QStringLiteral("&Nastavení"));
    mn_port =
        item(nastaveni, "mn_port", QStringLiteral("&Komunikační port"), &Tkrt01::mn_portClick);
    mn_parametry = item(nastaveni, "mn_parametry", QStringLiteral("&Parametry regulátoru"),
                        &Tkrt01::mn_parametryClick);
    mn_barva =
        item(nastaveni, "mn_barva", QStringLiteral("Nastavení &grafu"), &Tkrt01::mn_barvaClick);
    mn_rychlost_zaznamu =
        item(nastaveni, "mn_rychlost_zaznamu", QStringLiteral("&Rychlost záznamu"),
             &Tkrt01::mn_rychlost_zaznamuClick);
    mn_vyr_para = item(nastaveni, "mn_vyr_para", QStringLiteral("Parametry z &výroby"),
                       &Tkrt01::mn_vyr_paraClick);

    // Windows beyond the specified program; "S" is taken by "Soubor".
    mn_servis = menuBar()->addMenu(QStringLiteral("Se&rvis"));
    mn_servis->setObjectName(QStringLiteral("mn_servis"));
    mn_monitor = item(mn_servis, "mn_monitor", QStringLiteral("&Monitor komunikace"),
                      &Tkrt01::mn_monitorClick);

    QMenu* napoveda = menuBar()->addMenu(QStringLiteral("Nápo&věda"));
    mn_about = item(napoveda, "mn_about", QStringLiteral("&O aplikaci"), &Tkrt01::mn_aboutClick);
    mn_ident = item(napoveda, "mn_ident", QStringLiteral("&Identifikace"), &Tkrt01::mn_identClick);
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

    JEDNOTKY = store_.read_int(kZaznam, QStringLiteral("JEDNOTKY"), 1);
    LIST = store_.read_int(kZaznam, QStringLiteral("LIST"), 1);
    SOUBOR = store_.read_int(kZaznam, QStringLiteral("SOUBOR"), 15);

    show_rates();
    set_panel_color(pa_barva_pera, ref_color(graf_.PERO));
    apply_chart_settings();
    SampleTicks = 0;
    FileTicks = 0;
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
    pa_zaznam->setText(QString::number(LIST));
    pa_soubor->setText(QString::number(SOUBOR));
    pa_jednotky->setText(unit_caption(JEDNOTKY));
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
    store_.write_int(kZaznam, QStringLiteral("LIST"), LIST);
    store_.write_int(kZaznam, QStringLiteral("SOUBOR"), SOUBOR);
    store_.write_int(kZaznam, QStringLiteral("JEDNOTKY"), JEDNOTKY);
    store_.sync();
}

void Tkrt01::closeEvent(QCloseEvent* event) {
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
    // A failed reading leaves the previous values, which are shown again.
    requests_.read_table(TableId::TAB_LIVE);
    const LiveGroup& live = requests_.data().live;
    pa_measure->setText(formats::fixed(live.MEAS, 2, 5));
    pa_sp->setText(formats::fixed(live.SP, 2, 5));
    bar_yout->setValue(std::clamp(live.YOUT, 0, 1000));
    lb_yout->setText(formats::fixed(live.YOUT * 0.1, 1, 4));
    lb_ts->setText(formats::fixed(live.TTERM, 1, 5));
    bar_zv->setValue(std::clamp(live.FEEDBACK, 0, 1000));
    lb_zv->setText(formats::fixed(live.FEEDBACK * 0.1, 1, 4));
    QLabel* lamps[] = {pa_re1, pa_re2, pa_re3};
    for (int bit = 0; bit < 3; ++bit)
        set_panel_color(lamps[bit],
                        color_from_ref((live.RELAYS >> bit) & 1 ? kYellow : kButtonFace));
    if (live.FAULT != 0) {
        set_panel_color(pa_porucha, color_from_ref(kRed));
        pa_porucha->setText(QStringLiteral("PORUCHA"));
    } else {
        set_panel_color(pa_porucha, color_from_ref(kButtonFace));
        pa_porucha->setText(QStringLiteral("není porucha"));
    }
    AddTrendPoint(live.MEAS);
}

void Tkrt01::Timer1Timer() {
    const auto second = static_cast<std::int16_t>(clock_.now().time().second());
    if (second == LastSecond) return;
    LastSecond = second;
    if (check_demo->isChecked()) {
        GenerateDemoData();
        return;
    }
    if (check_auto->isChecked()) {
        SampleStep();
        if (check_zapis->isChecked()) FileStep();
    }
}

void Tkrt01::SampleStep() {
    ++SampleTicks;
    // Computed wide so that huge stored rates cannot overflow into a negative period.
    const std::int64_t period = static_cast<std::int64_t>(LIST) * JEDNOTKY;
    if (SampleTicks < period) return;
    SampleTicks = 0;
    tl_precistClick();
    AppendDataLine();
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
    pa_sp->setText(QStringLiteral("55,00"));
    const int a = random_mod(50);
    lb_yout->setText(QString::number(a));
    bar_yout->setValue(a * 10);
    set_panel_color(pa_re1, color_from_ref(m > 55 ? kYellow : kButtonFace));
    set_panel_color(pa_re2, color_from_ref(m > 55 ? kButtonFace : kYellow));
    set_panel_color(pa_re3, color_from_ref(m > 75 ? kYellow : kButtonFace));
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
    const QDateTime now = clock_.now();
    log_.start(formats::short_date(now.date()), formats::long_time(now.time()));
    tl_precistClick();
    SampleStep();
    clear_trend();
    SampleTicks = 0;
    FileTicks = 0;
}

void Tkrt01::AppendDataLine() {
    const QDateTime now = clock_.now();
    log_.append(MeasurementLog::data_line(pa_measure->text(), pa_sp->text(), lb_yout->text(),
                                          pa_porucha->text(), formats::long_time(now.time()),
                                          formats::short_date(now.date())));
}

void Tkrt01::FileStep() {
    ++FileTicks;
    if (FileTicks < static_cast<std::int64_t>(SOUBOR) * 60) return;
    // Reset first: after a failed write the next attempt comes a full period later.
    FileTicks = 0;
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
    dialog->fill(pa_zaznam->text(), pa_soubor->text(), JEDNOTKY);
    if (dialog->exec() != QDialog::Accepted) return;
    // The panels keep the texts as typed; the counters run on.
    pa_soubor->setText(dialog->soubor_text());
    SOUBOR = dialog->soubor_value();
    pa_zaznam->setText(dialog->sample_text());
    LIST = dialog->sample_value();
    JEDNOTKY = dialog->multiplier();
    pa_jednotky->setText(unit_caption(JEDNOTKY));
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
    recorder.set_observer([this] {
        if (!link_timer_->isActive()) link_timer_->start();
        monitor_->notify();
    });
    pa_spojeni->show();
    show_link();
}

void Tkrt01::show_link() {
    if (!recorder_) return;
    const LinkState state = recorder_->link_state();
    pa_spojeni->setText(link_indicator::caption(state));
    pa_spojeni->setToolTip(link_indicator::hint(state));
    set_panel_color(pa_spojeni, color_from_ref(link_indicator::failed(state) ? kRed : kButtonFace));
}

void Tkrt01::mn_monitorClick() {
    if (!monitor_) return;
    // Not modal: the reading cycle goes on behind it.
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
}
