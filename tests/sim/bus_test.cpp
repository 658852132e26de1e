#include "sim/bus.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "sim/sim_test_util.h"
#include "tuning/identification.h"
#include "tuning/loop_prediction.h"

using namespace simtest;

namespace {

sim::Options options_with(std::vector<sim::FaultSpec> faults = {}) {
    sim::Options o;
    o.faults = std::move(faults);
    return o;
}

// Gives every field of table t a distinct value that survives the wire.
struct Distinct {
    int i = 0;
    void operator()(const char*, float& v) { v = 10.5f + 1.25f * static_cast<float>(i++); }
    void operator()(const char*, std::int32_t& v) { v = 300 + i++; }
    void operator()(const char*, std::int8_t& v) { v = static_cast<std::int8_t>(1 + i++ % 3); }
};

}  // namespace

TEST(SimBus, EveryTableReadGivesAValidReplyFromTheStationToTheRequester) {
    sim::Options o;
    o.addresses = {1, 3};
    sim::Bus bus(o);
    for (int t = 0; t < kTableCount; ++t) {
        SCOPED_TRACE(t);
        const Bytes r = ask(bus, read_request(t, 3, 5));
        ASSERT_EQ(r.size(), kTableLen[static_cast<std::size_t>(t)] + 9u);
        EXPECT_TRUE(valid_data(r));
        EXPECT_EQ(r[4], 5);  // to the computer
        EXPECT_EQ(r[5], 3);  // from the station
        DeviceData d;
        EXPECT_EQ(wire::decode(d, t, r.data() + 7), kTableLen[static_cast<std::size_t>(t)]);
    }
}

TEST(SimBus, DefaultTablesArePlausible) {
    sim::Options o;
    o.addresses = {4};
    sim::Bus bus(o);
    DeviceData d;
    for (int t = 0; t < kTableCount; ++t) {
        const Bytes r = ask(bus, read_request(t, 4));
        ASSERT_TRUE(valid_data(r)) << t;
        wire::decode(d, t, r.data() + 7);
    }
    EXPECT_FLOAT_EQ(d.comp.SP, 55.0f);
    EXPECT_LE(d.comp.SP_L, d.comp.SP);
    EXPECT_GE(d.comp.SP_H, d.comp.SP);
    EXPECT_GE(d.rego.TPID, 1);
    EXPECT_LE(d.rego.TPID, 10);
    EXPECT_EQ(d.add.ADD, 4);
    EXPECT_FLOAT_EQ(d.live.SP, 55.0f);
    EXPECT_NEAR(d.live.TTERM, 23.0f, 0.5f);
    EXPECT_EQ(d.live.FAULT, 0);
    EXPECT_GT(d.inputs.IN[23], 0);  // serial number
    EXPECT_GE(d.inputs.IN[40], 1);  // day
    EXPECT_LE(d.inputs.IN[40], 31);
    EXPECT_GE(d.inputs.IN[41], 1);  // month
    EXPECT_LE(d.inputs.IN[41], 12);
    EXPECT_GE(d.inputs.IN[42], 2000);
}

TEST(SimBus, ParameterTablesReadBackWhatWasWritten) {
    sim::Bus bus(options_with());
    for (int t = 0; t < 8; ++t) {
        SCOPED_TRACE(t);
        DeviceData d;
        with_group(d, t, [](auto& g) { for_each_field(g, Distinct{}); });
        const Bytes ack = ask(bus, write_request(d, t));
        EXPECT_EQ(ack, (Bytes{0x10, 0x00, 0x01, 0x00, 0x01, 0x16}));
        const Bytes r = ask(bus, read_request(t));
        ASSERT_TRUE(valid_data(r));
        Bytes sent(kTableLen[static_cast<std::size_t>(t)]);
        wire::encode(d, t, sent.data());
        EXPECT_EQ(Bytes(r.begin() + 7, r.end() - 2), sent);
    }
}

