// The request layer on the real serial line against the simulated controller.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <memory>
#include <thread>

#include "comm/Unit_hl.h"
#include "comm/serial_line.h"
#include "sim/pty_server.h"
#include "support/scripted_prompts.h"

namespace {

sim::Options with_fault(sim::Fault kind, int every = 1) {
    sim::Options o;
    o.faults.push_back({kind, every});
    return o;
}

// Counts the requests the layer hands to the line.
class CountingLine : public Line {
  public:
    explicit CountingLine(Line& inner) : inner_(inner) {}
    bool write_bytes(const std::uint8_t* b, int n, int* w) override {
        ++writes;
        return inner_.write_bytes(b, n, w);
    }
    bool read_bytes(std::uint8_t* b, int n, int* r) override { return inner_.read_bytes(b, n, r); }
    void purge_rx() override { inner_.purge_rx(); }
    void purge_tx() override { inner_.purge_tx(); }
    void pause_ms(int ms) override { inner_.pause_ms(ms); }
    int writes = 0;

  private:
    Line& inner_;
};

class SimE2E : public ::testing::Test {
  protected:
    void start(sim::Options options = {}, int rate = 9600, bool pace = false) {
        server = std::make_unique<sim::PtyServer>(std::move(options), rate, pace);
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        line.open(QStringLiteral("COM1"), server->path(), rate);
        req.set_device_address(1);
        req.set_computer_address(0);
    }
    void restart(sim::Options options) {
        line.close();
        server->stop();
        start(std::move(options));
    }
    // A failed write or EEPROM request ends by sending again, and that request goes
    // out: its answer can outrun the next request's purge. Let it arrive first.
    static void settle() { QThread::msleep(150); }
    template <class F>
    auto on_bus(F&& f) {
        auto lock = server->lock();
        return f(server->bus());
    }

