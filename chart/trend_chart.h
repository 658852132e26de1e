#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>

// A line chart with one series, a legend of its values, back and panel colours and an
// oblique 3D view. It knows nothing of controllers.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);
    ~TrendChart() override;

    // Series
    void add_point(double x, double y, const QString& label, const QColor& color);
    int point_count() const;
    void delete_first();  // removes the point at index 0
    void clear();
    double x_at(int index) const;
    double y_at(int index) const;
    QColor color_at(int index) const;

    // Legend
    int legend_visible_rows() const;
    void set_legend_visible_rows(int rows);
    int legend_first_value() const;
    void set_legend_first_value(int index);

    // Look
    void set_view_3d(bool on);
    bool view_3d() const;
    void set_percent_3d(int percent);  // 1..100
    int percent_3d() const;
    void set_back_color(const QColor& c);  // the plot area inside the axes, solid
    QColor back_color() const;
    void set_panel_color(const QColor& c);  // the margin round the plot
    QColor panel_color() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Impl;
    Impl* d_;  // owned; deleted in the destructor
};

// Maps a stored colour (0x00BBGGRR, or 0x80000000 + a system colour index) to a QColor.
QColor color_from_ref(std::uint32_t ref);
// The 0x00BBGGRR value of an RGB colour.
std::uint32_t color_to_ref(const QColor& c);
