#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "alarms/alarm_rule.h"

class Prompts;
class QPushButton;
class QSpinBox;
class QTableWidget;
class ServiceJournal;

// "Alarmy": the alarms of every controller watched, coloured by state and priority, with
// acknowledgement and timed shelving; below, the rules of one controller, and their import
// and export. Not modal.
class AlarmsWindow : public QWidget {
    Q_OBJECT
  public:
    // The questions the window asks; replaced in tests.
    struct Asks {
        std::function<std::optional<QString>()> comment;  // acknowledging
        std::function<std::optional<int>()> minutes;      // shelving
    };

    AlarmsWindow(ServiceJournal& journal, Prompts& prompts, QWidget* parent = nullptr);
    void set_asks(Asks asks) { asks_ = std::move(asks); }

    QTableWidget* alarm_table() const { return alarms_; }
    QTableWidget* rule_table() const { return rules_; }
    // The controller whose rules are shown.
    void show_rules(int address);
    AlarmRules shown_rules() const;
    void save_rules();
    void acknowledge_selected();
    void acknowledge_all();
    void shelve_selected();
    bool export_rules(const QString& path);
    bool import_rules(const QString& path);
    void refresh();

  private:
    void fill_rules(const AlarmRules& r);
    std::vector<int> selected_rows() const;

    ServiceJournal& journal_;
    Prompts& prompts_;
    Asks asks_;
    QTableWidget* alarms_;
    QPushButton* tl_potvrdit;
    QPushButton* tl_potvrdit_vse;
    QPushButton* tl_odlozit;
    QSpinBox* ed_adresa;
    QTableWidget* rules_;
    QPushButton* tl_ulozit;
    QPushButton* tl_import;
    QPushButton* tl_export;
    std::vector<std::pair<int, AlarmCondition>> shown_;  // the rows of the alarm table
};
