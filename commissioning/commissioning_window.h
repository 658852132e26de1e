#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "comm/telegram_record.h"
#include "commissioning/clone.h"
#include "commissioning/service_report.h"

class BusWorker;
class Prompts;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

// "Porovnání a klonování parametrů": two parameter sets side by side, the clone of the
// first onto many controllers, and the service report. Every exchange is a job on the
// bus worker, so the window keeps painting while controllers are read and written.
class CommissioningWindow : public QWidget {
    Q_OBJECT
  public:
    // What the window needs of the rest of the program for the report.
    struct Context {
        std::function<QString()> port_name;
        std::function<qint32()> rate;
        std::function<std::map<int, AddressStats>()> stats;
        // The main window's trend when it shows the controller at this address (null
        // otherwise: another controller's, or demo values).
        std::function<QImage(int address)> trend;
        // What the journal holds of the changes made to address in a time range; none:
        // the report has no such section.
        std::function<commissioning::ReportChanges(int address, const QDateTime& from,
                                                   const QDateTime& to)>
            changes;
    };
    // What the user adds to a report.
    struct ReportFields {
        QString technician;
        QString note;
        bool show_password = false;
        // The time range of the section "Provedené změny"; none: no section.
        std::optional<std::pair<QDateTime, QDateTime>> changes;
    };
    // The questions the window asks; replaced in tests.
    struct Asks {
        std::function<std::optional<QString>()> targets;  // the target list
        // Technician and note for the report.
        std::function<std::optional<ReportFields>()> report_fields;
    };

    CommissioningWindow(BusWorker& bus, Prompts& prompts, Context context,
                        QWidget* parent = nullptr);

    void set_asks(Asks asks) { asks_ = std::move(asks); }

    // Side 0 is A (the reference of a clone), side 1 is B.
    void choose_file(int side, const QString& path);
    void choose_address(int side, int address);
    void load(int side);  // reads the chosen source (a controller asynchronously)
    const std::optional<commissioning::ParameterSet>& set(int side) const {
        return sets_[static_cast<std::size_t>(side)];
    }

    void clone_click();
    void stop_click();
    void report_click();
    void print_click();
    bool cloning() const { return cloning_; }

    int difference_count() const { return differences_; }
    QTreeWidget* table() const { return tree_; }
    QTableWidget* results() const { return results_; }
    QCheckBox* only_differences() const { return only_diff_; }
    QCheckBox* eeprom_box() const { return eeprom_; }
    QCheckBox* password_box() const { return password_; }
    QLabel* count_label() const { return count_; }

  signals:
    // Each target of a clone as its row shows it, also those never reached.
    void target_done(const commissioning::TargetResult& result, const QString& reference);

  private:
    struct SourceControls {
        QRadioButton* file = nullptr;
        QRadioButton* address = nullptr;
        QLineEdit* path = nullptr;
        QSpinBox* station = nullptr;
        QPushButton* browse = nullptr;
        QPushButton* load = nullptr;
        QLabel* state = nullptr;
    };

    QWidget* build_source(int side, const QString& caption);
    void set_loaded(int side, std::optional<commissioning::ParameterSet> s,
                    std::optional<int> serial);
    void refresh();
    void clone_next();
    // Shows what the planned clone changes on each target; true to go on.
    bool confirm_plans();
    void reload(int side);
    void finish_clone();
    void show_result(int row, const commissioning::TargetResult& r);
    std::optional<commissioning::ReportInput> report_input();
    void set_busy(bool busy);
    void error(const QString& text, const QString& caption);

    BusWorker& bus_;
    Prompts& prompts_;
    Context context_;
    Asks asks_;
    std::array<SourceControls, 2> sources_{};
    std::array<std::optional<commissioning::ParameterSet>, 2> sets_{};
    std::array<std::optional<int>, 2> serials_{};
    std::array<int, 2> reading_{{0, 0}};
    QTreeWidget* tree_ = nullptr;
    std::vector<QTreeWidgetItem*> rows_;  // parallel to the catalogue
    QLabel* count_ = nullptr;
    QCheckBox* only_diff_ = nullptr;
    QCheckBox* eeprom_ = nullptr;
    QCheckBox* password_ = nullptr;
    QPushButton* clone_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* report_ = nullptr;
    QPushButton* print_ = nullptr;
    QTableWidget* results_ = nullptr;
    int differences_ = 0;

    // The clone under way.
    bool cloning_ = false;
    bool stop_asked_ = false;
    std::vector<int> targets_;
    std::size_t next_target_ = 0;
    bool planning_ = false;  // the dry run before the writes
    std::vector<commissioning::TargetResult> plans_;
    commissioning::ParameterSet reference_;
    commissioning::CloneOptions clone_options_;
};
