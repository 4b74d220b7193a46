// The records' UTF-16 texts as UTF-8, for terminals and JSON.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vostrel::cli {

// Units up to the first NUL, at most the array's 256. A lone surrogate
// becomes U+FFFD: a device chooses its own strings.
std::string utf8FromUtf16(const char16_t* text, std::size_t capacity);

template <std::size_t N>
std::string utf8Text(const char16_t (&field)[N]) {
    return utf8FromUtf16(field, N);
}

// Characters (not bytes) of UTF-8 text, for lining up columns.
std::size_t characterCount(std::string_view text);

}  // namespace vostrel::cli
