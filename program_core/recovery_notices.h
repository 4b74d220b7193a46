// What the desktop is told when the monitor acts on a watched device: each
// new line of the event log is a power cycle it began, and the device is
// back once its port shows it working again.
#pragma once

#include <string>

#include "program_core/bus_view.h"
#include "program_core/log_line.h"

namespace vostrel::program {

// The device of a logged event: its manufacturer and product, or its IDs
// when it has no texts.
std::string loggedDeviceName(const LogLine& line);

struct Notice {
    std::string title;
    std::string body;
};

// For a line the monitor appended: the port it power-cycles and why.
Notice powerCycleNotice(const LogLine& line);

// For a watched port that works again after a power cycle.
Notice recoveredNotice(const PortView& port);

}  // namespace vostrel::program
