#pragma once

#include <QMainWindow>
#include <QRandomGenerator>
#include <atomic>
#include <cstdint>
#include <functional>

#include "app/log_file.h"
#include "live/live_cycle.h"

struct LiveGroup;
class Clock;
class CommMonitor;
class Prompts;
class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class RecordingLine;
class BusWorker;
class SettingsStore;
class Tform_zaznam;
class Tport;
class Trotace3D;
class TrendChart;

// The chart settings kept by the main window (section GRAF); colours are stored values
// (0x00BBGGRR, or 0x80000000 + a system colour index).
struct ChartSettings {
    std::int32_t PERO = 255;
    std::int32_t MRIZ = static_cast<std::int32_t>(0x8000000F);
    std::int32_t POZADI = static_cast<std::int32_t>(0x8000000F);
    bool G3D = true;
    std::int32_t R3D = 35;
    std::int32_t POCET = 200;
};

// The main window "KELVRA 20": live values, the trend chart, the reading cycle and the
// menu that opens every dialog.
class Tkrt01 : public QMainWindow {
    Q_OBJECT
  public:
    // The dialogs the menu opens, created after the main window; a missing one opens
    // nothing.
    struct Dialogs {
        Tport* port = nullptr;
        QDialog* about = nullptr;
        QDialog* ident = nullptr;
        QDialog* menu_mod = nullptr;
        Trotace3D* rotace3D = nullptr;
        Tform_zaznam* form_zaznam = nullptr;
        QDialog* load_form = nullptr;
        QDialog* tab_vstupu = nullptr;
    };

    Tkrt01(SettingsStore& store, Prompts& prompts, Clock& clock, BusWorker& requests,
           QWidget* parent = nullptr);
    ~Tkrt01() override;

    void set_dialogs(const Dialogs& dialogs) { dialogs_ = dialogs; }
    const Dialogs& dialogs() const { return dialogs_; }

    // The line's traffic: the link panel of the status bar and "Monitor komunikace".
    // Without it neither is shown.
    void attach_recorder(RecordingLine& recorder);
    CommMonitor* monitor() const { return monitor_; }
    QLabel* link_panel() const { return pa_spojeni; }
    // The link panel's command "Otevřít port znovu": the port dialog's path of choosing
    // the port in its list.
    void reopen_port();
    // Shows what the last exchange says about the link (also done shortly after each
    // telegram).
    void show_link();

    TrendChart& chart() const { return *Chart1; }
    // The controller whose readings the whole trend shows; -1 when it is empty or holds
    // demo values or another controller's readings too.
    int trend_address() const { return trend_source_ >= 0 ? trend_source_ : -1; }
    QTimer& timer() const { return *Timer1; }
    const ChartSettings& chart_settings() const { return graf_; }

    // Recording rates (section ZAZNAM) and their status panels.
    std::int32_t list() const { return cycle_.list; }
    std::int32_t jednotky() const { return cycle_.jednotky; }
    std::int32_t soubor() const { return cycle_.soubor; }
    QLabel* path_panel() const { return pa_path; }
    QLabel* soubor_panel() const { return pa_soubor; }
    QLabel* zaznam_panel() const { return pa_zaznam; }
    QLabel* jednotky_panel() const { return pa_jednotky; }
    // The unit caption for a multiplier: "s" for 1, otherwise "min".
    static QString unit_caption(std::int32_t jednotky);

    // Counters of the reading cycle.
    std::int32_t point_no() const { return PointNo; }
    std::int32_t sample_ticks() const { return cycle_.sample_ticks(); }
    std::int32_t file_ticks() const { return cycle_.file_ticks(); }
    void seed_demo(quint32 seed) { random_.seed(seed); }

    // The log file chosen flag: the check mark of "&Nový soubor".
    bool log_file_chosen() const { return log_file_.chosen(); }
    const MeasurementLog& log() const { return cycle_.measurement_log(); }
    const LogFile& log_file() const { return log_file_; }

