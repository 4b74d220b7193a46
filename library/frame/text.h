// UTF-16 texts in fixed arrays of 256 units, as every record holds them.
#pragma once

#include <cstddef>

#include "frame/records.h"

namespace vostrel {

// Number of units before the first NUL, at most `capacity`.
inline std::size_t textLength(const char16_t* text, std::size_t capacity = kTextUnits) {
    std::size_t n = 0;
    while (n < capacity && text[n] != u'\0') ++n;
    return n;
}

// Copies `source` up to its NUL into `target`, at most 255 units, and always
// terminates it. Units after the terminator are left as they were. The
// source may lack a terminator (it often comes from a file or a device).
inline void copyText(char16_t (&target)[kTextUnits], const char16_t* source) {
    const std::size_t n = textLength(source, kTextUnits - 1);
    for (std::size_t i = 0; i < n; ++i) target[i] = source[i];
    target[n] = u'\0';
}

}  // namespace vostrel
