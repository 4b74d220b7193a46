// What the desktop is told when the monitor acts on a watched device: each
// new line of the event log is a power cycle it began, and the device is
// back once its port shows it working again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Follows the log and the bus for the notices: the log's new lines tell of
// power cycles begun, and a later read of the bus of the devices back.
class RecoveryFollower {
public:
    // The log as it is now: the lines it holds are not news. Its line count
    // falling (the log deleted or replaced) starts the count anew.
    std::vector<Notice> logRead(const std::vector<std::string>& lines);

    // The bus read again: a power-cycled port that shows its watched device
    // (the logged IDs) working again has recovered.
    std::vector<Notice> busRead(const BusView& bus);

    // Whether a power-cycled port is still awaited: only then does the bus
    // need reading for these notices.
    bool awaitsRecovery() const { return !awaited_.empty(); }

private:
    struct Awaited {
        int hubIndex;
        int portIndex;
        std::uint16_t vendorId;
        std::uint16_t productId;
    };
    std::vector<Awaited> awaited_;
    std::size_t linesSeen_ = 0;
    bool started_ = false;
};

}  // namespace vostrel::program
