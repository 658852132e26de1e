#include "monitor/telegram_model.h"

#include <gtest/gtest.h>

namespace {

TelegramRecord record(std::uint64_t seq, int dest, int src) {
    TelegramRecord r;
    r.seq = seq;
    r.dest = dest;
    r.src = src;
    r.verdict = Verdict::Ok;
    return r;
}

std::vector<TelegramRecord> records(std::uint64_t first, int n, int dest = 1, int src = 0) {
    std::vector<TelegramRecord> out;
    for (int i = 0; i < n; ++i)
        out.push_back(record(first + static_cast<std::uint64_t>(i), dest, src));
    return out;
}

std::vector<std::uint64_t> shown_seqs(const TelegramModel& m) {
    std::vector<std::uint64_t> out;
    for (int r = 0; r < m.rowCount(); ++r) out.push_back(m.record(r).seq);
    return out;
}

TEST(TelegramModel, KeepsTheNewestRowsUpToItsCapacity) {
    TelegramModel m(5);
    m.append(records(1, 3));
    m.append(records(4, 4));
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{3, 4, 5, 6, 7}));
    // A batch larger than the ring keeps its own newest records.
    m.append(records(8, 12));
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{15, 16, 17, 18, 19}));
    EXPECT_EQ(m.held(), 5);
}

TEST(TelegramModel, FilterShowsTelegramsToOrFromTheAddressAndSurvivesWrapping) {
    TelegramModel m(6);
    m.append({record(1, 1, 0), record(2, 0, 1), record(3, 2, 0), record(4, 0, 2)});
    m.set_address_filter(2);
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{3, 4}));
    // Rows that leave the ring leave the filtered list too; new matches are added.
    m.append({record(5, 1, 0), record(6, 0, 1), record(7, 2, 0), record(8, 1, 0)});
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{3, 4, 7}));
    m.append(records(9, 3));
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{7}));
    m.set_address_filter(TelegramModel::kAllAddresses);
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{6, 7, 8, 9, 10, 11}));
}

TEST(TelegramModel, ClearedRowsDoNotComeBackWithTheFilter) {
    TelegramModel m(10);
    m.append(records(1, 4));
    m.clear();
    EXPECT_EQ(m.rowCount(), 0);
    m.append(records(5, 2));
    m.set_address_filter(1);
    EXPECT_EQ(shown_seqs(m), (std::vector<std::uint64_t>{5, 6}));
}

}  // namespace
