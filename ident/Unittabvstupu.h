#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
class BusWorker;
class Prompts;

// The controller's factory input table (table 11): shown in twelve columns and
// exported as an INI-form text file.
class Ttab_vstupu : public QDialog {
    Q_OBJECT
  public:
    Ttab_vstupu(BusWorker& requests, Prompts& prompts, QWidget* parent = nullptr);

    void Button1Click();  // read
    void Button3Click();  // save
    // Writes the 45 entries to path; throws FileError naming the file on failure.
    void save_to(const QString& path) const;

    QString value_text(int index) const;  // caption of Label<index + 1>

  private:
    BusWorker& requests_;
    Prompts& prompts_;
    std::array<QLabel*, 43> labels_{};
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QString last_file_name_ = QStringLiteral("Vstupy Kelvra20");
};
