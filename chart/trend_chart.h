#pragma once

#include <QWidget>

// Placeholder: the trend chart component.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);
};
