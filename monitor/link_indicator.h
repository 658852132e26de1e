#pragma once

#include <QString>

#include "comm/telegram_record.h"

// The link panel of the main window's status bar: what the last exchange says about
// the line.
namespace link_indicator {

// Empty before the first exchange, "spojení OK" after a good one, "port ztracen" when
// the port itself failed, otherwise the verdict with the count of failures in a row.
QString caption(const LinkState& state);
// The time of the last good reading, and the two ways to open the port again.
QString hint(const LinkState& state);
QString reopen_hint();
// The panel's one command.
QString reopen_caption();
// Shown in red.
bool failed(const LinkState& state);

}  // namespace link_indicator
