// The rules of the watch-list dialog's two time boxes (interval and off time,
// shown in seconds, counted by the monitor in ticks of about a second).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace talvern {

// The number the text starts with: leading blanks, an optional sign, then
// decimal digits. No digits give 0; numbers beyond an int saturate.
int leadingInteger(const QString& text);

// The text a box must show instead of `text`: "3" for a number below 1,
// "255" for one above 255; nothing when 1 to 255 may stay as typed.
std::optional<QString> timeBoxCorrection(const QString& text);

// The time that OK stores for a box's text: the number's low 8 bits, at least 3.
std::uint8_t storedTime(const QString& text);

}  // namespace talvern
