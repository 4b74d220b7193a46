// Texts that others chose (a device's strings, the event log's lines) made
// safe to show: a control character would otherwise move a terminal's
// cursor, retitle or recolour it, or break a line in a window's label.
#pragma once

#include <string>
#include <string_view>

namespace vostrel::text {

// Every control character (U+0000 to U+001F, U+007F, U+0080 to U+009F)
// written as "\x" and two lower-case hexadecimal digits, e.g. ESC as "\x1b";
// every other character as it is.
std::u16string visibleText(std::u16string_view text);

// The same for UTF-8; a byte that is no part of a well-formed UTF-8
// character (text in another 8-bit encoding) is written as "\x" and its
// value too, so that no terminal can take it for a control character.
std::string visibleText(std::string_view text);

}  // namespace vostrel::text
