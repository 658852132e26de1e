#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

class QPainter;

// A small line plot for the tuning window and its protocol: a few named series over a
// shared time axis, each on the left axis or on the right one (the control action).
class TuningPlot : public QWidget {
  public:
    struct Series {
        QString name;
        QColor color;
        std::vector<double> x;
        std::vector<double> y;
        bool dashed = false;
        bool right = false;
    };

    explicit TuningPlot(QWidget* parent = nullptr);

    void set_series(std::vector<Series> s, const QString& left_label, const QString& right_label);
    const std::vector<Series>& series() const { return series_; }
    void paint(QPainter& p, const QRect& r) const;
    QSize sizeHint() const override { return {520, 220}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    std::vector<Series> series_;
    QString left_;
    QString right_;
};
