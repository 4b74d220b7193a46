// UTF-8 (the kernel's attributes, bench files, terminals, JSON) to and from
// UTF-16 (what USB string descriptors and the library's records hold).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vostrel::usbbus {

// None when `text` is not well-formed UTF-8 (cut, overlong, a surrogate,
// beyond U+10FFFF).
std::optional<std::u16string> utf8ToUtf16(std::string_view text);

// Each sequence that is not well-formed becomes U+FFFD, and decoding goes on
// at its next byte: for texts a device chose.
std::u16string utf8ToUtf16Replacing(std::string_view text);

// A surrogate without its partner becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace vostrel::usbbus
