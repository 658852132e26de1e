#include "chart/trend_chart.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// Renders offscreen; with TX20_CHART_PNG set to a folder the picture is kept there too.
QImage render(TrendChart& chart, const char* name, QSize size = {600, 400}) {
    chart.resize(size);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    chart.render(&image);
    const QByteArray dir = qgetenv("TX20_CHART_PNG");
    if (!dir.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name + QString(".png")));
    return image;
}

QColor pixel(const QImage& image, QPointF p) {
    return image.pixelColor(static_cast<int>(std::lround(p.x())),
                            static_cast<int>(std::lround(p.y())));
}

bool near_has(const QImage& image, QPointF p, const QColor& c, int radius = 1) {
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint q(static_cast<int>(std::lround(p.x())) + dx,
                           static_cast<int>(std::lround(p.y())) + dy);
            if (image.valid(q) && image.pixelColor(q) == c) return true;
        }
    }
    return false;
}

QPointF midpoint(const TrendChart& chart, int i, int j) {
    const QPointF a = chart.map_to_pixel(chart.x_at(i), chart.y_at(i));
    const QPointF b = chart.map_to_pixel(chart.x_at(j), chart.y_at(j));
    return (a + b) / 2;
}

void fill(TrendChart& chart, const std::vector<double>& ys, const QColor& c = kRed) {
    for (double y : ys) chart.add_point(chart.point_count() + 1, y, QString(), c);
}

// A flat reading carries float noise in its last digits; the axis must not magnify it.
TEST(TrendChart, AFlatSeriesKeepsASpanTheShownDecimalsCanLabel) {
    struct Case {
        std::vector<double> ys;
        int decimals;
    } cases[] = {
        {{60.4999925, 60.499996, 60.4999943}, 2},
        {{60.5, 60.5, 60.5}, 2},
        {{-0.001, 0.0, 0.001}, 1},
        {{1234.5}, 0},
    };
    for (const Case& c : cases) {
        TrendChart chart;
        chart.resize(600, 400);
        chart.set_value_decimals(c.decimals);
        fill(chart, c.ys);
        const double lo = *std::min_element(c.ys.begin(), c.ys.end());
        const double span =
            chart.map_to_pixel(1, lo).y() -
            chart.map_to_pixel(1, lo + TrendChart::minimum_value_span(c.decimals)).y();
        EXPECT_LT(span, 400.0) << c.ys[0];
        EXPECT_GT(span, 100.0) << c.ys[0];
        const QStringList labels = chart.value_axis_labels();
        ASSERT_GE(labels.size(), 2) << c.ys[0];
        for (const QString& l : labels) {
            const int dot = l.indexOf(QLatin1Char('.'));
            EXPECT_LE(dot < 0 ? 0 : l.size() - dot - 1, c.decimals) << l.toStdString();
        }
    }
    // A real swing keeps its own scale.
    TrendChart chart;
    chart.resize(600, 400);
    chart.set_value_decimals(2);
    fill(chart, {20.0, 80.0});
    EXPECT_NEAR(chart.map_to_pixel(1, 20).y() - chart.map_to_pixel(1, 80).y(), 300, 80);
}

TEST(TrendChart, OperationsReadBack) {
    TrendChart chart;
    chart.add_point(1, 20.5, QString(), kRed);
    chart.add_point(2, -3, QString(), kBlue);
    chart.add_point(3, 7, QString(), QColor());
    EXPECT_EQ(chart.point_count(), 3);
    EXPECT_EQ(chart.x_at(1), 2);
    EXPECT_EQ(chart.y_at(1), -3);
    EXPECT_EQ(chart.color_at(0), kRed);
    EXPECT_EQ(chart.color_at(1), kBlue);
    EXPECT_EQ(chart.color_at(2), kRed);  // no colour: the series colour
    EXPECT_FALSE(chart.color_at(3).isValid());
    EXPECT_EQ(chart.y_at(-1), 0);

    chart.set_view_3d(false);
    EXPECT_FALSE(chart.view_3d());
    chart.set_view_3d(true);
    EXPECT_TRUE(chart.view_3d());
    chart.set_percent_3d(42);
    EXPECT_EQ(chart.percent_3d(), 42);
    chart.set_percent_3d(0);
    EXPECT_EQ(chart.percent_3d(), 1);
    chart.set_percent_3d(250);
    EXPECT_EQ(chart.percent_3d(), 100);
    chart.set_back_color(QColor(1, 2, 3));
    EXPECT_EQ(chart.back_color(), QColor(1, 2, 3));
    chart.set_panel_color(QColor(4, 5, 6));
    EXPECT_EQ(chart.panel_color(), QColor(4, 5, 6));
    chart.set_legend_visible_rows(7);
    EXPECT_EQ(chart.legend_visible_rows(), 7);
    chart.set_legend_first_value(2);
    EXPECT_EQ(chart.legend_first_value(), 2);

    chart.clear();
    EXPECT_EQ(chart.point_count(), 0);
    EXPECT_EQ(chart.legend_first_value(), 0);
    chart.delete_first();  // harmless when empty
    EXPECT_EQ(chart.point_count(), 0);
}

