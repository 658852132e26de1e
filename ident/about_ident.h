#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class BusWorker;
class Prompts;

// The identification box: one second after it opens it asks the device for its type
// and version texts, and warns when a foreign device answers only loosely.
class Tabout_ident : public QDialog {
    Q_OBJECT
  public:
    Tabout_ident(BusWorker& requests, Prompts& prompts, QWidget* parent = nullptr);

    void ShowIdentification();

    QTimer* timer() const { return Timer1; }

  signals:
    // What the box found at address: IdentResult of the version text (Unknown when it
    // was not read), or -1 for a foreign device; texts empty when not read.
    void identified(int address, int result, const QString& type, const QString& version);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void Timer1Timer();

    BusWorker& requests_;
    Prompts& prompts_;
    QLabel* lb_zarizeni = nullptr;
    QLabel* lb_verze = nullptr;
    QPushButton* OKButton = nullptr;
    QTimer* Timer1 = nullptr;
};
