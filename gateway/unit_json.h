#pragma once

#include <QJsonObject>
#include <vector>

#include "alarms/alarm_engine.h"
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

// A controller's alarms as the gateway publishes them: address; priority, the highest
// of the alarms not normal and not shelved (1 high .. 3 low, null for none);
// unacknowledged, how many of them are; time, when this state came about; alarms, one
// object per alarm not normal or shelved (condition, state, active, acknowledged,
// priority, shelved, chattering, since, value), by priority, newest first. Times are
// ISO 8601 UTC.
QJsonObject alarm_json(int address, const std::vector<AlarmStatus>& alarms, qint64 time_ms);