TEST(SimBus, WrittenSetPointIsTheOneInForceClampedToItsLimits) {
    sim::Bus bus(options_with());
    DeviceData d;
    d.comp = {140.0f, 0.0f, 100.0f};
    ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 0))));
    bus.advance(0.1);
    EXPECT_FLOAT_EQ(bus.station(1).live.SP, 100.0f);
}

TEST(SimBus, WriteOfTableEightMovesTheStation) {
    sim::Bus bus(options_with());
    DeviceData d;
    d.add.ADD = 7;
    const Bytes req = write_request(d, 8);
    EXPECT_EQ(req, (Bytes{0x68, 0x08, 0x08, 0x68, 0x01, 0x00, 0x63, 0x02, 0x08, 0x01, 0x00, 0x07,
                          0x76, 0x16}));
    EXPECT_EQ(ask(bus, req), (Bytes{0x10, 0x00, 0x01, 0x00, 0x01, 0x16}));
    EXPECT_FALSE(bus.has_station(1));
    ASSERT_TRUE(bus.has_station(7));
    EXPECT_TRUE(ask(bus, read_request(0, 1)).empty());
    const Bytes r = ask(bus, read_request(8, 7));
    ASSERT_TRUE(valid_data(r));
    EXPECT_EQ(r[7], 7);
    EXPECT_EQ(r[5], 7);
}

TEST(SimBus, AddressTakenOrOutOfRangeIsRefused) {
    sim::Options o;
    o.addresses = {1, 2};
    sim::Bus bus(o);
    for (int to : {2, 127}) {
        DeviceData d;
        d.add.ADD = static_cast<std::int8_t>(to);
        const Bytes ack = ask(bus, write_request(d, 8));
        ASSERT_EQ(ack.size(), 6u);
        EXPECT_EQ(ack[3], 0x01) << to;
        EXPECT_TRUE(bus.has_station(1));
        EXPECT_EQ(bus.station(1).add.ADD, 1);
    }
}

TEST(SimBus, WritesOfReadOnlyTablesAreRefused) {
    sim::Bus bus(options_with());
    DeviceData d;
    d.live.MEAS = 999.0f;
    const Bytes ack = ask(bus, write_request(d, 10));
    ASSERT_EQ(ack.size(), 6u);
    EXPECT_EQ(ack[3], 0x01);
    EXPECT_NE(bus.station(1).live.MEAS, 999.0f);
}

TEST(SimBus, StatusRequestIsAcknowledgedByKnownStationsOnly) {
    sim::Options o;
    o.addresses = {1, 5};
    sim::Bus bus(o);
    EXPECT_EQ(ask(bus, status_request(5)), (Bytes{0x10, 0x00, 0x05, 0x00, 0x05, 0x16}));
    EXPECT_EQ(ask(bus, status_request(1, 0)), (Bytes{0x10, 0x00, 0x01, 0x00, 0x01, 0x16}));
    EXPECT_TRUE(ask(bus, status_request(6)).empty());
    EXPECT_TRUE(ask(bus, status_request(127)).empty());
}

TEST(SimBus, MalformedRequestsGetNoReply) {
    sim::Bus bus(options_with());
    const Bytes good = read_request(10);
    std::vector<Bytes> bad;
    Bytes b = good;
    b[11] ^= 1;  // checksum
    bad.push_back(b);
    b = good;
    b[2] = 8;  // LEr
    bad.push_back(b);
    b = good;
    b[12] = 0x17;  // end byte
    bad.push_back(b);
    bad.emplace_back(good.begin(), good.end() - 1);  // cut
    Bytes wrong_len = good;
    wrong_len[9] = 20;
    wrong_len[11] = telegram::checksum(wrong_len.data() + 4, 7);
    bad.push_back(wrong_len);
    telegram::Buffer t{};
    const int n = telegram::build_read(t, 1, 0, 12, 4);  // no table 12
    bad.push_back(frame(t, n));
    bad.push_back(command_request(telegram::FC_SRD, 0x03));  // unknown command
    for (std::size_t i = 0; i < bad.size(); ++i)
        EXPECT_TRUE(bus.handle(bad[i].data(), static_cast<int>(bad[i].size())).empty()) << i;
    EXPECT_TRUE(bus.handle(nullptr, 0).empty());
}

