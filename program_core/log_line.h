// One line of the recovery event log "vostrel.log", as the hub library's
// monitor writes it:
//   2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera
//   2017/04/05 01:07:09,3,1-1.4,2,0x7E57,0x0C31,Lumen Labs,HD Camera
// local date and time, event code, hub index (or, for a device watched on
// any other hub, the hub's location), port number, the watched device's
// vendor and product IDs, its manufacturer and product.
// The library formats the first six fields itself, so they never hold a
// comma; the two texts are the device's own and are written as they are,
// commas included, so where one ends and the other begins is a guess.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vostrel::program {

// The eight fields as written, unconverted. A line cut short (torn while
// being written, or not from the library) leaves the fields it lacks empty.
struct LogLine {
    std::string dateTime;
    std::string eventCode;
    std::string hubIndex;
    std::string portNumber;
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
};

// Splits a line (without its line break). The six formatted fields are
// read from the left; the rest of the line holds the two texts, parted at
// the last comma that no blank follows (a text's own comma usually has one,
// as in "Acme, Inc."), else at its last comma. No comma there: all of it is
// the manufacturer.
LogLine readLogLine(std::string_view line);

// The line's values, when its six formatted fields are as the library
// writes them ("Y/MM/DD hh:mm:ss", decimal numbers or a hub's location,
// "0x" and four or more hexadecimal digits).
struct LogEvent {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int code = 0;
    int hubIndex = 0;
    std::string hubLocation;  // instead of hubIndex for a hub named by its location; empty for a family hub
    int portNumber = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string manufacturer;
    std::string product;
};
std::optional<LogEvent> interpretLogLine(const LogLine& line);

// The event code in words: 1 "not configured", 2 "other device",
// 3 "missing"; any other code "event N".
std::string eventName(int code);

// The event code field in words, as eventName; a field that is not a number
// stays as written.
std::string eventName(std::string_view codeField);

}  // namespace vostrel::program
