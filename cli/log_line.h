// One line of the event log "vostrel.log", as the hub library's monitor
// writes it:
//   2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera
// local date and time, event code, hub, port 1 to 4, the watched device's
// vendor and product IDs, manufacturer, product.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "argument_values.h"

namespace vostrel::cli {

struct LogEvent {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int code = 0;  // 1 not configured, 2 other device, 3 missing
    Place place;
    DeviceId id;
    // The texts are written as they are, so a comma inside one makes more
    // fields: the manufacturer is taken as the first text field and the
    // product as the rest.
    std::string manufacturer;
    std::string product;
};

// Nothing when the line (without its line end) is not such a line.
std::optional<LogEvent> parseLogLine(std::string_view line);

// The event code in words: "not configured", "other device", "missing".
std::string eventName(int code);

}  // namespace vostrel::cli
