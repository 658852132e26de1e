#include "app/program.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>

#include "alarms/alarm_panel.h"
#include "alarms/alarms_window.h"
#include "analysis/analysis_window.h"
#include "analysis/live_chart_tools.h"
#include "app/Rotace_3d.h"
#include "app/Rychlostzaznamu.h"
#include "app/main_window.h"
#include "chart/trend_chart.h"
#include "comm/Unit_hl.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "commissioning/clone.h"
#include "commissioning/commissioning_window.h"
#include "ident/Unittabvstupu.h"
#include "ident/about_box.h"
#include "ident/about_ident.h"
#include "ident/ident_texts.h"
#include "ident/load_form.h"
#include "journal/journal_window.h"
#include "journal/service_journal.h"
#include "overview/bus_overview.h"
#include "params/Unitmenumod.h"
#include "platform/clock.h"
#include "platform/qt_prompts.h"
#include "platform/settings_store.h"
#include "platform/window_placement.h"
#include "tuning/tuning_window.h"

struct Program::Parts {
    SettingsStore store;
    QtPrompts prompts;
    SystemClock clock;
    SerialLine serial;
    RecordingLine line{serial};
    RequestLayer requests{line, prompts};
    BusWorker bus{requests, prompts};
    // Outlives the windows that tell it what they do.
    std::unique_ptr<ServiceJournal> journal;
    std::function<void()> open_journal;
    std::function<void()> open_alarms;
    std::unique_ptr<Tkrt01> krt01;
};

Program::Program() : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    // Every exchange runs on the bus worker; the port lives there from the start.
    p.serial.move_to_thread(p.bus.worker_thread());
    p.bus.set_wait_indicator([] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); },
                             [] { QGuiApplication::restoreOverrideCursor(); });
    // The main window comes first: it opens the settings store that the port dialog
    // reads while it is being created.
    p.krt01 = std::make_unique<Tkrt01>(p.store, p.prompts, p.clock, p.bus);
    Tkrt01* w = p.krt01.get();
    p.prompts.set_main_window(w);

    // The dialogs live as long as the main window, which owns them.
    Tkrt01::Dialogs d;
    d.port = new Tport(p.store, p.line, p.bus, p.prompts, w);
    d.about = new TAboutBox(w);
    d.ident = new Tabout_ident(p.bus, p.prompts, w);
    auto* menu_mod = new Tmenu_mod(p.bus, p.prompts, w);
    d.menu_mod = menu_mod;
    d.rotace3D = new Trotace3D(w->chart(), p.prompts, w);
    d.form_zaznam = new Tform_zaznam(p.prompts, w);
    d.load_form = new Tload_form(p.bus, p.prompts,
                                 Tload_form::Editor{[menu_mod] { return menu_mod->page_count(); },
                                                    [menu_mod] { menu_mod->apply_presets(); },
                                                    [menu_mod] { menu_mod->tables_read(); }},
                                 w);
    d.tab_vstupu = new Ttab_vstupu(p.bus, p.prompts, w);
    // Each dialog comes back where it was last shown; the About box and the two
    // identification dialogs centre themselves on the screen.
    for (QDialog* dialog :
         {static_cast<QDialog*>(d.port), d.menu_mod, static_cast<QDialog*>(d.rotace3D),
          static_cast<QDialog*>(d.form_zaznam), d.tab_vstupu})
        placement::keep_dialog_placement(*dialog, false);
    w->set_dialogs(d);
    // Last: the monitor window is not one of the dialogs created in start-up order.
    w->attach_recorder(p.line);
    add_journal(*w, d);
    add_servis_windows(*w, d.port);
}

