#pragma once

#include <QString>
#include <vector>

#include "comm/device_data.h"

namespace sim {

// The parameters (tables 0..8) the simulated stations keep in their EEPROM, one
// section per station in the order the stations were configured:
//   [STATION0]
//   SP=55
//   ...
// Replaced atomically; a missing or unreadable file loads nothing.
bool save_eeprom_file(const QString& path, const std::vector<DeviceData>& stations);
// Fills tables 0..8 of stations[i] from section i where the file has it; keys that
// are missing or do not parse keep the value already held. False when unreadable.
bool load_eeprom_file(const QString& path, std::vector<DeviceData>& stations);

}  // namespace sim
