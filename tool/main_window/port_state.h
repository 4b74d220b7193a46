// What the main window shows beside a port's label: the port's state at a
// glance, and what the program knows about it as a tooltip.
#pragma once

#include <QString>

#include <vostrel/hub_api.h>

#include "frame/records.h"

namespace talvern {

enum class PortState {
    PoweredOff,  // switched off from the main window, and no working device seen since
    Empty,       // nothing attached
    Working,     // a configured device is attached
    NotWorking,  // something is attached but failed, or is not configured
};

// `switchedOff`: the port was switched off from the main window and not on
// again; `powered`: its bit in the window's port mask. The hub library never
// reports a port's power, so "powered off" is what the window itself did.
PortState portState(const vostrel::PortInfoRecord& record, bool switchedOff, bool powered);

// Several lines: the state, the connection status by name, and for an
// attached device its speed, its vendor and product IDs and what is known of
// its serial number; the port's power as far as the window knows it; and
// whether the port is on the watch list.
QString portToolTip(const vostrel::PortInfoRecord& record, PortState state, bool watched);

}  // namespace talvern
