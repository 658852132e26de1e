#include "analysis/analysis_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "analysis/log_chart.h"
#include "platform/atomic_file.h"
#include "support/render.h"
#include "support/scripted_prompts.h"
#include "tests/analysis/sample_logs.h"

namespace {

class AnalysisWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        week_ = new LogReadResult(
            LogReader::read_bytes(week_log(), QLocale(QLocale::Czech, QLocale::Czechia)));
    }
    static void TearDownTestSuite() {
        delete week_;
        week_ = nullptr;
    }
    void SetUp() override {
        LogReadResult copy;
        copy.data = week_->data;
        copy.lines = week_->lines;
        copy.header = week_->header;
        copy.start = week_->start;
        copy.locale_name = week_->locale_name;
        window_ = std::make_unique<AnalysisWindow>(QStringLiteral("týden.txt"), std::move(copy),
                                                   prompts_);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    QString cell(int row, int col) const { return window_->readout().item(row, col)->text(); }

    static LogReadResult* week_;
    ScriptedPrompts prompts_;
    std::unique_ptr<AnalysisWindow> window_;
};

LogReadResult* AnalysisWindowTest::week_ = nullptr;

TEST_F(AnalysisWindowTest, showsTheWholeWeekAndItsRangeFigures) {
    ASSERT_EQ(week_->data.size(), 7 * 86400);
    LogChart& chart = window_->chart();
    EXPECT_EQ(chart.first_visible(), 0);
    EXPECT_EQ(chart.last_visible(), 7 * 86400 - 1);
    const LogData::Stats m = week_->data.stats(LogData::Measured, 0, 7 * 86400 - 1);
    EXPECT_EQ(cell(3, 1), QLocale().toString(m.min, 'f', 2));
    EXPECT_EQ(cell(4, 1), QLocale().toString(m.max, 'f', 2));
    EXPECT_EQ(cell(4, 2), QLocale().toString(55.0, 'f', 2));
    EXPECT_TRUE(render_window(window_.get(), QStringLiteral("analysis_week")));
}

TEST_F(AnalysisWindowTest, wheelZoomsRoundTheMouseAndCelyZaznamShowsAllAgain) {
    LogChart& chart = window_->chart();
    const QRect plot = chart.plot_rect(chart.rect());
    const int x = plot.left() + plot.width() / 4;
    const qint64 under = chart.data().axis_ms(chart.sample_at_x(x));
    for (int i = 0; i < 30; ++i) chart.zoom_at(x, 0.8);
    EXPECT_LT(chart.view_to() - chart.view_from(), 7LL * 86400000 / 500);
    EXPECT_NEAR(static_cast<double>(chart.data().axis_ms(chart.sample_at_x(x))),
                static_cast<double>(under), 60000);
    const qint64 from = chart.view_from();
    QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(x, plot.center().y()));
    QTest::mouseMove(&chart, QPoint(x - 100, plot.center().y()));
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(x - 100, plot.center().y()));
    EXPECT_GT(chart.view_from(), from);  // dragged left: later times come in
    EXPECT_EQ(chart.cursor(0), -1);      // a drag places no cursor
    EXPECT_TRUE(render_window(window_.get(), QStringLiteral("analysis_zoomed")));
    for (QPushButton* b : window_->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Celý záznam")) QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(chart.first_visible(), 0);
    EXPECT_EQ(chart.last_visible(), 7 * 86400 - 1);
}