TEST(SimBus, EepromCommitKeepsParametersForTheNextStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sim::Options o;
    o.eeprom_file = dir.filePath(QStringLiteral("eeprom.ini"));
    {
        sim::Bus bus(o);
        DeviceData d;
        d.comp = {42.5f, 10.0f, 90.0f};
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 0))));
    }
    {
        sim::Bus bus(o);  // written but never committed
        EXPECT_FLOAT_EQ(bus.station(1).comp.SP, 55.0f);
        DeviceData d;
        d.comp = {42.5f, 10.0f, 90.0f};
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 0))));
        d.rego = {45, 3, 2, 7, 1, 0, 0};
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 4))));
        d.add.ADD = 9;
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 8))));
        EXPECT_TRUE(
            valid_ack(ask(bus, command_request(telegram::FC_SDA, telegram::CMD_EEPROM, 9))));
        EXPECT_TRUE(bus.last_save_ok());
    }
    sim::Bus bus(o);
    ASSERT_TRUE(bus.has_station(9));
    EXPECT_FALSE(bus.has_station(1));
    const DeviceData& d = bus.station(9);
    EXPECT_FLOAT_EQ(d.comp.SP, 42.5f);
    EXPECT_FLOAT_EQ(d.comp.SP_L, 10.0f);
    EXPECT_EQ(d.rego.TPID, 7);
    EXPECT_EQ(d.add.ADD, 9);
}

TEST(SimBus, EepromKeepsOnlyWhatEachStationCommitted) {
    QTemporaryDir dir;
    sim::Options o;
    o.addresses = {1, 2};
    o.eeprom_file = dir.filePath(QStringLiteral("eeprom.ini"));
    {
        sim::Bus bus(o);
        DeviceData d;
        d.comp = {40.0f, 0.0f, 100.0f};
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 0, 2))));
        d.comp = {45.0f, 0.0f, 100.0f};
        ASSERT_TRUE(valid_ack(ask(bus, write_request(d, 0, 1))));
        ASSERT_TRUE(
            valid_ack(ask(bus, command_request(telegram::FC_SDA, telegram::CMD_EEPROM, 1))));
    }
    sim::Bus bus(o);
    EXPECT_FLOAT_EQ(bus.station(1).comp.SP, 45.0f);
    EXPECT_FLOAT_EQ(bus.station(2).comp.SP, 55.0f);
}

TEST(SimBus, EepromCommitThatCannotBeSavedIsRefused) {
    QTemporaryDir dir;
    sim::Options o;
    o.eeprom_file = dir.filePath(QStringLiteral("missing/dir/eeprom.ini"));
    sim::Bus bus(o);
    const Bytes ack = ask(bus, command_request(telegram::FC_SDA, telegram::CMD_EEPROM));
    ASSERT_EQ(ack.size(), 6u);
    EXPECT_EQ(ack[3], 0x01);
    EXPECT_FALSE(bus.last_save_ok());
}

