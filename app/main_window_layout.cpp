#include "app/main_window.h"

// The controls and the menu of the main window, apart from its behaviour.

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
#include "comm/bus_worker.h"
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

}  // namespace

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
    Chart1->set_value_decimals(2);  // as pa_measure shows the measured value

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
    pa_spojeni->installEventFilter(this);
    pa_spojeni->setCursor(Qt::PointingHandCursor);
    mn_reopen_port = new QAction(link_indicator::reopen_caption(), this);
    mn_reopen_port->setObjectName(QStringLiteral("mn_reopen_port"));
    connect(mn_reopen_port, &QAction::triggered, this, [this] { reopen_port(); });

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
