#pragma once

#include <QWidget>

#include "journal/journal_entry.h"

class JournalModel;
class Prompts;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;
class ServiceJournal;

// "Deník servisu": the journal's entries, newest first, filtered by time range, address,
// kind and a text; "Export CSV..." writes what the filter shows. Not modal.
class JournalWindow : public QWidget {
    Q_OBJECT
  public:
    JournalWindow(ServiceJournal& journal, Prompts& prompts, QWidget* parent = nullptr);

    JournalFilter filter() const;
    JournalModel& model() const { return *model_; }
    // Applies the filter controls now (they do so themselves on every change).
    void apply_filter();
    // Writes the entries the filter shows as CSV; false when the file could not be
    // written (the user has been told).
    bool export_csv(const QString& path);

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void choose_export();
    void show_count();

    ServiceJournal& journal_;
    Prompts& prompts_;
    JournalModel* model_;
    QCheckBox* check_od;
    QDateTimeEdit* ed_od;
    QCheckBox* check_do;
    QDateTimeEdit* ed_do;
    QSpinBox* ed_adresa;
    QComboBox* cb_druh;
    QLineEdit* ed_hledat;
    QPushButton* tl_export;
    QTableView* view_;
    QLabel* lb_stav;
    QTimer* refresh_;
};