TEST(SimBus, DamagedEepromFileKeepsDefaultsWhereItCannotBeRead) {
    QTemporaryDir dir;
    sim::Options o;
    o.eeprom_file = dir.filePath(QStringLiteral("eeprom.ini"));
    QFile f(o.eeprom_file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage\n[STATION0]\nSP=abc\nSP_H=80\nADD=300\nTPID=99999999\n");
    f.close();
    sim::Bus bus(o);
    ASSERT_TRUE(bus.has_station(1));
    EXPECT_FLOAT_EQ(bus.station(1).comp.SP, 55.0f);
    EXPECT_FLOAT_EQ(bus.station(1).comp.SP_H, 80.0f);
    EXPECT_EQ(bus.station(1).rego.TPID, 2);
}

// --- faults -----------------------------------------------------------------

TEST(SimBusFaults, EachKindChangesTheReplyAsNamed) {
    sim::Bus clean(options_with());
    const Bytes normal = ask(clean, read_request(10));
    ASSERT_TRUE(valid_data(normal));

    auto reply_with = [](sim::Fault f) {
        sim::Bus bus(options_with({{f, 1}}));
        return bus.handle(read_request(10).data(), 13);
    };
    EXPECT_TRUE(reply_with(sim::Fault::Silence).empty());

    const Bytes cut = sim::flatten(reply_with(sim::Fault::ShortReply));
    EXPECT_FALSE(cut.empty());
    EXPECT_LT(cut.size(), normal.size());
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), normal.begin()));

    Bytes bad = sim::flatten(reply_with(sim::Fault::BadChecksum));
    ASSERT_EQ(bad.size(), normal.size());
    EXPECT_FALSE(valid_data(bad));
    EXPECT_NE(bad[28], normal[28]);
    bad[28] = normal[28];
    EXPECT_EQ(bad, normal);

    const Bytes fc = sim::flatten(reply_with(sim::Fault::WrongFunctionCode));
    ASSERT_EQ(fc.size(), normal.size());
    EXPECT_NE(fc[6], 0x08);
    EXPECT_EQ(telegram::checksum(fc.data() + 4, fc[1]), fc[28]);  // only the code is wrong
    EXPECT_FALSE(valid_data(fc));

    const Bytes len = sim::flatten(reply_with(sim::Fault::LengthMismatch));
    ASSERT_EQ(len.size(), normal.size());
    EXPECT_NE(len[1], len[2]);
    EXPECT_EQ(telegram::checksum(len.data() + 4, len[1]), len[28]);
    EXPECT_FALSE(valid_data(len));

    const sim::Reply pause = reply_with(sim::Fault::PauseInReply);
    ASSERT_EQ(pause.size(), 2u);
    EXPECT_EQ(pause[0].gap_ms, 0);
    EXPECT_GT(pause[1].gap_ms, 100);
    EXPECT_EQ(sim::flatten(pause), normal);

    const sim::Reply late = reply_with(sim::Fault::LateBytes);
    ASSERT_FALSE(late.empty());
    EXPECT_GE(late[0].gap_ms, 700);
    EXPECT_EQ(sim::flatten(late), normal);

    // A refusal is for writes only.
    EXPECT_EQ(sim::flatten(reply_with(sim::Fault::RefuseWrite)), normal);
}

TEST(SimBusFaults, AcknowledgementsCarryTheFaults) {
    DeviceData d;
    d.comp = {60.0f, 0.0f, 100.0f};
    auto ack_with = [&](sim::Fault f) {
        sim::Bus bus(options_with({{f, 1}}));
        return sim::flatten(bus.handle(write_request(d, 0).data(), 25));
    };
    EXPECT_TRUE(ack_with(sim::Fault::Silence).empty());
    EXPECT_EQ(ack_with(sim::Fault::ShortReply).size(), 3u);
    EXPECT_FALSE(valid_ack(ack_with(sim::Fault::BadChecksum)));
    const Bytes fc = ack_with(sim::Fault::WrongFunctionCode);
    EXPECT_EQ(fc[3], 0x05);
    EXPECT_EQ(telegram::checksum(fc.data() + 1, 3), fc[4]);
    EXPECT_TRUE(valid_ack(ack_with(sim::Fault::LengthMismatch)));  // no length bytes in SD1
    EXPECT_EQ(ack_with(sim::Fault::RefuseWrite), (Bytes{0x10, 0x00, 0x01, 0x01, 0x02, 0x16}));
}

TEST(SimBusFaults, RefusedOrUnheardWritesChangeNothing) {
    for (sim::Fault f : {sim::Fault::RefuseWrite, sim::Fault::Silence}) {
        sim::Bus bus(options_with({{f, 1}}));
        DeviceData d;
        d.comp = {60.0f, 0.0f, 100.0f};
        bus.handle(write_request(d, 0).data(), 25);
        EXPECT_FLOAT_EQ(bus.station(1).comp.SP, 55.0f) << sim::fault_name(f).toStdString();
    }
}

