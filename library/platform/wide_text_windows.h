// Text at the Windows API boundary: the library's 8-bit names and messages
// are UTF-8, the system's wide strings UTF-16 in wchar_t. Only the Windows
// platform files include this.
#pragma once

#include <string>
#include <string_view>

namespace vostrel::platform {

// Invalid UTF-8 sequences become U+FFFD.
std::wstring toWide(std::string_view utf8);

// Lone surrogates become U+FFFD.
std::string toUtf8(std::wstring_view wide);

}  // namespace vostrel::platform
