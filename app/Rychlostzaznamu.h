#pragma once

#include <QDialog>

class Prompts;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The recording rate dialog: the sample period (count and unit) and the file save
// period. Created once and hidden between showings, so the page shown last stays.
class Tform_zaznam : public QDialog {
    Q_OBJECT
  public:
    explicit Tform_zaznam(Prompts& prompts, QWidget* parent = nullptr);

    // Refills the edits and the unit before a showing; the page is left as it was.
    void fill(const QString& sample_text, const QString& soubor_text, int jednotky);

    // What the user typed, after OK.
    QString sample_text() const;
    QString soubor_text() const;
    int sample_value() const { return sample_value_; }
    int soubor_value() const { return soubor_value_; }
    int multiplier() const { return multiplier_; }

    void tl_okClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // ReadNumber and CheckRange on one edit; the value when both pass.
    bool validate(QLineEdit* edit, int low, int high, int& value);
    bool ReadNumber(QLineEdit* edit, int& value);
    bool CheckRange(int value, int low, int high);
    void ed_sampleKeyPress();
    void ed_souborKeyPress();

    Prompts& prompts_;
    QTabWidget* PageControl1;
    QWidget* page_sample;
    QWidget* page_soubor;
    QRadioButton* rb_sec;
    QRadioButton* rb_min;
    QLineEdit* ed_sample;
    QLineEdit* ed_soubor;
    QPushButton* tl_ok;
    QPushButton* tl_cancel;

    int sample_value_ = 1;
    int soubor_value_ = 15;
    int multiplier_ = 60;
};
