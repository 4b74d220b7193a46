// The recovery event log: one comma-separated line per event, appended to
// "vostrel.log" in the current directory by the library's monitor, and to
// the one in the state folder by the command line's monitor for the entries
// it keeps by location.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/local_time.h"
#include "recovery/recovery_rule.h"
#include "recovery/settings.h"

namespace vostrel {

inline constexpr const char* kEventLogFileName = "vostrel.log";

// Longest line written, line ending included. Lines of ordinary length stay
// well below it; longer ones get their two texts shortened.
inline constexpr std::size_t kMaxEventLineBytes = 1024;

// The watched entry an event names.
struct EventSubject {
    // The hub: a family hub's index, or the location of any other hub
    // ("1-1.4"). Written as it stands: the caller gives no comma or control
    // character.
    std::string_view hub;
    long long portNumber;  // from 1
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::u16string_view manufacturer;
    std::u16string_view product;
};

// The line for one event on a watched entry, ending in CR LF:
//   2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Maker,Widget
//   2017/04/05 01:07:09,3,1-1.4,2,0x04D8,0x000A,Maker,Widget
// date and time, code, hub index or location, port number (from 1), vendor
// ID, product ID, manufacturer text, product text.
std::string formatEventLine(const EventSubject& subject, std::uint8_t code, const platform::LocalTime& time);
std::string formatEventLine(const AutoCheckEntry& entry, std::uint8_t code, const platform::LocalTime& time);

// Appends the line for the event at the current local time to `logFile`.
// False when the log could not be written; the caller carries on either way.
bool writeEventLine(const EventSubject& subject, std::uint8_t code, const char* logFile);
bool writeEventLine(const AutoCheckEntry& entry, std::uint8_t code);

}  // namespace vostrel
