#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "O aplikaci": product, maker, the file version from the program's version record and
// the minimum system requirements. Created once at start-up, shown modally.
class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* Label5 = nullptr;  // "Verze " + FileVersion, empty without a version record
    QPushButton* OKButton = nullptr;

  private:
    void FormCreate();
};
