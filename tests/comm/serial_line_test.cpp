// The line's time-outs at each rate, without a port.
#include "comm/serial_line.h"

#include <gtest/gtest.h>

namespace {

// Rate, request and reply bytes, and the interval and total time-outs of the read.
TEST(SerialLineTimeouts, BusValuesHoldWhereTheExchangeFitsAndGrowBelow) {
    struct Case {
        qint32 baud;
        int request, reply;
        int interval, total;
    };
    const Case cases[] = {
        {256000, 13, 30, 100, 560}, {9600, 13, 95, 100, 690}, {4800, 10, 255, 100, 1010},
        {4800, 28, 6, 100, 512},    {2400, 13, 30, 100, 560}, {2400, 13, 95, 100, 995},
        {1200, 13, 95, 100, 1490},  {300, 13, 30, 110, 2077}, {110, 13, 30, 300, 4800},
        {9600, 0, 6, 100, 512},     {0, 13, 30, 100, 560},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.baud << " baud, " << c.request << "+" << c.reply);
        const auto t = SerialLine::read_timeouts(c.baud, c.request, c.reply);
        EXPECT_EQ(t.interval_ms, c.interval);
        EXPECT_EQ(t.total_ms, c.total);
    }
}

// Bytes and rate, and the bound on a write: two seconds plus twice the wire time,
// never more than a minute.
TEST(SerialLineTimeouts, WriteWaitsTwiceTheWireTimeOnTopOfTwoSeconds) {
    struct Case {
        int bytes;
        qint32 baud;
        int timeout;
    } cases[] = {
        {13, 9600, 2028}, {256, 9600, 2586}, {256, 110, 53200}, {300, 110, 60000}, {13, 0, 60000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SerialLine::write_timeout_ms(c.bytes, c.baud), c.timeout)
            << c.bytes << " bytes at " << c.baud << " baud";
}

}  // namespace
