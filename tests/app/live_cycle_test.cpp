#include <algorithm>
#include <chrono>

#include "main_window_fixture.h"
#include "platform/formats.h"
#include "sim/bus.h"

namespace {

using LiveCycleTest = MainWindowTest;

TEST_F(LiveCycleTest, ReadNowShowsEveryValueInItsFormat) {
    Tkrt01& w = create();
    LiveGroup& live = device.data.live;
    live.MEAS = 21.456f;
    live.SP = 1234.56f;
    live.YOUT = 655;
    live.TTERM = 23.45f;
    live.FEEDBACK = 500;
    live.RELAYS = 0b101;
    live.FAULT = 0;
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_measure"), QStringLiteral("21,46"));
    EXPECT_EQ(text("pa_sp"), QStringLiteral("1234,60"));
    EXPECT_EQ(child<QProgressBar>("bar_yout")->value(), 655);
    EXPECT_EQ(text("lb_yout"), QStringLiteral("65,5"));
    EXPECT_EQ(text("lb_ts"), QStringLiteral("23,5"));
    EXPECT_EQ(child<QProgressBar>("bar_zv")->value(), 500);
    EXPECT_EQ(text("lb_zv"), QStringLiteral("50,0"));
    EXPECT_EQ(color("pa_re1"), yellow());
    EXPECT_EQ(color("pa_re2"), face());
    EXPECT_EQ(color("pa_re3"), yellow());
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("není porucha"));
    EXPECT_EQ(color("pa_porucha"), face());
    ASSERT_EQ(w.chart().point_count(), 1);
    EXPECT_DOUBLE_EQ(w.chart().y_at(0), static_cast<double>(21.456f));
    EXPECT_EQ(w.chart().x_at(0), 1);
    EXPECT_EQ(line.writes().size(), 1u);
}

TEST_F(LiveCycleTest, ReadsTheSimulatedController) {
    sim::Bus controllers{sim::Options{}};
    line.set_responder([&controllers](const Bytes& request) {
        return sim::flatten(controllers.handle(request.data(), static_cast<int>(request.size())));
    });
    Tkrt01& w = create();
    requests.set_device_address(1);
    controllers.advance(30.0);
    w.tl_precistClick();
    bus.wait_idle();
    const LiveGroup& live = controllers.station(1).live;
    EXPECT_EQ(text("pa_measure"), formats::fixed(live.MEAS, 2, 5));
    EXPECT_EQ(text("pa_sp"), formats::fixed(live.SP, 2, 5));
    EXPECT_EQ(text("lb_ts"), formats::fixed(live.TTERM, 1, 5));
    EXPECT_EQ(child<QProgressBar>("bar_yout")->value(), std::clamp(live.YOUT, 0, 1000));
    EXPECT_DOUBLE_EQ(w.chart().y_at(0), static_cast<double>(live.MEAS));
}

TEST_F(LiveCycleTest, FaultTurnsThePanelRedAndBarsClampOutOfRangeValues) {
    Tkrt01& w = create();
    device.data.live.FAULT = 3;
    device.data.live.YOUT = 65535;
    device.data.live.FEEDBACK = 1001;
    device.data.live.RELAYS = 0b010;
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("PORUCHA"));
    EXPECT_EQ(color("pa_porucha"), red());
    EXPECT_EQ(child<QProgressBar>("bar_yout")->value(), 1000);
    EXPECT_EQ(child<QProgressBar>("bar_zv")->value(), 1000);
    EXPECT_EQ(text("lb_yout"), QStringLiteral("6554,0"));
    EXPECT_EQ(color("pa_re1"), face());
    EXPECT_EQ(color("pa_re2"), yellow());
    EXPECT_EQ(color("pa_re3"), face());
}

TEST_F(LiveCycleTest, FailedReadingRepeatsTheLastValuesAndTheTrendGoesOnFlat) {
    Tkrt01& w = create();
    line.set_responder({});
    w.tl_precistClick();  // nothing read yet: zeros
    bus.wait_idle();
    EXPECT_EQ(text("pa_measure"), QStringLiteral("0,00"));
    EXPECT_EQ(text("pa_sp"), QStringLiteral("0,00"));
    EXPECT_EQ(text("lb_yout"), QStringLiteral("0,0"));
    EXPECT_EQ(text("lb_ts"), QStringLiteral("0,0"));
    EXPECT_TRUE(prompts.empty());

    line.set_responder(device.responder());
    device.data.live.MEAS = 42.0f;
    w.tl_precistClick();
    bus.wait_idle();
    line.set_responder({});
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_measure"), QStringLiteral("42,00"));
    ASSERT_EQ(w.chart().point_count(), 3);
    EXPECT_DOUBLE_EQ(w.chart().y_at(2), 42.0);
    EXPECT_EQ(w.chart().x_at(2), 3);
}

