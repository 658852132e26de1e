// A technician pulls the cable while automatic reading and recording run: the simulator
// process is killed under the program, then started again on the same port, and the
// line is taken back from the link panel.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "app/main_window.h"
#include "comm/Unit_hl.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "comm/recording_line.h"
#include "comm/serial_line.h"
#include "platform/cp1250.h"
#include "platform/settings_store.h"
#include "support/fake_clock.h"
#include "support/scripted_prompts.h"

namespace {

class OutageE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
        link = dir.filePath(QStringLiteral("ttyKELVRA"));
        QSettings ini(dir.filePath(QStringLiteral("TavTx20.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("PORTMAP/COM1"), link);
        ini.setValue(QStringLiteral("ADRESA/DA"), 1);
        ini.sync();
        serial.move_to_thread(bus.worker_thread());
    }
    void TearDown() override {
        window.reset();
        bus.run([this](RequestLayer&) {
            serial.close();
            serial.move_to_thread(QCoreApplication::instance()->thread());
            return true;
        });
        stop_simulator();
        QLocale::setDefault(QLocale::system());
    }
    void start_simulator() {
        sim.start(QStringLiteral(KELVRA20_SIM_EXE), {QStringLiteral("--link"), link});
        ASSERT_TRUE(sim.waitForStarted());
        // It prints its path once the terminal is linked and served.
        ASSERT_TRUE(sim.waitForReadyRead(5000));
        sim.readAll();
    }
    void stop_simulator() {
        if (sim.state() == QProcess::NotRunning) return;
        sim.kill();
        sim.waitForFinished();
    }
    void create_window() {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("TavTx20.ini")));
        window = std::make_unique<Tkrt01>(*store, prompts, clock, bus);
        port = new Tport(*store, recorder, bus, prompts, window.get());
        Tkrt01::Dialogs d;
        d.port = port;
        window->set_dialogs(d);
        window->attach_recorder(recorder);
    }
    void tick() {
        clock.advance_seconds(1);
        window->Timer1Timer();
        bus.wait_idle();
        QCoreApplication::processEvents();
        window->show_link();
    }
    QString text(const char* name) {
        return window->findChild<QLabel*>(QLatin1String(name))->text();
    }
    QList<QByteArray> saved_lines() {
        window->findChild<QAction*>(QStringLiteral("mn_ulozit"))->trigger();
        QFile f(log_path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        lines.removeLast();  // after the last CR LF
        return lines;
    }

    QTemporaryDir dir;
    QString link;
    QString log_path;
    QProcess sim;
    SerialLine serial;
    RecordingLine recorder{serial};
    ScriptedPrompts prompts;
    FakeClock clock;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{recorder, prompts, data, buffer};
    BusWorker bus{req, prompts};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Tkrt01> window;
    Tport* port = nullptr;
};

TEST_F(OutageE2E, RowsAfterTheKillSayNoAnswerAndTheReopenedPortReadsAgain) {
    start_simulator();
    create_window();
    log_path = dir.filePath(QStringLiteral("noc.TXT"));
    window->findChild<QCheckBox*>(QStringLiteral("check_auto"))->setChecked(true);
    prompts.answer_message(PromptAnswer::Yes);  // clear the data: a new log
    prompts.answer_save(log_path);
    window->findChild<QCheckBox*>(QStringLiteral("check_zapis"))->click();
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(text("pa_spojeni"), QStringLiteral("spojení OK"));
    const QList<QByteArray> before = saved_lines();
    ASSERT_EQ(before.size(), 3 + 4);  // header, the new log's line and three ticks

    stop_simulator();
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("bez odpovědi"));
    EXPECT_EQ(text("pa_spojeni"), QStringLiteral("port ztracen"));
    EXPECT_TRUE(window->link_panel()->toolTip().contains(QStringLiteral("Otevřít port znovu")));

    // Back on the bus, but the line stays unusable until the user asks for it.
    start_simulator();
    tick();
    EXPECT_EQ(text("pa_spojeni"), QStringLiteral("port ztracen"));
    window->findChild<QAction*>(QStringLiteral("mn_reopen_port"))->trigger();
    tick();
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("není porucha"));
    EXPECT_EQ(text("pa_spojeni"), QStringLiteral("spojení OK"));

    const QList<QByteArray> after = saved_lines();
    ASSERT_EQ(after.size(), before.size() + 5);
    for (int i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << i;
    const QByteArray no_answer = cp1250::encode(QStringLiteral("; bez odpovědi;   "));
    const QByteArray good = cp1250::encode(QStringLiteral("; není porucha;   "));
    for (int i = before.size(); i < before.size() + 4; ++i)
        EXPECT_TRUE(after[i].contains(no_answer)) << after[i].toStdString();
    EXPECT_TRUE(after.last().contains(good)) << after.last().toStdString();
    EXPECT_TRUE(prompts.unused_answers() == 0);
}

}  // namespace