    // Live cycle.
    void tl_precistClick();
    void Timer1Timer();
    // Reads when the recording rate says so; then runs after the reading's log line,
    // or at once when this tick reads nothing.
    enum class Wait { No, Yes };
    void SampleStep(std::function<void()> then = {}, Wait wait = Wait::No);
    void GenerateDemoData();
    void check_autoClick();
    void check_demoClick();

    // Trend.
    void AddTrendPoint(double value);
    void clear_trend();
    void tl_barva_peraClick();
    void mn_barvaClick();

    // Measurement log.
    void StartNewLog();
    void FileStep();
    void mn_novyClick();
    void mn_ulozitClick();
    void mn_ulozitjakoClick();
    void check_zapisClick();
    void mn_rychlost_zaznamuClick();

    // Menu.
    void mn_exitClick();
    void mn_portClick();
    void mn_parametryClick();
    void mn_vyr_paraClick();
    void mn_aboutClick();
    void mn_identClick();
    void mn_monitorClick();
    // Told after every live reading of this window that went to one controller: its
    // address, whether it answered, and the values.
    using ReadingObserver = std::function<void(int address, bool answered, const LiveGroup&)>;
    void set_reading_observer(ReadingObserver f) { on_reading_ = std::move(f); }
    // Told the path after each write of the measurement log.
    void set_log_written_observer(std::function<void(const QString&)> f) {
        log_file_.set_written_observer(std::move(f));
    }
    // The "Servis" menu, where windows beyond the specified program add their items.
    QMenu* servis_menu() const { return mn_servis; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Q_INVOKABLE void on_traffic();
    void read_live(std::function<void(const LiveReading&)> then, Wait wait);
    void show_live(const LiveReading& r, int address);
    // Where the trend's points come from: a controller's address, or kDemo.
    void note_trend_source(int source);
    void grey_values(bool grey);
    void build_controls();
    void build_menu();
    void FormCreate();
    void FormClose();
    void apply_chart_settings();
    void keep_on_screen();
    void show_rates();
    void show_log_file();

    SettingsStore& store_;
    Prompts& prompts_;
    BusWorker& requests_;
    Dialogs dialogs_;
    RecordingLine* recorder_ = nullptr;
    CommMonitor* monitor_ = nullptr;
    QTimer* link_timer_ = nullptr;
    std::atomic<bool> traffic_waiting_{false};
    bool live_pending_ = false;  // a reading of this window is on the line
    ReadingObserver on_reading_;

    ChartSettings graf_;

    static constexpr int kNoSource = -1;
    static constexpr int kDemo = -2;
    static constexpr int kMixed = -3;
    int trend_source_ = kNoSource;
    std::int32_t PointNo = 0;
    bool file_error_shown_ = false;  // the box of a failed file step is on screen
    QRandomGenerator random_;

    LiveCycle cycle_;
    LogFile log_file_{cycle_.measurement_log()};

    QLabel* pa_measure;
    QLabel* pa_sp;
    QLabel* pa_re1;
    QLabel* pa_re2;
    QLabel* pa_re3;
    QLabel* pa_porucha;
    QProgressBar* bar_yout;
    QLabel* lb_yout;
    QProgressBar* bar_zv;
    QLabel* lb_zv;
    QLabel* lb_ts;
    QPushButton* tl_precist;
    QCheckBox* check_auto;
    QCheckBox* check_zapis;
    QPushButton* tl_barva_pera;
    QLabel* pa_barva_pera;
    QCheckBox* check_demo;
    TrendChart* Chart1;
    QLabel* pa_path;
    QLabel* pa_soubor;
    QLabel* pa_zaznam;
    QLabel* pa_jednotky;
    QLabel* pa_spojeni;
    QTimer* Timer1;

    QAction* mn_novy;
    QAction* mn_ulozit;
    QAction* mn_ulozitjako;
    QAction* mn_exit;
    QAction* mn_port;
    QAction* mn_parametry;
    QAction* mn_barva;
    QAction* mn_rychlost_zaznamu;
    QAction* mn_vyr_para;
    QAction* mn_about;
    QAction* mn_ident;
    QAction* mn_monitor;
    QAction* mn_reopen_port;  // the link panel's menu
    QMenu* mn_servis;
};
