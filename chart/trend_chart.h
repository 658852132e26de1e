#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <memory>

// A line chart with one series, a legend of its values, back and panel colours and an
// oblique 3D view. It knows nothing of controllers.
class TrendChart : public QWidget {
    Q_OBJECT
  public:
    explicit TrendChart(QWidget* parent = nullptr);
    ~TrendChart() override;

    // Series. x values are kept ascending (a smaller x is put in its place, a NaN x
    // repeats the last one); NaN and infinite y are gaps in the line. Points carry no
    // text: the label is accepted and not kept. An invalid colour draws in red.
    void add_point(double x, double y, const QString& label, const QColor& color);
    int point_count() const;
    void delete_first();  // removes the point at index 0
    void clear();
    double x_at(int index) const;
    double y_at(int index) const;
    QColor color_at(int index) const;

    // Legend
    int legend_visible_rows() const;
    void set_legend_visible_rows(int rows);  // 0: as many as fit the height
    int legend_first_value() const;
    void set_legend_first_value(int index);
    // Index of the point listed in a visible legend row (0 = top), or -1.
    int legend_index_at_row(int row) const;

    // Look
    void set_view_3d(bool on);
    bool view_3d() const;
    void set_percent_3d(int percent);  // 1..100
    int percent_3d() const;
    void set_back_color(const QColor& c);  // the plot area inside the axes, solid
    QColor back_color() const;
    void set_panel_color(const QColor& c);  // the margin round the plot
    QColor panel_color() const;
    // Decimals the values are shown with elsewhere: the value axis never steps finer and
    // spans at least a hundred of their last digit, so a flat series stays readable.
    void set_value_decimals(int decimals);  // 0..6
    int value_decimals() const;
    // The smallest span of the value axis at the given decimals.
    static double minimum_value_span(int decimals);

    // Where a value is drawn on the front plane at the current size, for checks.
    QPointF map_to_pixel(double x, double y) const;
    // The value axis's labels at the current size, bottom up, for checks.
    QStringList value_axis_labels() const;
    // Heap bytes held by the series.
    std::size_t series_memory_bytes() const;

    QSize sizeHint() const override;

  signals:
    // After every add_point, with the x the point was given.
    void point_added(double x);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Impl;
    struct Layout;
    Layout layout() const;
    int legend_rows_fitting() const;
    void paint_plot(const Layout& l);
    void paint_labels(QPainter& p, const Layout& l) const;
    void paint_legend(QPainter& p, const Layout& l) const;

    std::unique_ptr<Impl> d_;
};
