#pragma once

#include <QLabel>

// The status bar panel of the alarms: how many are unacknowledged, red while any is.
// A click opens the alarm window.
class AlarmPanel : public QLabel {
    Q_OBJECT
  public:
    explicit AlarmPanel(QWidget* parent = nullptr);
    void show_count(int unacknowledged);
    // A journal that cannot be written is told here too, until it works again.
    void show_journal_fault(const QString& text);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* e) override;

  private:
    void paint_state();
    int count_ = 0;
    QString fault_;
};
