// The recovery event log: one comma-separated line per event, appended to
// "vostrel.log" in the current directory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/local_time.h"
#include "recovery/settings.h"

namespace vostrel {

inline constexpr const char* kEventLogFileName = "vostrel.log";

enum EventCode : std::uint8_t {
    NotConfigured = 1,
    OtherDevice = 2,
    NoDevice = 3,
};

// Longest line written, line ending included. Lines of ordinary length stay
// well below it; longer ones get their two texts shortened.
inline constexpr std::size_t kMaxEventLineBytes = 1024;

// The line for one event on a watched entry, ending in CR LF:
//   2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Maker,Widget
// date and time, code, hub index, port number (from 1), vendor ID,
// product ID, manufacturer text, product text.
std::string formatEventLine(const AutoCheckEntry& entry, std::uint8_t code, const platform::LocalTime& time);

// Appends the line for the event at the current local time. False when the
// log could not be written; the caller carries on either way.
bool writeEventLine(const AutoCheckEntry& entry, std::uint8_t code);

}  // namespace vostrel