TEST_F(AnalysisWindowTest, cursorsShowTimesValuesAndTheirDifference) {
    LogChart& chart = window_->chart();
    const qint64 base = week_->data.axis_ms(0);
    chart.set_view(base, base + 3600 * 1000LL);  // the first hour
    const QRect plot = chart.plot_rect(chart.rect());
    QTest::mouseClick(&chart, Qt::LeftButton, {},
                      QPoint(plot.left() + plot.width() / 4, plot.center().y()));
    QTest::mouseClick(&chart, Qt::RightButton, {},
                      QPoint(plot.left() + plot.width() * 3 / 4, plot.center().y()));
    const int a = chart.cursor(0);
    const int b = chart.cursor(1);
    ASSERT_GE(a, 0);
    ASSERT_GT(b, a);
    const LogData& d = chart.data();
    EXPECT_TRUE(cell(0, 0).endsWith(
        LogData::to_date_time(d.wall_ms(a)).toString(QStringLiteral("HH:mm:ss"))));
    EXPECT_EQ(cell(0, 1), QLocale().toString(d.value(0, a), 'f', 2));
    const qint64 s = (d.axis_ms(b) - d.axis_ms(a)) / 1000;
    EXPECT_EQ(cell(2, 0), QStringLiteral("%1:%2:%3")
                              .arg(s / 3600)
                              .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(s % 60, 2, 10, QLatin1Char('0')));
    EXPECT_EQ(cell(2, 1),
              QLocale().toString(static_cast<double>(d.value(0, b)) - d.value(0, a), 'f', 2));
    EXPECT_TRUE(render_window(window_.get(), QStringLiteral("analysis_cursors")));
}

TEST_F(AnalysisWindowTest, exportWritesTheVisibleRangeAndPicturesInBothFormats) {
    QTemporaryDir dir;
    LogChart& chart = window_->chart();
    const qint64 base = week_->data.axis_ms(0);
    chart.set_view(base + 10000, base + 19000);
    const QString csv = dir.filePath(QStringLiteral("range.csv"));
    prompts_.answer_save(csv);
    window_->export_csv();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + 10 + 1);  // header, ten seconds, the empty end
    EXPECT_TRUE(lines[1].startsWith("2026-12-07T00:00:10,"));
    EXPECT_TRUE(lines[10].startsWith("2026-12-07T00:00:19,"));

    for (const char* name : {"chart.svg", "chart.png"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        prompts_.answer_save(path);
        window_->save_picture();
        QFile pic(path);
        ASSERT_TRUE(pic.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = pic.readAll();
        if (path.endsWith(QLatin1String("svg"))) {
            EXPECT_TRUE(bytes.contains("<svg")) << name;
            EXPECT_TRUE(bytes.contains("Akční zásah")) << name;  // text stays text
        } else {
            EXPECT_TRUE(bytes.startsWith("\x89PNG")) << name;
        }
        // A failed write is reported and leaves the picture as it was.
        prompts_.answer_save(path);
        {
            AtomicFile::InjectedFault fault(AtomicFile::Fault::FailedFlush);
            prompts_.allow_ok_messages();
            window_->save_picture();
        }
        ASSERT_FALSE(prompts_.messages().empty());
        EXPECT_TRUE(prompts_.messages().back().text.startsWith(QStringLiteral("Soubor ")));
        QFile again(path);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), bytes) << name;
    }
}

TEST_F(AnalysisWindowTest, switchedOffTracesLeaveTheChart) {
    for (QCheckBox* box : window_->findChildren<QCheckBox*>())
        if (box->text() != LogChart::trace_name(LogData::Action)) box->setChecked(false);
    EXPECT_FALSE(window_->chart().trace_shown(LogData::Measured));
    EXPECT_TRUE(window_->chart().trace_shown(LogData::Action));
    EXPECT_TRUE(render_window(window_.get(), QStringLiteral("analysis_action_only")));
}

TEST(AnalysisWindowOpen, reportsAnUnreadableFileAndOpensNoWindow) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.txt"));
    QFile(path).open(QIODevice::WriteOnly);
    ScriptedPrompts prompts;
    prompts.allow_ok_messages();
    EXPECT_EQ(AnalysisWindow::open(path, prompts, nullptr), nullptr);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(prompts.messages()[0].text.contains(QStringLiteral("Soubor je prázdný.")));
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("Analýza záznamu"));
}

}  // namespace