// The previous values are shown again, but never as a measurement: the fault panel says
// that no answer came, in the fault colour, and the values are greyed until the next
// good reading.
TEST_F(LiveCycleTest, FailedReadingSaysNoAnswerUntilTheNextGoodOne) {
    Tkrt01& w = create();
    device.data.live.MEAS = 42.0f;
    w.tl_precistClick();
    bus.wait_idle();
    const auto fg = [this](const char* name) {
        return label(name)->palette().color(QPalette::WindowText);
    };
    const QColor live_text = fg("pa_measure");
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("není porucha"));

    line.set_responder({});
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("bez odpovědi"));
    EXPECT_EQ(color("pa_porucha"), red());
    EXPECT_EQ(text("pa_measure"), QStringLiteral("42,00"));
    for (const char* name : {"pa_measure", "pa_sp", "lb_yout"})
        EXPECT_NE(fg(name), live_text) << name;

    line.set_responder(device.responder());
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("není porucha"));
    EXPECT_EQ(color("pa_porucha"), face());
    for (const char* name : {"pa_measure", "pa_sp", "lb_yout"})
        EXPECT_EQ(fg(name), live_text) << name;

    // Nobody answers a broadcast either.
    requests.set_device_address(127);
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("bez odpovědi"));
}

TEST_F(LiveCycleTest, TimerActsOncePerChangeOfTheClockSecond) {
    Tkrt01& w = create();
    // The first tick below keeps the clock's second: a real tick of a slow start must not
    // take that second first.
    w.timer().setInterval(std::chrono::hours(1));
    check("check_auto")->setChecked(true);
    w.Timer1Timer();  // first tick: the second differs from 0
    bus.wait_idle();
    EXPECT_EQ(device.reads, 1);
    w.Timer1Timer();
    bus.wait_idle();
    clock.advance_ms(400);
    w.Timer1Timer();  // still the same second
    bus.wait_idle();
    EXPECT_EQ(device.reads, 1);
    tick(5);  // seconds passed while blocked are not made up
    EXPECT_EQ(device.reads, 2);
    tick(60);  // the same seconds part a minute later is no change
    EXPECT_EQ(device.reads, 2);
}

struct PeriodCase {
    const char* list;
    const char* unit;
    int ticks;
    int readings;
    int first_at;  // tick of the first reading
};

class SamplePeriod : public MainWindowTest, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(SamplePeriod, ReadsOncePerListTimesUnitSeconds) {
    const PeriodCase& c = GetParam();
    store_value("ZAZNAM", "LIST", QLatin1String(c.list));
    store_value("ZAZNAM", "JEDNOTKY", QLatin1String(c.unit));
    Tkrt01& w = create();
    check("check_auto")->setChecked(true);
    int first = 0;
    for (int i = 1; i <= c.ticks; ++i) {
        tick();
        if (first == 0 && device.reads == 1) first = i;
    }
    EXPECT_EQ(device.reads, c.readings);
    EXPECT_EQ(first, c.first_at);
    EXPECT_EQ(w.chart().point_count(), c.readings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SamplePeriod,
    ::testing::Values(PeriodCase{"1", "1", 5, 5, 1}, PeriodCase{"2", "60", 240, 2, 120},
                      PeriodCase{"3", "1", 10, 3, 3}, PeriodCase{"0", "1", 4, 4, 1},
                      PeriodCase{"5", "0", 4, 4, 1}, PeriodCase{"-2", "60", 4, 4, 1},
                      // The product would overflow 32 bits.
                      PeriodCase{"2147483647", "60", 3, 0, 0}));

TEST_F(LiveCycleTest, IdleTicksDoNothing) {
    create();
    ticks(5);
    EXPECT_EQ(device.reads, 0);
    EXPECT_EQ(window->chart().point_count(), 0);
}

TEST_F(LiveCycleTest, ReadNowWorksInDemoModeAndDoesNotTouchTheSampleCounter) {
    Tkrt01& w = create();
    prompts.answer_message(PromptAnswer::No);
    check("check_demo")->click();
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(device.reads, 1);
    EXPECT_EQ(w.sample_ticks(), 0);
}

TEST_F(LiveCycleTest, DemoOnWhileAutomaticDisablesTheBoxesAndSendsNothing) {
    Tkrt01& w = create();
    check("check_auto")->setChecked(true);
    check("check_zapis")->setChecked(true);
    prompts.answer_message(PromptAnswer::No);
    check("check_demo")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chceš vymazat naměřená data?"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Clear"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Warning);
    EXPECT_EQ(prompts.last().buttons, PromptButtons::YesNo);
    EXPECT_FALSE(check("check_auto")->isEnabled());
    EXPECT_FALSE(check("check_zapis")->isEnabled());
    EXPECT_TRUE(check("check_auto")->isChecked());
    EXPECT_TRUE(check("check_zapis")->isChecked());
    EXPECT_TRUE(w.timer().isActive());

