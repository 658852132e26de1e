#include "analysis/live_chart_tools.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "chart/trend_chart.h"
#include "platform/formats.h"
#include "support/scripted_prompts.h"

namespace {

TEST(LiveChartTools, knowsTheTimeOfEachPointTheChartHolds) {
    TrendChart chart;
    chart.resize(600, 300);
    ScriptedPrompts prompts;
    QDateTime now(QDate(2026, 12, 9), QTime(10, 0, 0));
    LiveChartTools tools(chart, prompts, [&now] { return now; });
    for (int i = 1; i <= 5; ++i) {
        if (i == 4) chart.delete_first();  // the trend trimming its oldest point
        chart.add_point(i, 20.0 + i / 4.0, QString(), Qt::red);
        now = now.addSecs(1);
    }
    ASSERT_EQ(chart.point_count(), 4);
    EXPECT_EQ(tools.time_of(0), QDateTime(QDate(2026, 12, 9), QTime(10, 0, 1), Qt::UTC));
    EXPECT_EQ(tools.time_of(3), QDateTime(QDate(2026, 12, 9), QTime(10, 0, 4), Qt::UTC));
    // For other programs: ISO times and a decimal point whatever the locale.
    EXPECT_EQ(tools.csv(), QByteArray("\xc4\x8d"
                                      "as,hodnota\r\n"
                                      "2026-12-09T10:00:01,20.5\r\n"
                                      "2026-12-09T10:00:02,20.75\r\n"
                                      "2026-12-09T10:00:03,21\r\n"
                                      "2026-12-09T10:00:04,21.25\r\n"));
    // The point under the mouse, and nothing far from every point.
    const int x = static_cast<int>(chart.map_to_pixel(chart.x_at(2), 0).x());
    EXPECT_EQ(tools.point_near(x + 2), 2);
    EXPECT_EQ(tools.tooltip_text(2), formats::short_date(QDate(2026, 12, 9)) + QLatin1Char(' ') +
                                         formats::long_time(QTime(10, 0, 3)) +
                                         QStringLiteral("\n21") + QLocale().decimalPoint() +
                                         QStringLiteral("000"));
    // Rounded to the decimals the display shows, not the float's noise.
    chart.set_value_decimals(2);
    chart.add_point(6, 54.9947624206543, QString(), Qt::red);
    EXPECT_TRUE(
        tools.tooltip_text(chart.point_count() - 1)
            .endsWith(QStringLiteral("\n54") + QLocale().decimalPoint() + QStringLiteral("99")));
    // A cleared trend forgets the old times.
    chart.clear();
    chart.add_point(1, 5, QString(), Qt::red);
    EXPECT_EQ(tools.time_of(0), QDateTime(QDate(2026, 12, 9), QTime(10, 0, 5), Qt::UTC));
}

TEST(LiveChartTools, savesThePictureOfTheChart) {
    TrendChart chart;
    chart.resize(400, 200);
    for (int i = 1; i <= 50; ++i) chart.add_point(i, i % 7, QString(), Qt::red);
    ScriptedPrompts prompts;
    LiveChartTools tools(chart, prompts, [] { return QDateTime::currentDateTime(); });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("live.svg"));
    prompts.answer_save(path);
    tools.save_picture();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("<svg"));
    EXPECT_EQ(prompts.unused_answers(), 0);
}

}  // namespace
