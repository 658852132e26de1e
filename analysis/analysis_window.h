#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <utility>

#include "analysis/log_reader.h"

class LogChart;
class Prompts;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

// "Analýza záznamu": a recorded measurement log in a window of its own, beside the
// main window. Three traces over wall-clock time, zoom and pan, two cursors with their
// difference, the minimum, maximum and mean of the visible range, export of the
// visible range as CSV and of the chart as PNG or SVG.
class AnalysisWindow : public QWidget {
    Q_OBJECT
  public:
    AnalysisWindow(const QString& path, LogReadResult result, Prompts& prompts,
                   QWidget* parent = nullptr);

    // Reads the file and shows it in a new window that deletes itself when closed; a
    // file that cannot be read is reported through the prompts and gives nullptr.
    static AnalysisWindow* open(const QString& path, Prompts& prompts, QWidget* parent);
    // Asks for a file and opens it.
    static AnalysisWindow* choose_and_open(Prompts& prompts, QWidget* parent);

    LogChart& chart() const { return *chart_; }
    QTableWidget& readout() const { return *table_; }
    QLabel& status() const { return *status_; }
    const QString& path() const { return path_; }

    // The buttons' actions.
    void export_csv();
    void save_picture();

    // A button that hands the selected range (between the cursors when both are set,
    // else the visible range) to another window; hidden until given.
    using RangeAction = std::function<void(AnalysisWindow&, int first, int last)>;
    void set_range_action(const QString& caption, RangeAction action);
    void run_range_action();
    const LogData& data() const { return *data_; }
    // First and last sample of the selection.
    std::pair<int, int> selection() const;

  private:
    void update_readout();
    QString value_text(int trace, double v) const;
    QString time_text(qint64 wall) const;

    QString path_;
    std::shared_ptr<const LogData> data_;
    Prompts& prompts_;
    LogChart* chart_;
    std::array<QCheckBox*, LogData::kTraces> shown_{};
    QPushButton* all_;
    QPushButton* csv_;
    QPushButton* picture_;
    QPushButton* range_action_;
    RangeAction action_;
    QTableWidget* table_;
    QLabel* range_;
    QLabel* status_;
};
