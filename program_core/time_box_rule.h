// The rules of the watch-list dialog's two time boxes (the interval and the
// off time, shown in seconds, counted by the monitor in ticks of about a
// second). One range, 3 to 255, for what is typed, what the arrows give and
// what is stored, so that a box always shows what OK stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vostrel::program {

inline constexpr int kShortestTime = 3;
inline constexpr int kLongestTime = 255;

// The number the text starts with: leading blanks, an optional sign, then
// decimal digits. No digits give 0; numbers beyond an int saturate.
int leadingInteger(std::string_view text);

// While the user types: the text the box must show instead, or nothing
// when it may stay. An empty box or 0 becomes "3" and a number above 255
// "255" at once; 1 or 2 may stay while typing, since more digits can follow
// (1 then 0 gives 10).
std::optional<std::string> timeWhileTyping(std::string_view text);

// When the box is left or the dialog's OK is pressed: the text the box
// shows from then on, always within the range.
std::string finishedTime(std::string_view text);

// What the up-down arrows make of the text: `steps` from its number, within
// the range.
std::string steppedTime(std::string_view text, int steps);

// The time OK stores for a box's text, which finishedTime has shown.
std::uint8_t storedTime(std::string_view text);

}  // namespace vostrel::program
