#include "monitor/comm_monitor.h"

#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include "app/file_write_failure.h"
#include "app/main_window_fixture.h"
#include "comm/recording_line.h"
#include "monitor/link_indicator.h"
#include "monitor/telegram_model.h"
#include "platform/errors.h"
#include "sim/bus.h"
#include "support/render.h"

namespace {

// The request layer on a recording line over the fake line with the live device behind
// it; the device can be silenced.
class TrafficTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        line.set_responder(
            [this](const Bytes& request) { return silent ? Bytes{} : device.answer(request); });
        traffic.set_device_address(1);
        traffic.set_computer_address(0);
        // The window's exchanges go through the recorder too.
        requests.set_line(recorder);
    }
    void read(int address = 1) {
        traffic.set_device_address(static_cast<std::uint8_t>(address));
        traffic.read_table(TableId::TAB_LIVE);
    }
    int recorded() const { return static_cast<int>(recorder.records_since(0).size()); }

    bool silent = false;
    RecordingLine recorder{line};
    DeviceData traffic_data;
    CommBuffer traffic_buffer;
    RequestLayer traffic{recorder, prompts, traffic_data, traffic_buffer};
};

class CommMonitorTest : public TrafficTest {
  protected:
    void SetUp() override {
        TrafficTest::SetUp();
        monitor = std::make_unique<CommMonitor>(recorder, prompts);
        recorder.set_observer([this] { monitor->notify(); });
        monitor->show();
    }
    void TearDown() override {
        recorder.set_observer({});
        monitor.reset();
        TrafficTest::TearDown();
    }
    int rows() const { return monitor->model().rowCount(); }
    QPushButton* button(const char* name) {
        return monitor->findChild<QPushButton*>(QLatin1String(name));
    }
    QString cell(int row, int column) const { return monitor->model().cell_text(row, column); }

    std::unique_ptr<CommMonitor> monitor;
};

TEST_F(CommMonitorTest, RowsArriveInBatchesWithFaultsInColour) {
    read();
    silent = true;
    read();
    // Nothing is drawn while the exchange runs; the batch comes from the event loop.
    EXPECT_EQ(rows(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() == recorded(); }, 2000));
    ASSERT_GE(rows(), 3);

    EXPECT_EQ(cell(0, TelegramModel::Direction), QStringLiteral("vysláno"));
    EXPECT_EQ(cell(0, TelegramModel::Dest), QStringLiteral("1"));
    EXPECT_EQ(cell(0, TelegramModel::Source), QStringLiteral("0"));
    EXPECT_EQ(cell(0, TelegramModel::Hex),
              QStringLiteral("68 07 07 68 01 00 6C 01 0A 15 00 8D 16"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+,\\d{3}$"))
                    .match(cell(0, TelegramModel::Time))
                    .hasMatch())
        << cell(0, TelegramModel::Time).toStdString();

    TelegramModel& m = monitor->model();
    const auto colour = [&](int row) {
        return m.data(m.index(row, TelegramModel::Verdict), Qt::ForegroundRole);
    };
    bool saw_good = false, saw_fault = false;
    for (int r = 0; r < rows(); ++r) {
        const bool fault = TelegramModel::is_fault(m.record(r));
        EXPECT_EQ(colour(r).isValid(), fault) << r;
        if (fault) {
            saw_fault = true;
            EXPECT_FALSE(cell(r, TelegramModel::Verdict).isEmpty());
        }
        if (m.record(r).verdict == Verdict::Ok) saw_good = true;
    }
    EXPECT_TRUE(saw_good);
    EXPECT_TRUE(saw_fault);
}

TEST_F(CommMonitorTest, PauseHoldsTheListAndResumeCatchesUp) {
    read();
    monitor->refresh();
    const int before = rows();
    ASSERT_GT(before, 0);

    button("tl_pozastavit")->click();
    EXPECT_EQ(button("tl_pozastavit")->text(), QStringLiteral("Pokračovat"));
    read();
    read();
    QTest::qWait(3 * CommMonitor::kBatchMs);
    monitor->refresh();
    EXPECT_EQ(rows(), before);

    button("tl_pozastavit")->click();
    EXPECT_EQ(button("tl_pozastavit")->text(), QStringLiteral("Pozastavit"));
    EXPECT_EQ(rows(), recorded());
    EXPECT_GT(rows(), before);
}

