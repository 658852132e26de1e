#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <vector>

class BusSession;

// The search of the whole bus for controllers, one status probe per address.
namespace bus_scan {

constexpr int kFirstAddress = 0;
constexpr int kLastAddress = 126;  // 127 is the broadcast address
constexpr int kAddressCount = kLastAddress - kFirstAddress + 1;

// The probe's wait at a rate: the request and the status reply, 12 characters of 11
// bits, plus 50 ms for the controller to turn round (63 ms at 9600 baud).
int probe_wait_ms(qint32 baud);

// Probes kFirstAddress..kLastAddress in turn with the given wait, until stop is set;
// each (address, answered) is told as it ends. Returns the addresses that answered.
std::vector<int> scan(BusSession& session, int wait_ms, const std::atomic<bool>& stop,
                      const std::function<void(int address, bool answered)>& each = {});

}  // namespace bus_scan