    line.clear_events();
    ticks(20);
    EXPECT_TRUE(line.events().empty());
    EXPECT_EQ(w.chart().point_count(), 20);
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("DEMO"));
    EXPECT_EQ(text("pa_sp"), QStringLiteral("55,00"));

    check("check_demo")->click();  // off: no question
    EXPECT_TRUE(check("check_auto")->isEnabled());
    EXPECT_TRUE(check("check_zapis")->isEnabled());
    tick();
    EXPECT_EQ(device.reads, 1);
    EXPECT_EQ(w.chart().point_count(), 21);
}

TEST_F(LiveCycleTest, DemoValuesStayInTheirRangesAndDriveTheRelays) {
    Tkrt01& w = create();
    w.seed_demo(7);
    device.data.live.FEEDBACK = 300;
    w.tl_precistClick();
    bus.wait_idle();
    prompts.answer_message(PromptAnswer::No);
    check("check_demo")->click();
    const QLocale cz;
    for (int i = 0; i < 200; ++i) {
        tick();
        bool ok = false;
        const int m = text("pa_measure").toInt(&ok);
        ASSERT_TRUE(ok) << text("pa_measure").toStdString();
        ASSERT_GE(m, 0);
        ASSERT_LE(m, 99);
        const double t = cz.toDouble(text("lb_ts"), &ok);
        ASSERT_TRUE(ok) << text("lb_ts").toStdString();
        ASSERT_GE(t, 21.01);
        ASSERT_LE(t, 21.1);
        ASSERT_FALSE(text("lb_ts").contains(QStringLiteral("0000")));
        const int a = text("lb_yout").toInt(&ok);
        ASSERT_TRUE(ok);
        ASSERT_LT(a, 50);
        ASSERT_EQ(child<QProgressBar>("bar_yout")->value(), a * 10);
        ASSERT_EQ(color("pa_re1"), m > 55 ? yellow() : face());
        ASSERT_EQ(color("pa_re2"), m > 55 ? face() : yellow());
        ASSERT_EQ(color("pa_re3"), m > 75 ? yellow() : face());
        ASSERT_DOUBLE_EQ(w.chart().y_at(w.chart().point_count() - 1), m);
    }
    // The feedback keeps what the last reading showed.
    EXPECT_EQ(text("lb_zv"), QStringLiteral("30,0"));
    EXPECT_EQ(child<QProgressBar>("bar_zv")->value(), 300);
}

TEST_F(LiveCycleTest, DemoClearQuestionYesEmptiesTheTrendAndRestartsX) {
    Tkrt01& w = create();
    w.tl_precistClick();
    bus.wait_idle();
    w.tl_precistClick();
    bus.wait_idle();
    prompts.answer_message(PromptAnswer::Yes);
    check("check_demo")->click();
    EXPECT_EQ(w.chart().point_count(), 0);
    EXPECT_EQ(w.point_no(), 0);
    tick();
    EXPECT_EQ(w.chart().x_at(0), 1);
}

