#include <gtest/gtest.h>

#include <cstring>

#include "comm/Unit_hl.h"
#include "sim/bus.h"
#include "support/request_fixture.h"

// The request layer against the simulated bus: the operations the program uses.
namespace {

class SimRequestLayer : public RequestFixture {
  protected:
    void use(sim::Options o) { attach(std::move(o)); }
    std::string text(const std::array<char, 250>& t) const { return std::string(t.data()); }
};

}  // namespace

TEST_F(SimRequestLayer, ReadsWritesCommitsAndProbesTheSupportedModel) {
    use(sim::Options{});
    for (int t = 0; t < kTableCount; ++t) EXPECT_TRUE(req.read_table(t)) << t;
    EXPECT_FLOAT_EQ(data.comp.SP, 55.0f);
    data.comp.SP = 61.5f;
    EXPECT_TRUE(req.write_table(TableId::TAB_COMP));
    EXPECT_TRUE(req.store_eeprom());
    EXPECT_TRUE(req.probe_station());
    data.comp.SP = 0;
    EXPECT_TRUE(req.read_table(TableId::TAB_COMP));
    EXPECT_FLOAT_EQ(data.comp.SP, 61.5f);
    EXPECT_EQ(line.count(FakeLine::Op::PurgeTx), 0);  // nothing failed
}

TEST_F(SimRequestLayer, SupportedModelAnswersTypeAndVersionTexts) {
    use(sim::Options{});
    ASSERT_TRUE(req.read_type_text());
    EXPECT_EQ(text(buffer.type_text), "KELVRA 20");
    ASSERT_TRUE(req.read_version_text());
    EXPECT_EQ(text(buffer.version_text).substr(0, 10), "FW-R-18-02");
}

TEST_F(SimRequestLayer, OlderModelReportsEachOfItsVersions) {
    for (int variant = 1; variant <= 3; ++variant) {
        sim::Options o;
        o.model = sim::Model::Krt01;
        o.krt01_variant = variant;
        use(o);
        ASSERT_TRUE(req.read_version_text());
        EXPECT_EQ(text(buffer.version_text).substr(0, 10), "FW-R-11-0" + std::to_string(variant));
    }
}

TEST_F(SimRequestLayer, ForeignDeviceAnswersOnlyTheLooseIdentification) {
    sim::Options o;
    o.model = sim::Model::Foreign;
    use(o);
    EXPECT_FALSE(req.read_type_text());
    EXPECT_FALSE(req.read_version_text());
    EXPECT_FALSE(req.probe_station());
    ASSERT_TRUE(req.read_foreign_ident());
    const auto& id = buffer.foreign_ident;
    // Three 32-byte lines, each filled to its end so the shown text runs through all three.
    EXPECT_EQ(std::strlen(id.data()), 96u);
    EXPECT_NE(id[0], ' ');
    EXPECT_NE(id[32], ' ');
    EXPECT_NE(id[64], ' ');
}

TEST_F(SimRequestLayer, WriteOfTheAddressMovesTheConversation) {
    use(sim::Options{});
    data.add.ADD = 7;
    ASSERT_TRUE(req.write_table(TableId::TAB_ADD));
    EXPECT_FALSE(req.probe_station());
    req.set_device_address(7);
    EXPECT_TRUE(req.probe_station());
    EXPECT_TRUE(req.read_table(TableId::TAB_LIVE));
}

TEST_F(SimRequestLayer, InjectedFaultsMakeTheOperationsFail) {
    struct Case {
        sim::Fault fault;
        bool read_ok;
        bool write_ok;
    };
    const Case cases[] = {
        {sim::Fault::Silence, false, false},       {sim::Fault::ShortReply, false, false},
        {sim::Fault::BadChecksum, false, false},   {sim::Fault::WrongFunctionCode, false, false},
        {sim::Fault::LengthMismatch, false, true}, {sim::Fault::RefuseWrite, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::fault_name(c.fault).toStdString());
        sim::Options o;
        o.faults = {{c.fault, 1}};
        use(o);
        EXPECT_EQ(req.read_table(TableId::TAB_LIVE), c.read_ok);
        EXPECT_EQ(req.write_table(TableId::TAB_COMP), c.write_ok);
    }
}

TEST_F(SimRequestLayer, FaultOnEverySecondReplyIsOvercomeByTheResend) {
    sim::Options o;
    o.faults = {{sim::Fault::ShortReply, 2}};
    use(o);
    EXPECT_TRUE(req.read_table(TableId::TAB_LIVE));  // first reply whole
    EXPECT_TRUE(req.read_table(TableId::TAB_LIVE));  // second cut, re-sent, third whole
    EXPECT_EQ(line.writes().size(), 3u);
}
