#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "tuning/loop_assessment.h"
#include "tuning/step_test.h"
#include "tuning/tuning_study.h"
#include "tuning/tuning_write.h"

class BusWorker;
class Prompts;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class TuningPlot;

// "Ladění regulační smyčky": the process identified from a record, a proposal for PB,
// INT and DER beside the controller's current values with the predicted responses of
// both, the write with its way back, a live step test and the loop's assessment.
class TuningWindow : public QWidget {
    Q_OBJECT
  public:
    TuningWindow(BusWorker* bus, Prompts& prompts, QWidget* parent = nullptr);
    ~TuningWindow() override;

    // The record to work from, and where it came from (shown in the title line).
    void set_record(const LoopRecord& r, const QString& source);
    // A measurement log file, whole.
    static TuningWindow* open_file(const QString& path, BusWorker* bus, Prompts& prompts,
                                   QWidget* parent);
    static TuningWindow* choose_and_open(BusWorker* bus, Prompts& prompts, QWidget* parent);

    // The controller's PID, range and sampling, read through the bus worker; without
    // wait the result comes when the job ends.
    bool read_current(bool wait = false);
    // "Zapsat do regulátoru" and "Vrátit původní".
    void write_proposal();
    void restore_original();
    // "Krokový test": start, one cycle of it (the window's timer calls this once a
    // second), "Přerušit".
    void start_step_test();
    void step_tick();
    void stop_step_test();
    bool step_running() const { return test_ != nullptr; }
    // Seconds since the test started. Tests give their own clock and call step_tick
    // themselves: the window's timer then stays off.
    void set_clock(std::function<double()> seconds) {
        clock_ = std::move(seconds);
        own_timer_ = false;
    }
    void save_protocol();
    bool write_protocol(const QString& path, QString* reason) const;

    const TuningStudy& study() const { return study_; }
    QTabWidget& tabs() const { return *tabs_; }
    QLabel& model_text() const { return *model_text_; }
    QTableWidget& proposal_table() const { return *proposal_; }
    QComboBox& rule() const { return *rule_; }
    QSlider& tau_c() const { return *tau_c_; }
    QPushButton& write_button() const { return *write_; }
    QPushButton& restore_button() const { return *restore_; }
    QLabel& step_status() const { return *step_status_; }
    QDoubleSpinBox& step_size() const { return *step_size_; }
    QSpinBox& step_max() const { return *step_max_; }
    QTableWidget& assessment() const { return *assessment_; }

  signals:
    // PB, INT and DER went to the controller at address (also a restore), read back.
    void pid_written(int address, const PidWrite& w);
    // A set point the step test sent (restoring: the old one put back at its end).
    void set_point_written(int address, double from, double to, bool ok, bool restoring,
                           const QString& why);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void build();
    void update_proposal();
    void update_model_view();
    void update_assessment();
    RuleChoice choice() const;
    void finish_step_test(const QString& why);
    void restore_set_point(int attempt);
    void restore_now();
    void loud(const QString& text);
    QString title_line() const;

    BusWorker* bus_;
    Prompts& prompts_;
    LoopRecord record_;
    QString source_;
    TuningStudy study_;
    LoopAssessment assessed_;
    LoopSettings loop_;
    std::optional<PidFields> current_;   // as read from the controller
    std::optional<PidFields> original_;  // before our write, for "Vrátit původní"
    std::unique_ptr<StepTest> test_;
    bool job_out_ = false;
    bool restoring_ = false;
    double restore_sp_ = 0;
    double restore_from_ = 0;    // the step's set point, for the journal
    bool restore_sent_ = false;  // a restore went out at least once
    int address_ = 1;            // the controller under the step test
    std::function<double()> clock_;
    double step_t0_ = 0;
    bool own_timer_ = true;

    QLabel* source_label_;
    QTabWidget* tabs_;
    TuningPlot* model_plot_;
    QLabel* model_text_;
    QComboBox* rule_;
    QSlider* tau_c_;
    QLabel* tau_c_text_;
    QTableWidget* proposal_;
    QLabel* convention_;
    TuningPlot* setpoint_plot_;
    TuningPlot* load_plot_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* restore_;
    QLabel* write_status_;
    QDoubleSpinBox* step_size_;
    QSpinBox* step_max_;
    QPushButton* step_start_;
    QPushButton* step_stop_;
    QProgressBar* step_progress_;
    QLabel* step_status_;
    TuningPlot* step_plot_;
    QTableWidget* assessment_;
    QPushButton* pdf_;
    QTimer* timer_;
};
