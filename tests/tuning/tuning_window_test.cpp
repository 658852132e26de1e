#include "tuning/tuning_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "comm/bus_worker.h"
#include "support/render.h"
#include "support/request_fixture.h"
#include "tests/tuning/synthetic_loop.h"

namespace {

// The window on the bus worker, a simulated controller with a given process behind
// the fake line; the simulator's time moves only when the test moves it.
class TuningWindowTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        sim::Options o;
        sim::PlantSpec plant;
        plant.model.gain = 1.5;
        plant.model.tau = 40;
        plant.model.dead = 8;
        o.plant = plant;
        attach(o);
        line.set_responder([this](const Bytes& r) {
            if (dead) return Bytes{};
            return sim::flatten(bus->handle(r.data(), static_cast<int>(r.size())));
        });
        DeviceData& d = bus->station(1);
        d.pid = {50.0f, 40.0f, 0.0f, 1};
        d.rego.DEAD = 0;
        d.rego.TPID = 1;
        window = std::make_unique<TuningWindow>(&worker, prompts);
        window->set_clock([this] { return now; });
        SyntheticLoop s;
        s.process = plant.model;
        s.noise = 0.01;
        s.duration = 600;
        window->set_record(make_record(s), QStringLiteral("skok.txt"));
        window->read_current(true);
        window->show();
    }
    // One live cycle: a second of the process, the window's tick, its jobs delivered.
    void cycle() {
        bus->advance(1);
        now += 1;
        window->step_tick();
        worker.wait_idle();
        worker.wait_idle();
    }
    QString cell(int row, int col) const { return window->proposal_table().item(row, col)->text(); }

    bool dead = false;
    double now = 0;
    BusWorker worker{req, prompts};
    std::unique_ptr<TuningWindow> window;
};

TEST_F(TuningWindowTest, ShowsTheModelTheProposalBesideTheCurrentValuesAndTheAssessment) {
    EXPECT_TRUE(window->study().ok());
    EXPECT_TRUE(window->model_text().text().contains(QStringLiteral("θ = ")));
    EXPECT_EQ(cell(0, 0), QLocale().toString(50.0, 'g', 5));  // PB as the controller holds it
    EXPECT_FALSE(cell(0, 1).isEmpty());
    EXPECT_FALSE(cell(3, 0).isEmpty());  // Ms of the current tuning too
    const QString simc_pb = cell(0, 1);
    window->tau_c().setValue(75);  // more robust: a wider band
    EXPECT_GT(window->study().proposal.fields.PB, QLocale().toDouble(simc_pb));
    window->tau_c().setValue(25);
    EXPECT_GT(window->assessment().rowCount(), 5);
    for (int tab = 0; tab < window->tabs().count(); ++tab) {
        window->tabs().setCurrentIndex(tab);
        EXPECT_TRUE(render_window(window.get(), QStringLiteral("tuning_%1").arg(tab)));
    }
    window->rule().setCurrentIndex(3);
    EXPECT_TRUE(window->study().proposal.aggressive);
    EXPECT_FALSE(window->tau_c().isEnabled());
}

TEST_F(TuningWindowTest, WritesAfterAskingWithOldToNewAndPutsTheOriginalBack) {
    prompts.answer_message(PromptAnswer::Yes);
    window->write_proposal();
    ASSERT_FALSE(prompts.empty());
    const QString asked = prompts.records().front().text;
    EXPECT_TRUE(asked.contains(QStringLiteral("PB: 50 → "))) << asked.toStdString();
    const PidGroup written = bus->station(1).pid;
    EXPECT_NE(written.PB, 50.0f);
    EXPECT_EQ(written.TUNE, 1);
    EXPECT_TRUE(window->restore_button().isEnabled());
    window->restore_original();
    EXPECT_EQ(bus->station(1).pid.PB, 50.0f);
    EXPECT_EQ(bus->station(1).pid.INT, 40.0f);
    EXPECT_FALSE(window->restore_button().isEnabled());
}

TEST_F(TuningWindowTest, AnsweringNoWritesNothing) {
    prompts.answer_message(PromptAnswer::No);
    window->write_proposal();
    EXPECT_EQ(bus->station(1).pid.PB, 50.0f);
    EXPECT_FALSE(window->restore_button().isEnabled());
}

TEST_F(TuningWindowTest, StepTestRecordsAndPutsTheSetPointBackWhenStopped) {
    QSignalSpy written(window.get(), &TuningWindow::set_point_written);
    window->step_size().setValue(4);
    window->start_step_test();
    ASSERT_TRUE(window->step_running());
    for (int i = 0; i < 30; ++i) cycle();
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 59.0f);
    window->stop_step_test();
    worker.wait_idle();
    EXPECT_FALSE(window->step_running());
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 55.0f);
    EXPECT_TRUE(window->step_status().text().contains(QStringLiteral("vrácena")));
    // The step and its way back, for the journal.
    QCoreApplication::processEvents();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0][1].toDouble(), 55.0);
    EXPECT_EQ(written[0][2].toDouble(), 59.0);
    EXPECT_FALSE(written[0][4].toBool());
    EXPECT_EQ(written[1][2].toDouble(), 55.0);
    EXPECT_TRUE(written[1][3].toBool() && written[1][4].toBool());
}

TEST_F(TuningWindowTest, StepTestRunsToTheEndAndIdentifiesTheProcess) {
    window->step_size().setValue(4);
    window->start_step_test();
    for (int i = 0; i < 900 && window->step_running(); ++i) cycle();
    worker.wait_idle();
    EXPECT_FALSE(window->step_running());
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 55.0f);
    ASSERT_TRUE(window->study().identification.ok())
        << refusal_text(window->study().identification, false).toStdString();
    EXPECT_NEAR(window->study().identification.model.model.gain, 1.5, 0.1);
    EXPECT_NEAR(window->study().identification.model.model.tau, 40, 6);
    window->tabs().setCurrentIndex(2);
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("tuning_step")));
}

TEST_F(TuningWindowTest, ClosingTheWindowPutsTheSetPointBack) {
    window->start_step_test();
    for (int i = 0; i < 15; ++i) cycle();
    ASSERT_FLOAT_EQ(bus->station(1).comp.SP, 60.0f);
    window->close();
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 55.0f);
}

TEST_F(TuningWindowTest, ASetPointThatCannotGoBackIsSaidLoudly) {
    window->start_step_test();
    for (int i = 0; i < 15; ++i) cycle();
    ASSERT_FLOAT_EQ(bus->station(1).comp.SP, 60.0f);
    dead = true;
    prompts.allow_ok_messages();
    for (int i = 0; i < 6; ++i) cycle();  // the link is lost, then the window closes
    window->close();
    bool said = false;
    for (const auto& m : prompts.messages())
        said = said || (m.icon == PromptIcon::Error &&
                        m.text.contains(QStringLiteral("nepodařilo vrátit")));
    EXPECT_TRUE(said);
    EXPECT_TRUE(window->step_status().text().contains(QStringLiteral("POZOR")));
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("tuning_loud")));
}

TEST_F(TuningWindowTest, ProtocolIsAPdf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.pdf"));
    QString reason;
    ASSERT_TRUE(window->write_protocol(path, &reason)) << reason.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
}

}  // namespace
