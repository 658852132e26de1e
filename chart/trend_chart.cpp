#include "chart/trend_chart.h"

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {}
