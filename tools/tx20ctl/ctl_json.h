#pragma once

#include <QDateTime>
#include <QString>

#include "comm/device_data.h"

// One compact JSON object per line, for scripts.
namespace ctl_json {

// The live values of a controller at a time (ISO 8601).
QString live(int address, const LiveGroup& live, const QDateTime& time);
// A table field by field under "fields", named as the read command names them.
QString table(int address, int table, DeviceData& data);
// An address that answered a scan.
QString station(int address);

}  // namespace ctl_json