TEST(SimBusFaults, EveryNthReplyIsAffected) {
    sim::Bus bus(options_with({{sim::Fault::BadChecksum, 3}}));
    std::vector<bool> valid;
    for (int i = 0; i < 6; ++i) valid.push_back(valid_data(ask(bus, read_request(0))));
    EXPECT_EQ(valid, (std::vector<bool>{true, true, false, true, true, false}));
}

TEST(SimBusFaults, NamesRoundTrip) {
    for (const char* n :
         {"silence", "short", "checksum", "function", "length", "pause", "refuse", "late"}) {
        bool ok = false;
        const sim::Fault f = sim::fault_from_name(QString::fromLatin1(n), &ok);
        EXPECT_TRUE(ok) << n;
        EXPECT_EQ(sim::fault_name(f), QString::fromLatin1(n));
    }
    bool ok = true;
    sim::fault_from_name(QStringLiteral("Silence"), &ok);
    EXPECT_FALSE(ok);
}

// --- the process --------------------------------------------------------------

TEST(SimProcess, MeasuredValueSettlesAtTheSetPoint) {
    sim::Bus bus(options_with());
    const LiveGroup& live = bus.station(1).live;
    const float start = live.MEAS;
    ASSERT_GT(std::fabs(start - 55.0f), 20.0f);
    bus.advance(5);
    EXPECT_GT(live.MEAS, start);  // heating
    EXPECT_GT(live.YOUT, 0);
    for (int i = 0; i < 120; ++i) bus.advance(1);
    EXPECT_NEAR(live.MEAS, 55.0f, 0.5f);
    EXPECT_GT(live.YOUT, 0);
    EXPECT_LT(live.YOUT, 1000);
    EXPECT_NEAR(live.FEEDBACK, live.YOUT, 20);
    EXPECT_NEAR(live.TTERM, 23.0f, 0.2f);
    EXPECT_EQ(live.FAULT, 0);

    bus.station(1).comp.SP = 30.0f;  // cooling only by loss: output off
    bus.advance(2);
    EXPECT_EQ(live.YOUT, 0);
    EXPECT_EQ(live.RELAYS & 2, 0);
    bus.advance(300);
    EXPECT_NEAR(live.MEAS, 30.0f, 0.5f);
}

TEST(SimProcess, AlarmRelayFollowsTheLimitWithHysteresis) {
    sim::Bus bus(options_with());
    DeviceData& d = bus.station(1);
    d.alarm1 = {0.0f, 70.0f, 2.0f, 0, 1};  // one fixed limit, relay on when exceeded
    d.comp.SP = 90.0f;
    bus.advance(1);
    EXPECT_EQ(d.live.RELAYS & 1, 0);
    bus.advance(300);
    ASSERT_GT(d.live.MEAS, 70.0f);
    EXPECT_EQ(d.live.RELAYS & 1, 1);
    d.comp.SP = 69.0f;  // inside the limit but within the hysteresis
    bus.advance(300);
    EXPECT_EQ(d.live.RELAYS & 1, 1);
    d.comp.SP = 60.0f;
    bus.advance(300);
    EXPECT_EQ(d.live.RELAYS & 1, 0);

    d.alarm1.RELE = 0;  // relay off when exceeded
    bus.advance(1);
    EXPECT_EQ(d.live.RELAYS & 1, 1);
}

TEST(SimProcess, OutputRelayAndFaultBit) {
    sim::Options o;
    o.device_fault = 3;
    sim::Bus bus(o);
    const LiveGroup& live = bus.station(1).live;
    bus.station(1).comp.SP = 100.0f;
    bus.advance(0.5);
    EXPECT_EQ(live.YOUT, 1000);  // far below the set point: full output
    EXPECT_EQ(live.RELAYS & 2, 2);
    bus.station(1).comp.SP = 55.0f;  // part output: the relay is on for part of each cycle
    int on = 0;
    for (int i = 0; i < 40; ++i) {
        bus.advance(0.05);
        on += (live.RELAYS & 2) ? 1 : 0;
    }
    EXPECT_GT(on, 0);
    EXPECT_LT(on, 40);
    EXPECT_EQ(live.FAULT, 3);
    EXPECT_EQ(live.RELAYS & 4, 4);
}

