#include "chart/trend_chart.h"

// Placeholder bodies; the component is being built.
struct TrendChart::Impl {};
TrendChart::TrendChart(QWidget* parent) : QWidget(parent), d_(new Impl) {}
TrendChart::~TrendChart() { delete d_; }
void TrendChart::add_point(double, double, const QString&, const QColor&) {}
int TrendChart::point_count() const { return 0; }
void TrendChart::delete_first() {}
void TrendChart::clear() {}
double TrendChart::x_at(int) const { return 0; }
double TrendChart::y_at(int) const { return 0; }
QColor TrendChart::color_at(int) const { return {}; }
int TrendChart::legend_visible_rows() const { return 0; }
void TrendChart::set_legend_visible_rows(int) {}
int TrendChart::legend_first_value() const { return 0; }
void TrendChart::set_legend_first_value(int) {}
void TrendChart::set_view_3d(bool) {}
bool TrendChart::view_3d() const { return false; }
void TrendChart::set_percent_3d(int) {}
int TrendChart::percent_3d() const { return 1; }
void TrendChart::set_back_color(const QColor&) {}
QColor TrendChart::back_color() const { return {}; }
void TrendChart::set_panel_color(const QColor&) {}
QColor TrendChart::panel_color() const { return {}; }
void TrendChart::paintEvent(QPaintEvent*) {}
QColor color_from_ref(std::uint32_t) { return {}; }
std::uint32_t color_to_ref(const QColor&) { return 0; }