    std::unique_ptr<sim::PtyServer> server;
    SerialLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    CountingLine counted{line};
    RequestLayer req{counted, prompts, data, buffer};
};

TEST_F(SimE2E, ReadsEveryTable) {
    start();
    for (int t = 0; t < kTableCount; ++t) EXPECT_TRUE(req.read_table(t)) << "table " << t;
    EXPECT_EQ(data.add.ADD, 1);
    EXPECT_FLOAT_EQ(data.comp.SP, on_bus([](sim::Bus& b) { return b.station(1).comp.SP; }));
    EXPECT_NEAR(data.live.TTERM, 23.0, 1.0);
    EXPECT_EQ(data.live.FAULT, 0);
    EXPECT_EQ(data.inputs.IN, on_bus([](sim::Bus& b) { return b.station(1).inputs.IN; }));
}

TEST_F(SimE2E, WrittenTableReachesTheControllerAndReadsBack) {
    start();
    ASSERT_TRUE(req.read_table(TableId::TAB_COMP));
    data.comp.SP = 42.5f;
    ASSERT_TRUE(req.write_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(on_bus([](sim::Bus& b) { return b.station(1).comp.SP; }), 42.5f);
    data.comp.SP = 0;
    ASSERT_TRUE(req.read_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(data.comp.SP, 42.5f);
}

TEST_F(SimE2E, WriteOfTheAddressTableMovesTheStation) {
    start();
    data.add.ADD = 7;
    ASSERT_TRUE(req.write_table(TableId::TAB_ADD));
    EXPECT_EQ(req.device_address(), 1);  // only the editor moves the program's address
    EXPECT_TRUE(on_bus([](sim::Bus& b) { return b.has_station(7) && !b.has_station(1); }));
    req.set_device_address(7);
    EXPECT_TRUE(req.probe_station());
    data.add.ADD = 0;
    ASSERT_TRUE(req.read_table(TableId::TAB_ADD));
    EXPECT_EQ(data.add.ADD, 7);
}

TEST_F(SimE2E, EepromCommitKeepsParametersAcrossARestart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sim::Options o;
    o.eeprom_file = dir.filePath(QStringLiteral("eeprom.ini"));
    start(o);
    ASSERT_TRUE(req.read_table(TableId::TAB_COMP));
    data.comp.SP = 61.5f;
    ASSERT_TRUE(req.write_table(TableId::TAB_COMP));
    ASSERT_TRUE(req.store_eeprom());
    data.comp.SP_H = 90.0f;  // written but never committed
    ASSERT_TRUE(req.write_table(TableId::TAB_COMP));

    restart(o);
    data.comp = {};
    ASSERT_TRUE(req.read_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(data.comp.SP, 61.5f);
    EXPECT_FLOAT_EQ(data.comp.SP_H, 100.0f);
}

TEST_F(SimE2E, ProbeAnswersOnlyWhereAStationIs) {
    sim::Options o;
    o.addresses = {1, 5};
    start(o);
    for (int a : {1, 5}) {
        req.set_device_address(static_cast<std::uint8_t>(a));
        EXPECT_TRUE(req.probe_station()) << "address " << a;
    }
    req.set_device_address(2);
    EXPECT_FALSE(req.probe_station());
}

TEST_F(SimE2E, SupportedControllerTellsItsTypeAndVersion) {
    start();
    ASSERT_TRUE(req.read_type_text());
    EXPECT_STREQ(buffer.type_text.data(), "KELVRA 20");
    ASSERT_TRUE(req.read_version_text());
    EXPECT_EQ(std::strncmp(buffer.version_text.data(), "FW-R-18-02", 10), 0)
        << buffer.version_text.data();
}

TEST_F(SimE2E, OlderModelReportsItsOwnFirmware) {
    sim::Options o;
    o.model = sim::Model::Krt01;
    start(o);
    ASSERT_TRUE(req.read_version_text());
    EXPECT_EQ(std::strncmp(buffer.version_text.data(), "FW-R-11-0", 9), 0)
        << buffer.version_text.data();
}

TEST_F(SimE2E, ForeignDeviceAnswersOnlyTheLooseIdentification) {
    sim::Options o;
    o.model = sim::Model::Foreign;
    start(o);
    EXPECT_FALSE(req.read_type_text());
    EXPECT_EQ(buffer.type_text[0], 0);
    ASSERT_TRUE(req.read_foreign_ident());
    EXPECT_NE(buffer.foreign_ident[0], 0);
    EXPECT_EQ(buffer.foreign_ident[96], 0);
}

TEST_F(SimE2E, PacedLineAtTheDefaultRateStillReadsWholeReplies) {
    start({}, 9600, true);
    EXPECT_TRUE(req.read_table(TableId::TAB_LIVE));
    EXPECT_TRUE(req.read_type_text());
}

// The slow rates need longer than the bus time-outs to carry a whole reply.
TEST_F(SimE2E, PacedSlowRatesReadWholeTables) {
    struct Case {
        int rate;
        TableId table;
    };
    for (const Case c : {Case{1200, TableId::TAB_INPUTS}, Case{300, TableId::TAB_LIVE}}) {
        SCOPED_TRACE(c.rate);
        line.close();
        if (server) server->stop();
        start({}, c.rate, true);
        EXPECT_TRUE(req.read_table(c.table));
    }
}

TEST_F(SimE2E, SilentDeviceAtTheDefaultRateFailsAfterTwoBusTimeouts) {
    start(with_fault(sim::Fault::Silence), 9600, true);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(req.read_table(TableId::TAB_LIVE));
    EXPECT_GE(t.elapsed(), 2 * (2 * 30 + 500));
}

// A fault on every reply makes a table read fail after the sends the retry rule
// gives, and leaves the decoded values alone.
struct ReadFault {
    sim::Fault kind;
    int sends;  // requests the read makes; 0: not checked
};

class SimFaultE2E : public SimE2E, public ::testing::WithParamInterface<ReadFault> {};

TEST_P(SimFaultE2E, TableReadFailsAndKeepsTheValues) {
    start(with_fault(GetParam().kind));
    data.live.MEAS = -1.0f;
    EXPECT_FALSE(req.read_table(TableId::TAB_LIVE));
    EXPECT_FLOAT_EQ(data.live.MEAS, -1.0f);
    if (GetParam().sends > 0) {
        EXPECT_EQ(counted.writes, GetParam().sends);
        // The purge after the failure must not have eaten the last re-send.
        for (int i = 0; i < 50 && server->requests() < GetParam().sends; ++i) QThread::msleep(10);
        EXPECT_EQ(server->requests(), GetParam().sends);
    }
    EXPECT_TRUE(line.is_open());
}

INSTANTIATE_TEST_SUITE_P(EveryReply, SimFaultE2E,
                         ::testing::Values(ReadFault{sim::Fault::Silence, 3},
                                           ReadFault{sim::Fault::ShortReply, 3},
                                           ReadFault{sim::Fault::BadChecksum, 2},
                                           ReadFault{sim::Fault::WrongFunctionCode, 2},
                                           ReadFault{sim::Fault::LengthMismatch, 2},
                                           ReadFault{sim::Fault::PauseInReply, 0}),
                         [](const ::testing::TestParamInfo<ReadFault>& info) {
                             return sim::fault_name(info.param.kind).toStdString();
                         });

TEST_F(SimE2E, RefusedAcknowledgementsFailWritesAndEeprom) {
    start(with_fault(sim::Fault::WrongFunctionCode));
    data.comp.SP = 12.0f;
    EXPECT_FALSE(req.write_table(TableId::TAB_COMP));
    settle();
    EXPECT_FALSE(req.store_eeprom());
    settle();
    EXPECT_FALSE(req.probe_station());
}

TEST_F(SimE2E, RefusedWriteChangesNothingWhileReadsGoOn) {
    start(with_fault(sim::Fault::RefuseWrite));
    data.comp = {33.0f, 0.0f, 100.0f};
    EXPECT_FALSE(req.write_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(on_bus([](sim::Bus& b) { return b.station(1).comp.SP; }), 55.0f);
    settle();
    EXPECT_FALSE(req.store_eeprom());
    settle();
    EXPECT_TRUE(req.read_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(data.comp.SP, 55.0f);
}

TEST_F(SimE2E, LengthBytesThatDifferFailTheTextRead) {
    start(with_fault(sim::Fault::LengthMismatch));
    EXPECT_FALSE(req.read_type_text());
    EXPECT_EQ(buffer.type_text[0], 0);
}

TEST_F(SimE2E, LateReplyOfAnEarlierRequestIsNotTakenForTheNextReply) {
    start(with_fault(sim::Fault::LateBytes, 2));  // every second reply is late
    ASSERT_TRUE(req.read_table(TableId::TAB_LIVE));
    EXPECT_FALSE(req.probe_station());  // its acknowledgement comes after the time-out
    QThread::msleep(600);               // ... and is waiting on the line by now
    const int before = counted.writes;
    EXPECT_TRUE(req.read_table(TableId::TAB_LIVE));
    EXPECT_EQ(counted.writes - before, 1);
}

// Tables 0 and 4 have the same length and a reply names no table: a late answer for
// table 0 would decode as table 4 without a word.
TEST_F(SimE2E, LateAnswerForOneTableIsNeverDecodedAsTheNext) {
    start(with_fault(sim::Fault::LateBytes));
    const RegoGroup truth = on_bus([](sim::Bus& b) { return b.station(1).rego; });
    req.read_table(TableId::TAB_COMP);  // answered late, after it was sent again
    if (req.read_table(TableId::TAB_REGO)) {
        EXPECT_EQ(data.rego.DSER, truth.DSER);
        EXPECT_EQ(data.rego.DEAD, truth.DEAD);
        EXPECT_EQ(data.rego.TPID, truth.TPID);
        EXPECT_EQ(data.rego.FEED, truth.FEED);
    }
}

TEST_F(SimE2E, StoppedSimulatorFailsRequestsWithoutHanging) {
    start();
    ASSERT_TRUE(req.read_table(TableId::TAB_LIVE));
    server->stop();
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(req.read_table(TableId::TAB_LIVE));
    EXPECT_FALSE(req.probe_station());
    EXPECT_FALSE(req.read_type_text());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(line.is_open());
}

TEST_F(SimE2E, SimulatorStoppingDuringAReadEndsIt) {
    start(with_fault(sim::Fault::Silence));
    std::thread stopper([this] {
        QThread::msleep(200);
        server->stop();
    });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(req.read_table(TableId::TAB_LIVE));
    stopper.join();
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(line.is_open());
}

}  // namespace
