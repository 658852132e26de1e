#pragma once

#include <QTextStream>
#include <atomic>
#include <map>

#include "comm/telegram_record.h"

class Line;

// The per-address counts as a table, one line per address that saw traffic.
void print_stats(const std::map<int, AddressStats>& stats, QTextStream& out);

// Reads the line without ever writing to it and prints each frame seen, decoded, until
// interrupted. Returns the exit status.
int listen_bus(Line& line, QTextStream& out, QTextStream& err,
               const std::atomic<bool>& interrupted);

// One listener line: time, addresses, meaning, hex and whether the frame is well formed.
QString listen_line(qint64 time_ms, const std::uint8_t* p, int n, bool well_formed);
