#pragma once

#include <QDateTime>
#include <QObject>
#include <deque>
#include <functional>
#include <utility>

class Prompts;
class TrendChart;

// Additions to the main window's trend that change nothing of its look: the time and
// value of the point under the mouse in a tooltip, and a context menu that saves a
// picture of the chart or the points it holds as CSV. The chart's points carry no
// time, so the wall-clock time of each addition is kept here beside them.
class LiveChartTools : public QObject {
    Q_OBJECT
  public:
    LiveChartTools(TrendChart& chart, Prompts& prompts, std::function<QDateTime()> now);

    // The point nearest to a pixel column of the chart, or -1.
    int point_near(int x) const;
    QString tooltip_text(int index) const;
    // The wall-clock time of a point, invalid when it was added before these tools.
    QDateTime time_of(int index) const;
    QByteArray csv() const;

    void save_picture();
    void export_csv();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void point_added(double x);

    TrendChart& chart_;
    Prompts& prompts_;
    std::function<QDateTime()> now_;
    std::deque<std::pair<double, qint64>> times_;  // x and wall-clock ms, x ascending
};