TEST(TrendChart, DeletingTheOldestKeepsTheRemainingPoints) {
    TrendChart chart;
    for (int i = 1; i <= 10; ++i) chart.add_point(i, i * 1.5, QString(), i <= 5 ? kRed : kBlue);
    chart.delete_first();
    chart.delete_first();
    chart.delete_first();
    ASSERT_EQ(chart.point_count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(chart.x_at(i), i + 4);
        EXPECT_EQ(chart.y_at(i), (i + 4) * 1.5);
    }
    EXPECT_EQ(chart.color_at(0), kRed);
    EXPECT_EQ(chart.color_at(6), kBlue);
}

TEST(TrendChart, ManyPenColoursOverALongRunAreAllKept) {
    // More distinct colours over time than one byte can index; only the live ones count.
    TrendChart chart;
    for (int i = 0; i < 1000; ++i) {
        chart.add_point(i + 1, i, QString(), QColor::fromHsv(i % 360, 255, 128 + i % 128));
        if (chart.point_count() > 20) chart.delete_first();
    }
    for (int k = 0; k < 20; ++k) {
        const int i = 980 + k;
        EXPECT_EQ(chart.color_at(k).rgb(), QColor::fromHsv(i % 360, 255, 128 + i % 128).rgb()) << i;
    }
}

TEST(TrendChart, XValuesStayAscending) {
    TrendChart chart;
    chart.add_point(1, 10, QString(), kRed);
    chart.add_point(5, 50, QString(), kRed);
    chart.add_point(3, 30, QString(), kBlue);
    chart.add_point(kNaN, 60, QString(), kRed);  // no usable x: continues the last one
    ASSERT_EQ(chart.point_count(), 4);
    EXPECT_EQ(chart.x_at(1), 3);
    EXPECT_EQ(chart.y_at(1), 30);
    EXPECT_EQ(chart.color_at(1), kBlue);
    EXPECT_EQ(chart.x_at(2), 5);
    EXPECT_EQ(chart.x_at(3), 5);
}

TEST(TrendChart, LegendListsFromTheFirstValueNewestOnTop) {
    TrendChart chart;
    chart.resize(600, 400);
    fill(chart, std::vector<double>(10, 1.0));
    chart.set_legend_visible_rows(4);

    struct Case {
        int first;
        std::vector<int> rows;  // indices listed from the top
    };
    const Case cases[] = {
        {0, {3, 2, 1, 0, -1}}, {6, {9, 8, 7, 6, -1}}, {8, {9, 8, -1}}, {10, {-1}}, {25, {-1}},
    };
    for (const Case& c : cases) {
        chart.set_legend_first_value(c.first);
        for (std::size_t row = 0; row < c.rows.size(); ++row) {
            EXPECT_EQ(chart.legend_index_at_row(static_cast<int>(row)), c.rows[row])
                << "first " << c.first << " row " << row;
        }
    }
    chart.set_legend_first_value(-3);
    EXPECT_EQ(chart.legend_first_value(), 0);
}

TEST(TrendChart, LegendRowsFollowTheHeightUnlessSet) {
    TrendChart chart;
    chart.resize(600, 400);
    const int tall = chart.legend_visible_rows();
    chart.resize(600, 200);
    const int short_rows = chart.legend_visible_rows();
    EXPECT_GT(tall, short_rows);
    EXPECT_GT(short_rows, 3);
    // More rows asked for than fit: the top (newest) ones are listed.
    fill(chart, std::vector<double>(200, 1.0));
    chart.set_legend_visible_rows(150);
    chart.set_legend_first_value(50);
    EXPECT_EQ(chart.legend_index_at_row(0), 199);
    EXPECT_EQ(chart.legend_index_at_row(short_rows - 1), 200 - short_rows);
    EXPECT_EQ(chart.legend_index_at_row(short_rows), -1);
}

