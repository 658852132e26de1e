#pragma once

#include <QDialog>
#include <functional>

#include "ident/ident_result.h"

class QLabel;
class QProgressBar;
class QTimer;
class BusWorker;
class Prompts;

// The progress dialog shown before the parameter editor: presets the editor,
// identifies the device and reads the parameter tables of the supported controller.
class Tload_form : public QDialog {
    Q_OBJECT
  public:
    // What the dialog needs of the parameter editor: its number of pages, a way to
    // put its controls to the presets, and word that every table was read.
    struct Editor {
        std::function<int()> page_count;
        std::function<void()> apply_presets;
        std::function<void()> all_tables_read;
    };

    Tload_form(BusWorker& requests, Prompts& prompts, Editor editor, QWidget* parent = nullptr);

    IdentResult IdentifyDevice();
    void StepProgress(int n);
    void ReadAllTables();

    QProgressBar* progress() const { return bar_load; }
    QLabel* version_label() const { return lb_verze; }
    QTimer* timer() const { return Timer1; }

    // Every position the bar has shown since the dialog was last shown (for watching).
    const std::vector<int>& bar_history() const { return bar_history_; }

    // Esc and the close box end the dialog only once the reading is over.
    void reject() override;

  signals:
    // The version text's verdict (an IdentResult), then each table read.
    void identified(int address, int result);
    void table_read(int address, int table, bool ok);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void Timer1Timer();
    void set_bar(int value);

    BusWorker& requests_;
    Prompts& prompts_;
    Editor editor_;
    QLabel* lb_verze = nullptr;
    QProgressBar* bar_load = nullptr;
    QTimer* Timer1 = nullptr;
    std::vector<int> bar_history_;
    bool working_ = false;
};
