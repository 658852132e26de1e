#include "sim/sim_args.h"

#include <gtest/gtest.h>

namespace {

sim::ArgsResult parse(const QString& line, sim::SimArgs& out, QString& error) {
    return sim::parse_sim_args(line.split(QLatin1Char(' '), Qt::SkipEmptyParts), out, error);
}

}  // namespace

TEST(SimArgs, FullCommandLine) {
    sim::SimArgs a;
    QString error;
    ASSERT_EQ(parse(QStringLiteral("--link /tmp/k20 --address 3 --address 9 --model krt01:3 "
                                   "--rate 19200 --pace --fault checksum --fault late:every-4 "
                                   "--fault short:2@9 --eeprom e.ini --verbose"),
                    a, error),
              sim::ArgsResult::Ok)
        << error.toStdString();
    EXPECT_EQ(a.link, QStringLiteral("/tmp/k20"));
    EXPECT_EQ(a.options.addresses, (std::vector<int>{3, 9}));
    EXPECT_EQ(a.options.model, sim::Model::Krt01);
    EXPECT_EQ(a.options.krt01_variant, 3);
    EXPECT_EQ(a.rate, 19200);
    EXPECT_TRUE(a.pace);
    ASSERT_EQ(a.options.faults.size(), 3u);
    EXPECT_EQ(a.options.faults[0].kind, sim::Fault::BadChecksum);
    EXPECT_EQ(a.options.faults[0].every, 1);
    EXPECT_EQ(a.options.faults[1].kind, sim::Fault::LateBytes);
    EXPECT_EQ(a.options.faults[1].every, 4);
    EXPECT_EQ(a.options.faults[2].every, 2);
    EXPECT_EQ(a.options.faults[2].address, 9);
    EXPECT_EQ(a.options.faults[0].address, -1);
    EXPECT_EQ(a.options.eeprom_file, QStringLiteral("e.ini"));
    EXPECT_TRUE(a.options.verbose);
}

TEST(SimArgs, DefaultsToOneSupportedStationAtAddressOne) {
    sim::SimArgs a;
    QString error;
    ASSERT_EQ(parse(QString(), a, error), sim::ArgsResult::Ok);
    EXPECT_EQ(a.options.addresses, std::vector<int>{1});
    EXPECT_EQ(a.options.model, sim::Model::Supported);
    EXPECT_FALSE(a.pace);
}

TEST(SimArgs, BadUsageIsRefusedWithAReason) {
    const char* bad[] = {"--address",
                         "--address 127",
                         "--address x",
                         "--address 2 --address 2",
                         "--model other",
                         "--model krt01:4",
                         "--fault noise",
                         "--fault short:0",
                         "--fault short:every-",
                         "--fault refuse@127",
                         "--fault refuse@",
                         "--rate fast",
                         "--frobnicate",
                         "--link",
                         "--plant tau=10,dead=2",
                         "--plant gain=1,dead=2",
                         "--plant gain=0,tau=10,dead=2",
                         "--plant gain=1,tau=-1,dead=2",
                         "--plant gain=1,tau=10,dead=2,colour=red",
                         "--plant gain=1,tau=10,dead=x"};
    for (const char* line : bad) {
        sim::SimArgs a;
        QString error;
        EXPECT_EQ(parse(QString::fromLatin1(line), a, error), sim::ArgsResult::Error) << line;
        EXPECT_FALSE(error.isEmpty()) << line;
    }
    sim::SimArgs a;
    QString error;
    EXPECT_EQ(parse(QStringLiteral("--help"), a, error), sim::ArgsResult::Help);
}

TEST(SimArgs, PlantGivesTheProcessModel) {
    struct Case {
        const char* line;
        ModelKind kind;
        double gain, tau, tau2, dead, noise;
    } cases[] = {
        {"--plant gain=1.5,tau=60,dead=6", ModelKind::Fopdt, 1.5, 60, 0, 6, 0},
        {"--plant gain=2,tau=10,dead=0,noise=0.1,tau2=30", ModelKind::Sopdt, 2, 30, 10, 0, 0.1},
        {"--plant gain=0.02,dead=3,integrating", ModelKind::Integrating, 0.02, 0, 0, 3, 0},
    };
    for (const Case& c : cases) {
        sim::SimArgs a;
        QString error;
        ASSERT_EQ(parse(QString::fromLatin1(c.line), a, error), sim::ArgsResult::Ok) << c.line;
        ASSERT_TRUE(a.options.plant.has_value());
        const ProcessModel& m = a.options.plant->model;
        EXPECT_EQ(m.kind, c.kind) << c.line;
        EXPECT_EQ(m.gain, c.gain);
        EXPECT_EQ(m.tau, c.tau);
        EXPECT_EQ(m.tau2, c.tau2);
        EXPECT_EQ(m.dead, c.dead);
        EXPECT_EQ(a.options.plant->noise, c.noise);
    }
    sim::SimArgs a;
    QString error;
    ASSERT_EQ(parse(QString(), a, error), sim::ArgsResult::Ok);
    EXPECT_FALSE(a.options.plant.has_value());
}