TEST(TrendChart, SegmentsTakeTheColourOfThePointThatEndsThem) {
    for (bool ribbon : {false, true}) {
        SCOPED_TRACE(ribbon ? "3D" : "2D");
        TrendChart chart;
        chart.set_view_3d(ribbon);
        chart.set_percent_3d(40);
        // Pen changes to blue at the sixth point: the piece 5 -> 6 is already blue.
        const double ys[] = {10, 30, 15, 35, 20, 40, 25, 45, 30, 50};
        for (int i = 0; i < 10; ++i) chart.add_point(i + 1, ys[i], QString(), i < 5 ? kRed : kBlue);
        const QImage image = render(chart, ribbon ? "segments_3d" : "segments_2d");
        // The ribbon lies behind the front edge, up and to the right of it.
        const QPointF back = ribbon ? QPointF(5, -5) : QPointF(0, 0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(near_has(image, midpoint(chart, i, i + 1) + back, kRed)) << "piece " << i;
        }
        for (int i = 4; i < 9; ++i) {
            EXPECT_TRUE(near_has(image, midpoint(chart, i, i + 1) + back, kBlue)) << "piece " << i;
        }
        EXPECT_FALSE(near_has(image, midpoint(chart, 2, 3) + back, kBlue));
        EXPECT_FALSE(near_has(image, midpoint(chart, 6, 7) + back, kRed));
    }
}

TEST(TrendChart, BackColourFillsThePlotAndPanelColourTheMargin) {
    TrendChart chart;
    chart.set_view_3d(false);
    chart.set_back_color(QColor(250, 240, 200));
    chart.set_panel_color(QColor(20, 60, 20));
    fill(chart, {0, 10, 0, 10});
    const QImage image = render(chart, "colours_2d");
    // Between grid lines, away from the line.
    const QPointF inside = (chart.map_to_pixel(1, 2) + chart.map_to_pixel(1.5, 1)) / 2;
    EXPECT_EQ(pixel(image, inside), QColor(250, 240, 200));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(20, 60, 20));
    EXPECT_EQ(image.pixelColor(2, image.height() - 3), QColor(20, 60, 20));
    EXPECT_NE(image.pixelColor(image.width() - 3, 2), QColor(Qt::magenta));
}

TEST(TrendChart, ViewAndDepthChangeThePicture) {
    TrendChart chart;
    fill(chart, {1, 5, 2, 8, 3, 9, 4});
    chart.set_view_3d(false);
    const QImage flat = render(chart, "view_2d");
    chart.set_view_3d(true);
    chart.set_percent_3d(10);
    const QImage shallow = render(chart, "view_3d_10");
    chart.set_percent_3d(60);
    const QImage deep = render(chart, "view_3d_60");
    EXPECT_NE(flat, shallow);
    EXPECT_NE(shallow, deep);
    // Deeper view: the front plane shrinks, so the same value maps lower and further left.
    chart.set_percent_3d(10);
    const QPointF a = chart.map_to_pixel(7, 4);
    chart.set_percent_3d(60);
    const QPointF b = chart.map_to_pixel(7, 4);
    EXPECT_LT(b.x(), a.x());
    chart.set_view_3d(false);
    EXPECT_EQ(render(chart, "view_2d_again"), flat);
}

TEST(TrendChart, DecimationKeepsASingleSpike) {
    TrendChart chart;
    chart.set_view_3d(false);
    for (int i = 1; i <= 100000; ++i) chart.add_point(i, i == 54321 ? 100.0 : 0.0, QString(), kRed);
    const QImage image = render(chart, "spike_2d");
    EXPECT_TRUE(near_has(image, chart.map_to_pixel(54321, 100), kRed));
    EXPECT_TRUE(near_has(image, chart.map_to_pixel(54321, 50), kRed));
    EXPECT_FALSE(near_has(image, chart.map_to_pixel(20000, 50), kRed, 2));
    EXPECT_TRUE(near_has(image, chart.map_to_pixel(20000, 0), kRed));
}

