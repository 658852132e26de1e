#include "bus/identification.h"

#include "bus/bus_session.h"

DeviceIdentity identify(BusSession& session, int address) {
    return identify(
        [&](std::array<char, 250>& t) { return session.read_type_text(address, t); },
        [&](std::array<char, 250>& t) { return session.read_version_text(address, t); });
}