namespace {

// One entry of the Servis menu: caption, object name (may be empty) and what it opens.
struct ServisItem {
    QString caption;
    const char* name;
    std::function<void()> open;
};

void show_window(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

namespace {

QString device_text(const std::array<char, 250>& text) {
    return text_from_device(text.data(), text.size());
}

}  // namespace

// The service journal and the alarms: what the windows do is recorded, the live readings
// drive the alarms, and "Servis" opens both windows.
void Program::add_journal(Tkrt01& w, const Tkrt01::Dialogs& d) {
    Parts& p = *parts_;
    // On the window thread: checkpoints and the text index on a thread of their own.
    p.journal = std::make_unique<ServiceJournal>(Journal::default_path(), nullptr,
                                                 Journal::Upkeep::Background);
    ServiceJournal* j = p.journal.get();
    BusWorker* bus = &p.bus;

    // Told once for each kind of fault, beside the work: nothing waits for an answer.
    QObject::connect(j, &ServiceJournal::fault, &w, [&w](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Deník servisu"), text,
                                    QMessageBox::Ok, &w);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    });

    auto* menu_mod = static_cast<Tmenu_mod*>(d.menu_mod);
    const QString editor = QStringLiteral("Parametry regulátoru");
    QObject::connect(menu_mod, &Tmenu_mod::table_read, j,
                     [j, bus](int a, int t, bool ok) { j->table_read(a, t, ok, bus->data()); });
    QObject::connect(
        menu_mod, &Tmenu_mod::table_written, j, [j, bus, editor](int a, int t, bool ok) {
            j->table_written(a, t, ok, bus->data(), editor + QStringLiteral(" – Zápis"));
        });
    QObject::connect(menu_mod, &Tmenu_mod::eeprom_stored, j, [j, editor](int a, bool ok) {
        j->eeprom_stored(a, ok, editor + QStringLiteral(" – EEPROM"));
    });
    QObject::connect(menu_mod, &Tmenu_mod::file_saved, j, [j, editor](const QString& path) {
        j->file_saved(QStringLiteral("Soubor parametrů"), path, editor);
    });
    auto* load_form = static_cast<Tload_form*>(d.load_form);
    QObject::connect(load_form, &Tload_form::table_read, j,
                     [j, bus](int a, int t, bool ok) { j->table_read(a, t, ok, bus->data()); });
    QObject::connect(load_form, &Tload_form::identified, j, [j, bus, editor](int a, int r) {
        const auto result = static_cast<IdentResult>(r);
        const QString version =
            result == IdentResult::Unknown ? QString() : device_text(bus->buffer().version_text);
        j->identified(a, result == IdentResult::Supported, {}, version, ServiceJournal::verdict(r),
                      editor);
    });
    QObject::connect(static_cast<Tabout_ident*>(d.ident), &Tabout_ident::identified, j,
                     [j](int a, int result, const QString& type, const QString& version) {
                         const bool answered = !type.isEmpty() || !version.isEmpty();
                         j->identified(a, result == static_cast<int>(IdentResult::Supported), type,
                                       version,
                                       answered && (result < 0 || !version.isEmpty())
                                           ? ServiceJournal::verdict(result)
                                           : QString(),
                                       QStringLiteral("Identifikace"));
                     });
    QObject::connect(d.port, &Tport::port_opened, j,
                     [j](const QString& name, const QString& device) {
                         j->port_opened(name, device, true, {});
                     });
    QObject::connect(d.port, &Tport::port_open_failed, j,
                     [j](const QString& name, const QString& device, const QString& reason) {
                         j->port_opened(name, device, false, reason);
                     });
    QObject::connect(d.port, &Tport::port_closed, j,
                     [j](const QString& name) { j->port_closed(name); });
    // The port the program started with.
    bool open = false;
    p.bus.run([&open, &serial = p.serial](RequestLayer&) {
        open = serial.is_open();
        return true;
    });
    if (open)
        j->port_opened(QStringLiteral("COM%1").arg(d.port->com()),
                       p.store.port_device(QStringLiteral("COM%1").arg(d.port->com())), true, {});

    w.set_reading_observer(
        [j](int address, bool ok, const LiveGroup& live) { j->reading(address, ok, live); });
    // The periodic save writes the same file again and again: the first write to a file is
    // what the journal keeps.
    auto last_log = std::make_shared<QString>();
    w.set_log_written_observer([j, last_log](const QString& path) {
        if (*last_log == path) return;
        *last_log = path;
        j->file_saved(QStringLiteral("Záznam měření"), path, QStringLiteral("Hlavní okno"));
    });

    auto* panel = new AlarmPanel(w.statusBar());
    w.statusBar()->addPermanentWidget(panel);
    auto alarms = std::make_shared<QPointer<AlarmsWindow>>();
    auto open_alarms = [&w, j, &prompts = p.prompts, alarms] {
        if (!*alarms) *alarms = new AlarmsWindow(*j, prompts, &w);
        show_window(*alarms);
    };
    QObject::connect(panel, &AlarmPanel::clicked, &w, open_alarms);
    QObject::connect(j, &ServiceJournal::alarms_changed, panel,
                     [panel, j] { panel->show_count(j->alarms().unacknowledged()); });
    QObject::connect(j, &ServiceJournal::recorded, panel,
                     [panel, j] { panel->show_journal_fault(j->journal().fault_text()); });

    auto journal_window = std::make_shared<QPointer<JournalWindow>>();
    p.open_journal = [&w, j, &prompts = p.prompts, journal_window] {
        if (!*journal_window) *journal_window = new JournalWindow(*j, prompts, &w);
        show_window(*journal_window);
    };
    p.open_alarms = open_alarms;
}

ServiceJournal& Program::journal() { return *parts_->journal; }

// A tuning written from its window goes into the journal.
void Program::watch_tuning(TuningWindow* t) {
    if (!t) return;
    ServiceJournal* j = parts_->journal.get();
    QObject::connect(t, &TuningWindow::pid_written, j, [j](int address, const PidWrite& w) {
        j->tuning_written(address, w, QStringLiteral("Ladění regulační smyčky"));
    });
    QObject::connect(
        t, &TuningWindow::set_point_written, j,
        [j](int address, double from, double to, bool ok, bool restoring, const QString& why) {
            j->set_point_written(address, from, to, ok, restoring, why,
                                 QStringLiteral("Ladění regulační smyčky – test"));
        });
}

// Every window of the Servis menu, in menu order after "Monitor komunikace": a new window
// is one more line here.
void Program::add_servis_windows(Tkrt01& w, Tport* port) {
    Parts& p = *parts_;
    new LiveChartTools(w.chart(), p.prompts, [&clock = p.clock] { return clock.now(); });
    auto* overview = new BusOverview(p.bus, port, &w);
    overview->set_reading_observer(
        [j = QPointer<ServiceJournal>(p.journal.get())](int a, bool ok, const LiveGroup& live) {
            if (j) j->reading(a, ok, live, QStringLiteral("Přehled sběrnice"));
        });
    const ServisItem items[] = {
        {QStringLiteral("&Porovnání a klonování parametrů"), "mn_commissioning",
         commissioning_opener(w, port)},
        {QStringLiteral("Analýza záznamu..."), "",
         [this, &w, &prompts = p.prompts] {
             attach_tuning(AnalysisWindow::choose_and_open(prompts, &w));
         }},
        {QStringLiteral("&Ladění regulační smyčky..."), "mn_tuning",
         [this, &w, &p] { watch_tuning(TuningWindow::choose_and_open(&p.bus, p.prompts, &w)); }},
        {QStringLiteral("&Přehled sběrnice"), "mn_prehled", [overview] { show_window(overview); }},
        {QStringLiteral("&Deník servisu"), "mn_denik", p.open_journal},
        {QStringLiteral("&Alarmy"), "mn_alarmy", p.open_alarms},
    };
    for (const ServisItem& item : items) {
        QAction* action = w.servis_menu()->addAction(item.caption);
        if (*item.name) action->setObjectName(QLatin1String(item.name));
        QObject::connect(action, &QAction::triggered, &w, item.open);
    }
}

// Comparison, clone and report of parameter sets: one window, made when first asked for.
std::function<void()> Program::commissioning_opener(Tkrt01& w, Tport* port) {
    Parts& p = *parts_;
    CommissioningWindow::Context context{
        [port] { return QStringLiteral("COM%1").arg(port->com()); },
        [port] { return port->baud(); }, [&p] { return p.line.stats(); },
        [&w](int address) {
            return w.trend_address() == address ? w.chart().grab().toImage() : QImage();
        },
        [&p](int address, const QDateTime& from, const QDateTime& to) {
            return commissioning::report_changes(p.journal->journal(), address, from, to);
        }};
    auto window = std::make_shared<QPointer<CommissioningWindow>>();
    return [&w, &p, context, window] {
        if (!*window) {
            *window = new CommissioningWindow(p.bus, p.prompts, context, &w);
            QObject::connect(*window, &CommissioningWindow::target_done, p.journal.get(),
                             [&p](const commissioning::TargetResult& r, const QString& ref) {
                                 p.journal->cloned(
                                     r, ref, QStringLiteral("Porovnání a klonování parametrů"));
                             });
        }
        show_window(*window);
    };
}

// "Ladit z výběru...": the analysis window's selection in a tuning window of its own.
void Program::attach_tuning(AnalysisWindow* a) {
    if (!a) return;
    Parts& p = *parts_;
    Tkrt01* main = p.krt01.get();
    a->set_range_action(QStringLiteral("Ladit z výběru..."), [this, &p, main](AnalysisWindow& from,
                                                                              int first, int last) {
        auto* t = new TuningWindow(&p.bus, p.prompts, main);
        t->setAttribute(Qt::WA_DeleteOnClose);
        watch_tuning(t);
        t->read_current();
        t->set_record(LoopRecord::from_log(from.data(), first, last), from.windowTitle());
        t->show();
    });
}

void Program::open_analysis(const QString& path) {
    attach_tuning(AnalysisWindow::open(path, parts_->prompts, parts_->krt01.get()));
}

Program::~Program() {
    Parts& p = *parts_;
    // Whatever is still on the line ends before the windows go; the port goes back to
    // this thread, closed, before the worker's thread ends.
    p.bus.wait_idle();
    p.krt01.reset();
    p.bus.run([&p](RequestLayer&) {
        p.serial.close();
        p.serial.move_to_thread(QCoreApplication::instance()->thread());
        return true;
    });
}

Tkrt01& Program::main_window() { return *parts_->krt01; }

Prompts& Program::prompts() { return parts_->prompts; }

RecordingLine& Program::recorder() { return parts_->line; }

BusWorker& Program::bus() { return parts_->bus; }

SettingsStore& Program::store() { return parts_->store; }
