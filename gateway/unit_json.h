#pragma once

#include <QJsonObject>

#include "bus/unit_table.h"
#include "comm/device_data.h"

// The live values as JSON for scripts and plant systems: measured, set_point,
// action and feedback (per cent), terminal (degrees Celsius), relays [out1, out2, out3],
// fault.
QJsonObject live_json(const LiveGroup& live);

// A controller's state as the gateway publishes it: address, type, the live values,
// link, failures and the ISO 8601 time of the last good reading (null before one).
QJsonObject state_json(const UnitReading& r);

// A controller's row on the status page: state_json plus "texts", what the bus overview
// shows in its columns, in Czech (measured, set_point, action, relays, fault, link,
// last_good).
QJsonObject view_json(const UnitReading& r);