TEST(TrendChart, DecimationKeepsColoursOfDenseData) {
    for (bool ribbon : {false, true}) {
        SCOPED_TRACE(ribbon ? "3D" : "2D");
        TrendChart chart;
        chart.set_view_3d(ribbon);
        chart.set_percent_3d(15);
        for (int i = 1; i <= 100001; ++i) {
            chart.add_point(i, std::sin(i / 5000.0) * 10 + (i % 2) * 3, QString(),
                            i <= 50000 ? kRed : kBlue);
        }
        const QImage image = render(chart, ribbon ? "dense_colours_3d" : "dense_colours_2d");
        const QPointF back = ribbon ? QPointF(4, -4) : QPointF(0, 0);
        const QPointF old_part = chart.map_to_pixel(25000, chart.y_at(24999)) + back;
        const QPointF new_part = chart.map_to_pixel(75000, chart.y_at(74999)) + back;
        EXPECT_TRUE(near_has(image, old_part, kRed));
        EXPECT_FALSE(near_has(image, old_part, kBlue, 2));
        EXPECT_TRUE(near_has(image, new_part, kBlue));
        EXPECT_FALSE(near_has(image, new_part, kRed, 2));
    }
}

TEST(TrendChart, GapValuesBreakTheLine) {
    TrendChart chart;
    chart.set_view_3d(false);
    fill(chart, {3.3, 3.3, 3.3, 0, 10});
    const QImage whole = render(chart, "gap_control");
    const QPointF left = midpoint(chart, 0, 1);
    const QPointF right = midpoint(chart, 1, 2);
    ASSERT_TRUE(near_has(whole, left, kRed));
    ASSERT_TRUE(near_has(whole, right, kRed));
    for (double gap : {kNaN, kInf, -kInf}) {
        TrendChart broken;
        broken.set_view_3d(false);
        fill(broken, {3.3, gap, 3.3, 0, 10});
        const QImage image = render(broken, "gap");
        EXPECT_FALSE(near_has(image, left, kRed)) << gap;
        EXPECT_FALSE(near_has(image, right, kRed)) << gap;
        EXPECT_TRUE(near_has(image, midpoint(broken, 3, 4), kRed)) << gap;
    }
}

// Series that have nothing to draw or odd values paint without failing, and the axes
// keep following the finite values.
TEST(TrendChart, OddSeriesPaintAndTheAxesFollowFiniteValues) {
    const struct {
        const char* name;
        std::vector<double> ys;
    } cases[] = {
        {"empty", {}},
        {"one_point", {5}},
        {"all_equal", {3, 3, 3, 3}},
        {"nan", {1, kNaN, 2}},
        {"infinities", {1, kInf, -kInf, 2}},
        {"gaps_only", {kNaN, kInf}},
        {"huge", {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()}},
    };
    for (const auto& c : cases) {
        for (bool ribbon : {false, true}) {
            SCOPED_TRACE(c.name);
            TrendChart chart;
            chart.set_view_3d(ribbon);
            fill(chart, c.ys);
            const QImage image = render(chart, c.name);
            EXPECT_FALSE(image.isNull());
            for (int i = 0; i < chart.point_count(); ++i) {
                if (!std::isfinite(chart.y_at(i))) continue;
                const QPointF p = chart.map_to_pixel(chart.x_at(i), chart.y_at(i));
                EXPECT_TRUE(QRectF(image.rect()).contains(p)) << i;
            }
        }
    }

    TrendChart chart;
    chart.set_view_3d(false);
    fill(chart, {1, kInf, 2});
    render(chart, "follow_before");
    const double top_before = chart.map_to_pixel(1, 2).y();
    chart.add_point(4, 10, QString(), kRed);
    EXPECT_GT(chart.map_to_pixel(1, 2).y(), top_before + 50);  // 2 is no longer the top
    EXPECT_NEAR(chart.map_to_pixel(4, 10).y(), top_before, 1);
}

TEST(TrendChart, LongSeriesStaysCompact) {
    TrendChart chart;
    // A pen change every 500 points is far more than a user makes.
    for (int i = 1; i <= 100001; ++i)
        chart.add_point(i, i % 100, QString(), (i / 500) % 2 ? kRed : kBlue);
    EXPECT_LE(static_cast<double>(chart.series_memory_bytes()) / chart.point_count(), 32.0);
}

}  // namespace