TEST_F(CommMonitorTest, AddressFilterAndClear) {
    read(1);
    read(2);
    read(1);
    monitor->refresh();
    const int all = rows();

    auto* filter = monitor->findChild<QSpinBox*>(QStringLiteral("ed_adresa"));
    filter->setValue(2);
    ASSERT_GT(rows(), 0);
    EXPECT_LT(rows(), all);
    for (int r = 0; r < rows(); ++r) {
        const TelegramRecord& t = monitor->model().record(r);
        EXPECT_TRUE(t.dest == 2 || t.src == 2) << r;
    }
    // New telegrams of other addresses stay out.
    read(1);
    monitor->refresh();
    for (int r = 0; r < rows(); ++r) {
        const TelegramRecord& t = monitor->model().record(r);
        EXPECT_TRUE(t.dest == 2 || t.src == 2) << r;
    }
    filter->setValue(TelegramModel::kAllAddresses);
    EXPECT_EQ(rows(), recorded());

    button("tl_vymazat")->click();
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(recorder.stats().empty());
    read();
    monitor->refresh();
    EXPECT_EQ(rows(), recorded());
    EXPECT_GT(rows(), 0);
}

TEST_F(CommMonitorTest, SaveWritesTheShownRowsAsWindows1250WithCrLf) {
    read(1);
    read(2);
    monitor->refresh();
    monitor->findChild<QSpinBox*>(QStringLiteral("ed_adresa"))->setValue(1);
    const QString path = dir.filePath(QStringLiteral("monitor.txt"));
    prompts.answer_save(path);
    button("tl_ulozit")->click();

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    // clang-format off
    const QByteArray header("\xC8" "as [s]; Sm" "\xEC" "r; C" "\xED" "l; Zdroj; V" "\xFD" "znam; Bajty; V"
                            "\xFD" "sledek\r\n");
    // clang-format on
    ASSERT_TRUE(bytes.startsWith(header)) << bytes.left(80).toStdString();
    const QList<QByteArray> lines = bytes.mid(header.size()).split('\n');
    ASSERT_EQ(lines.size(), rows() + 1);  // the last line end leaves an empty piece
    EXPECT_TRUE(lines.last().isEmpty());
    for (int r = 0; r < rows(); ++r) {
        EXPECT_TRUE(lines[r].endsWith('\r')) << r;
        EXPECT_EQ(lines[r].count(';'), TelegramModel::ColumnCount - 1) << r;
    }
    EXPECT_TRUE(
        lines[0].contains(QByteArray("; vysl"
                                     "\xE1"
                                     "no; 1; 0; ")));
    EXPECT_TRUE(lines[0].contains(QByteArray("; 68 07 07 68 01 00 6C 01 0A 15 00 8D 16; ")));
    EXPECT_EQ(prompts.last().file.default_suffix, QStringLiteral("txt"));
    EXPECT_TRUE(prompts.last().file.overwrite_prompt);
}

#ifdef TX20_HAVE_FILE_SIZE_LIMIT
TEST_F(CommMonitorTest, FailedSaveKeepsThePreviousFile) {
    for (int i = 0; i < 20; ++i) read();
    monitor->refresh();
    const QString path = dir.filePath(QStringLiteral("monitor.txt"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous\r\n");
    }
    {
        FileSizeLimit limit(200);
        EXPECT_THROW(monitor->write_list(path), FileError);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("previous\r\n"));
}
#endif

// A picture of the monitor on a bus of two simulated controllers, one of which spoils
// every third checksum.
TEST_F(CommMonitorTest, RendersTrafficOfTwoControllers) {
    sim::Options options;
    options.addresses = {1, 2};
    options.faults = {{sim::Fault::BadChecksum, 3}};
    sim::Bus bus(options);
    line.set_responder([&bus](const Bytes& request) {
        return sim::flatten(bus.handle(request.data(), static_cast<int>(request.size())));
    });
    for (int i = 0; i < 8; ++i) read(1 + i % 2);
    traffic.read_table(TableId::TAB_PID);
    monitor->refresh();
    EXPECT_TRUE(render_window(monitor.get(), QStringLiteral("comm_monitor_two_controllers")));
}

// The main window with the recording line attached.
class LinkIndicatorTest : public TrafficTest {
  protected:
    Tkrt01& create_recorded() {
        store = std::make_unique<SettingsStore>(ini_path());
        window = std::make_unique<Tkrt01>(*store, prompts, clock, bus);
        window->attach_recorder(recorder);
        return *window;
    }
    // A reading, then the event loop until the panel shows what the line says.
    void read_and_settle() {
        window->tl_precistClick();
        bus.wait_idle();
        bus.wait_idle();
        const QString expected = link_indicator::caption(recorder.link_state());
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !window->link_panel()->text().isEmpty() &&
                       window->link_panel()->text() == expected;
            },
            5000));
    }
};