TEST_F(LiveCycleTest, DemoClearQuestionNoKeepsTheTrendAndContinuesX) {
    Tkrt01& w = create();
    w.tl_precistClick();
    bus.wait_idle();
    w.tl_precistClick();
    bus.wait_idle();
    prompts.answer_message(PromptAnswer::No);
    check("check_demo")->click();
    EXPECT_EQ(w.chart().point_count(), 2);
    tick();
    EXPECT_EQ(w.chart().x_at(2), 3);
}

TEST_F(LiveCycleTest, CheckingAutomaticWithAnEmptyChartAsksNothing) {
    Tkrt01& w = create();
    check("check_auto")->click();
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(check("check_auto")->isChecked());
    EXPECT_TRUE(w.timer().isActive());
}

TEST_F(LiveCycleTest, CheckingAutomaticYesStartsANewLogWithAnEmptyTrend) {
    Tkrt01& w = create();
    w.tl_precistClick();
    bus.wait_idle();
    w.tl_precistClick();
    bus.wait_idle();
    device.reads = 0;
    prompts.answer_message(PromptAnswer::Yes);
    check("check_auto")->click();
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Clear"));
    EXPECT_EQ(w.chart().point_count(), 0);
    EXPECT_EQ(w.point_no(), 0);
    EXPECT_EQ(w.sample_ticks(), 0);
    // Read now, then the sample step reaches the 1-second period at once.
    EXPECT_EQ(device.reads, 2);
    EXPECT_TRUE(w.timer().isActive());
}

TEST_F(LiveCycleTest, CheckingAutomaticNoKeepsTheTrend) {
    Tkrt01& w = create();
    w.tl_precistClick();
    bus.wait_idle();
    prompts.answer_message(PromptAnswer::No);
    check("check_auto")->click();
    EXPECT_EQ(w.chart().point_count(), 1);
    EXPECT_TRUE(w.timer().isActive());
    tick();
    EXPECT_EQ(w.chart().point_count(), 2);
}

TEST_F(LiveCycleTest, UncheckingAutomaticStopsTheReadings) {
    Tkrt01& w = create();
    check("check_auto")->click();
    tick();
    check("check_auto")->click();
    EXPECT_TRUE(prompts.empty());
    ticks(3);
    EXPECT_EQ(device.reads, 1);
    EXPECT_TRUE(w.timer().isActive());
}

// A dialog whose showing only records what the main window looked like meanwhile.
class ProbeDialog : public QDialog {
  public:
    using QDialog::QDialog;
    std::function<void()> on_exec;
    int exec() override {
        if (on_exec) on_exec();
        return QDialog::Accepted;
    }
};

TEST_F(LiveCycleTest, ParameterDialogsRunWithTheTimerStoppedAndGiveItBack) {
    Tkrt01& w = create();
    ProbeDialog load_form(&w);
    ProbeDialog menu_mod(&w);
    QStringList seen;
    load_form.on_exec = [&] { seen << QStringLiteral("load %1").arg(w.timer().isActive()); };
    menu_mod.on_exec = [&] { seen << QStringLiteral("menu %1").arg(w.timer().isActive()); };
    Tkrt01::Dialogs dialogs = w.dialogs();
    dialogs.load_form = &load_form;
    dialogs.menu_mod = &menu_mod;
    w.set_dialogs(dialogs);

    action("mn_parametry")->trigger();
    EXPECT_EQ(seen.join(QLatin1Char(',')), QStringLiteral("load 0,menu 0"));
    EXPECT_TRUE(w.timer().isActive());

    w.timer().stop();  // a stopped timer stays stopped
    action("mn_parametry")->trigger();
    EXPECT_FALSE(w.timer().isActive());
}

TEST_F(LiveCycleTest, OtherDialogsLeaveTheTimerRunning) {
    Tkrt01& w = create();
    ProbeDialog dlg(&w);
    QStringList seen;
    dlg.on_exec = [&] { seen << QString::number(w.timer().isActive()); };
    Tkrt01::Dialogs dialogs = w.dialogs();
    dialogs.about = dialogs.ident = dialogs.tab_vstupu = &dlg;
    w.set_dialogs(dialogs);
    for (const char* name : {"mn_about", "mn_ident", "mn_vyr_para"}) action(name)->trigger();
    EXPECT_EQ(seen.join(QLatin1Char(',')), QStringLiteral("1,1,1"));
}

}  // namespace
