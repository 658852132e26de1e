#include "bus/bus_scan.h"

#include <algorithm>

#include "bus/bus_session.h"

namespace bus_scan {

int probe_wait_ms(qint32 baud) { return 12 * 11 * 1000 / std::max<qint32>(baud, 1) + 50; }

std::vector<int> scan(BusSession& session, int wait_ms, const std::atomic<bool>& stop,
                      const std::function<void(int, bool)>& each) {
    std::vector<int> found;
    for (int a = kFirstAddress; a <= kLastAddress && !stop; ++a) {
        const bool answered = session.probe(a, wait_ms);
        if (answered) found.push_back(a);
        if (each) each(a, answered);
    }
    return found;
}

}  // namespace bus_scan
