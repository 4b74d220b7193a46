// UTF-8 (description files, terminals) to and from UTF-16 (what USB string
// descriptors and the library's records hold).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vostrel::sim {

// None when `text` is not well-formed UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace vostrel::sim
