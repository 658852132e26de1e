#pragma once

#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "comm/device_data.h"
#include "journal/journal_entry.h"

// What each controller was last known to hold, table by table, so that a write can be
// recorded as old → new. Known means read from it or written to it with success.
class ParameterChanges {
  public:
    void known(int address, int table, const DeviceData& d);
    void forget(int address) {
        known_.erase(known_.lower_bound({address, 0}), known_.lower_bound({address + 1, 0}));
    }
    bool knows(int address, int table) const { return known_.count({address, table}) > 0; }
    // The fields of group `table` in d that differ from what is known; with nothing known,
    // every field with an empty old value.
    std::vector<FieldChange> changes(int address, int table, const DeviceData& d) const;

    // The fields of a group as name and text, in wire order.
    static std::vector<std::pair<QString, QString>> fields(int table, const DeviceData& d);

  private:
    std::map<std::pair<int, int>, std::vector<std::pair<QString, QString>>> known_;
};