TEST_F(LinkIndicatorTest, GoodThenFailedThenGood) {
    Tkrt01& w = create_recorded();
    w.show();
    QLabel* panel = w.link_panel();
    ASSERT_TRUE(panel->isVisible());
    // The panel is the last one, at the right end of the status bar.
    EXPECT_GT(panel->geometry().left(), w.jednotky_panel()->geometry().right());
    EXPECT_TRUE(panel->text().isEmpty());

    read_and_settle();
    EXPECT_EQ(panel->text(), QStringLiteral("spojení OK"));
    EXPECT_EQ(panel_color(panel), face());
    EXPECT_TRUE(panel->toolTip().startsWith(QStringLiteral("Poslední dobré čtení: ")));
    const QString good_hint = panel->toolTip();

    silent = true;
    read_and_settle();
    const QRegularExpression failed(QStringLiteral("^bez odpovědi \\((\\d+)×\\)$"));
    const auto first = failed.match(panel->text());
    ASSERT_TRUE(first.hasMatch()) << panel->text().toStdString();
    EXPECT_EQ(panel_color(panel), red());
    EXPECT_EQ(panel->toolTip(), good_hint);
    read_and_settle();
    const auto second = failed.match(panel->text());
    ASSERT_TRUE(second.hasMatch()) << panel->text().toStdString();
    EXPECT_GT(second.captured(1).toInt(), first.captured(1).toInt());
    // The live panels keep what the controller last said, marked as no answer.
    EXPECT_EQ(text("pa_porucha"), QStringLiteral("bez odpovědi"));
    EXPECT_TRUE(render_window(&w, QStringLiteral("main_window_link_failed")));

    silent = false;
    read_and_settle();
    EXPECT_EQ(panel->text(), QStringLiteral("spojení OK"));
    EXPECT_EQ(panel_color(panel), face());

    EXPECT_TRUE(render_window(&w, QStringLiteral("main_window_link")));
}

TEST_F(LinkIndicatorTest, MenuOpensTheMonitorWithoutStoppingTheCycle) {
    Tkrt01& w = create_recorded();
    QMenu* menu = w.servis_menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> items = menu->actions();
    ASSERT_FALSE(items.isEmpty());
    // Access keys stay unique within the menu.
    QSet<QChar> keys;
    for (QAction* a : items) {
        const int amp = a->text().indexOf(QLatin1Char('&'));
        if (amp < 0) continue;
        EXPECT_FALSE(keys.contains(a->text().at(amp + 1).toLower())) << a->text().toStdString();
        keys.insert(a->text().at(amp + 1).toLower());
    }

    w.show();
    check("check_auto")->setChecked(true);
    menu->findChild<QAction*>(QStringLiteral("mn_monitor"))->trigger();
    ASSERT_NE(w.monitor(), nullptr);
    EXPECT_TRUE(w.monitor()->isVisible());
    EXPECT_FALSE(w.monitor()->isModal());
    EXPECT_TRUE(w.timer().isActive());
    tick();
    ASSERT_GT(recorded(), 0);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w.monitor()->model().rowCount() == recorded(); }, 5000));

    silent = true;
    tick();
    QTest::qWait(2 * CommMonitor::kBatchMs);
    EXPECT_TRUE(render_window(w.monitor(), QStringLiteral("comm_monitor")));

    w.close();
    EXPECT_FALSE(w.monitor()->isVisible());
}

}  // namespace
