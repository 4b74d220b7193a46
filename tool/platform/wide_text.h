// Texts at the Win32 boundary: the programs' core speaks UTF-8, the
// program keeps UTF-16 in char16_t, and the system's wide strings are the
// same 16-bit units under the name wchar_t.
#pragma once

#include <string>
#include <string_view>

namespace talvern::platform {

// Invalid UTF-8 becomes U+FFFD.
std::u16string utf16(std::string_view utf8);

// Lone surrogates become U+FFFD.
std::string utf8(std::u16string_view text);

// The text as the system's wide string, for as long as `text` lives.
const wchar_t* wide(const std::u16string& text);

// A wide string the system filled, up to its terminator.
std::u16string fromWide(const wchar_t* text);

}  // namespace talvern::platform
