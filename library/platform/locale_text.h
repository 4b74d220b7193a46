// UTF-16 text turned into the 8-bit text of the process's current locale.
#pragma once

#include <string>
#include <string_view>

namespace vostrel::platform {

// Converts character by character with the current locale (the library
// never sets one). A character the locale cannot represent, or a lone
// surrogate, becomes '?'.
std::string toLocaleText(std::u16string_view text);

}  // namespace vostrel::platform