// --- a given process under the controller's own PID -----------------------------

namespace {

// A set-point step of 5 on the given plant after writing PB/INT/DER (DEAD 0, TPID 1)
// through the bus; the measured values over the next 400 s, once a second.
std::vector<double> plant_step_response(sim::PlantSpec plant, PidFields f) {
    sim::Options o;
    o.plant = plant;
    sim::Bus bus(o);
    DeviceData d = bus.station(1);
    d.pid.PB = static_cast<float>(f.PB);
    d.pid.INT = static_cast<float>(f.INT);
    d.pid.DER = static_cast<float>(f.DER);
    d.rego.DEAD = 0;
    d.rego.TPID = 1;
    for (int t : {3, 4}) {
        const Bytes w = write_request(d, t);
        EXPECT_FALSE(bus.handle(w.data(), int(w.size())).empty());
    }
    bus.advance(1);
    d.comp.SP = 60.0f;
    const Bytes w = write_request(d, 0);
    bus.handle(w.data(), int(w.size()));
    std::vector<double> y;
    for (int i = 0; i < 400; ++i) {
        bus.advance(1);
        y.push_back(bus.station(1).live.MEAS);
    }
    return y;
}

}  // namespace

TEST(SimPlant, StartsAtRestAndFollowsThePredictionOfItsPid) {
    sim::PlantSpec plant;
    plant.model.gain = 1.0;
    plant.model.tau = 30;
    plant.model.dead = 6;
    const PidSettings s{30.0 / 12.0, 30, 0};
    const std::vector<double> y = plant_step_response(plant, pid_convention::to_fields(s, 100));
    PidController::Config c;
    c.pid = s;
    c.sample_s = 1;
    const Prediction p = predict(plant.model, c, 5.0, 10.0, 32.0);
    StepResponse seen;
    for (std::size_t i = 0; i < y.size(); ++i) {
        seen.t.push_back(double(i + 1));
        seen.y.push_back(y[i] - 55.0);
    }
    step_figures(seen, 5.0);
    EXPECT_NEAR(seen.iae, p.setpoint.iae, 0.1 * p.setpoint.iae);
    EXPECT_NEAR(seen.overshoot_percent, p.setpoint.overshoot_percent, 2.0);
    EXPECT_NEAR(y.back(), 60.0, 0.05);
}

TEST(SimPlant, AWrittenProportionalBandChangesTheResponse) {
    sim::PlantSpec plant;
    plant.model.gain = 1.0;
    plant.model.tau = 30;
    plant.model.dead = 6;
    const auto peak = [](const std::vector<double>& y) {
        return *std::max_element(y.begin(), y.end());
    };
    const double calm = peak(plant_step_response(plant, {100, 30, 0}));
    const double sharp = peak(plant_step_response(plant, {10, 30, 0}));
    EXPECT_LT(calm, 60.1);
    EXPECT_GT(sharp, 61.0);
}

TEST(SimPlant, NoiseAndAnIntegratingProcess) {
    sim::PlantSpec plant;
    plant.model.kind = ModelKind::Integrating;
    plant.model.gain = 0.01;
    plant.model.dead = 2;
    plant.noise = 0.2;
    sim::Options o;
    o.plant = plant;
    sim::Bus bus(o);
    std::vector<double> y;
    for (int i = 0; i < 50; ++i) {
        bus.advance(1);
        y.push_back(bus.station(1).live.MEAS);
    }
    const double sd = noise_sd(y);
    EXPECT_GT(sd, 0.1);
    EXPECT_LT(sd, 0.4);
    EXPECT_NEAR(bus.station(1).live.YOUT, 500, 200);  // the balance at 50 %
}
