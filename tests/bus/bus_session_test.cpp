#include "bus/bus_session.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "bus/address_list.h"
#include "bus/bus_scan.h"
#include "bus/identification.h"
#include "ident/ident_texts.h"
#include "support/request_fixture.h"

namespace {

class BusSessionTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        sim::Options o;
        o.addresses = {1, 2, 5};
        o.type_text = QStringLiteral("KELVRA 20 Příbram");
        attach(o);
    }
};

TEST_F(BusSessionTest, ReadsAndWritesNameTheirControllerAndLeaveTheSharedRecordsAlone) {
    bus->station(2).live.MEAS = 71.5f;
    const auto live = session.read_live(2);
    ASSERT_TRUE(live);
    EXPECT_EQ(live->MEAS, 71.5f);
    DeviceData d;
    ASSERT_TRUE(session.read(5, 0, d));
    d.comp.SP = 42.0f;
    ASSERT_TRUE(session.write(5, 0, d));
    EXPECT_EQ(bus->station(5).comp.SP, 42.0f);
    EXPECT_EQ(bus->station(1).comp.SP, bus->station(2).comp.SP);
    EXPECT_EQ(data.live.MEAS, 0.0f);
    EXPECT_EQ(data.comp.SP, 0.0f);
    EXPECT_EQ(buffer.type_text[0], 0);
    EXPECT_FALSE(session.read_live(9));
    EXPECT_FALSE(session.read(1, 12, d));
}

TEST_F(BusSessionTest, IdentityDecodesCodePage1250AndClassifiesTheModel) {
    const DeviceIdentity id = identify(session, 2);
    EXPECT_TRUE(id.supported());
    EXPECT_EQ(id.type_text, QStringLiteral("KELVRA 20 Příbram"));
    EXPECT_TRUE(id.version_text.startsWith(QStringLiteral("FW-R-18-02")));
    EXPECT_TRUE(id.refusal().isEmpty());
    const DeviceIdentity nobody = identify(session, 9);
    EXPECT_FALSE(nobody.supported());
    EXPECT_EQ(nobody.refusal(), QString::fromUtf8(kUnknownDevice));
    // The request layer's read of the same text gives the same letters.
    ASSERT_TRUE(req.read_type_text());
    EXPECT_EQ(text_from_device(buffer.type_text.data(), buffer.type_text.size()), id.type_text);
}

TEST_F(BusSessionTest, OlderModelIsRefusedWithItsOwnReason) {
    attach(sim::Model::Krt01);
    EXPECT_EQ(identify(session, 1).refusal(), QString::fromUtf8(kOlderModel));
}

// Beyond the specified flows a text read ends with its frame; the specified read waits
// for the silence after it.
TEST_F(BusSessionTest, TextReadsEndAtTheFramesLengthNotAtTheSilence) {
    std::int64_t before = line.now_ms();
    ASSERT_TRUE(session.type_text(1));
    const std::int64_t framed = line.now_ms() - before;
    before = line.now_ms();
    ASSERT_TRUE(req.read_type_text());
    const std::int64_t gap = line.now_ms() - before;
    EXPECT_EQ(gap - framed, 100);
}

TEST_F(BusSessionTest, AProbesShortWaitEndsWithItAlsoByAnException) {
    std::int64_t before = line.now_ms();
    EXPECT_FALSE(session.probe(9, 60));
    EXPECT_EQ(line.now_ms() - before, 60);
    EXPECT_EQ(line.read_bound(), 0);
    EXPECT_TRUE(session.probe(5, 60));
    req.set_device_address(9);
    before = line.now_ms();
    EXPECT_FALSE(req.probe_station());
    EXPECT_GT(line.now_ms() - before, 60);
    line.set_responder([](const Bytes&) -> Bytes { throw std::runtime_error("gone"); });
    EXPECT_THROW(session.probe(1, 60), std::runtime_error);
    EXPECT_EQ(line.read_bound(), 0);
}

TEST_F(BusSessionTest, ScanFindsTheControllersThatAnswer) {
    std::atomic<bool> stop{false};
    int told = 0;
    EXPECT_EQ(bus_scan::scan(session, 30, stop, [&](int, bool) { ++told; }),
              (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(told, bus_scan::kAddressCount);
    EXPECT_EQ(bus_scan::probe_wait_ms(9600), 63);
    EXPECT_EQ(bus_scan::probe_wait_ms(115200), 51);
}

TEST(AddressList, TypedListsAreReadOrRefusedWithTheirReason) {
    const struct {
        const char* text;
        std::vector<int> expected;  // empty: refused
        const char* reason;
    } cases[] = {
        {"1-5,9", {1, 2, 3, 4, 5, 9}, ""}, {" 7 ", {7}, ""},
        {"126,1", {126, 1}, ""},           {"3 - 4 , 8", {3, 4, 8}, ""},
        {"10-12, 4", {10, 11, 12, 4}, ""}, {"", {}, "prázdný"},
        {"1-", {}, "není adresa"},         {"a", {}, "není adresa"},
        {"0", {}, "mimo 1..126"},          {"127", {}, "mimo 1..126"},
        {"5-3", {}, "pozpátku"},           {"1,1", {}, "dvakrát"},
        {"1-3,2", {}, "dvakrát"},          {"1;2", {}, "není adresa"},
        {"-1", {}, "není adresa"},         {"1,,2", {}, "není adresa"},
    };
    for (const auto& c : cases) {
        QString why;
        const auto got = address_list::parse(QString::fromUtf8(c.text), &why);
        if (c.expected.empty()) {
            EXPECT_FALSE(got) << c.text;
            EXPECT_TRUE(why.contains(QString::fromUtf8(c.reason))) << c.text << why.toStdString();
        } else {
            ASSERT_TRUE(got) << c.text << ": " << why.toStdString();
            EXPECT_EQ(*got, c.expected) << c.text;
        }
    }
    EXPECT_EQ(address_list::text({1, 2, 3, 5, 7, 8}), QStringLiteral("1-3, 5, 7, 8"));
}

}  // namespace
