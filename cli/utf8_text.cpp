#include "utf8_text.h"

#include "frame/text.h"
#include "usbbus/utf.h"

namespace vostrel::cli {

std::string utf8FromUtf16(const char16_t* text, std::size_t capacity) {
    return usbbus::utf16ToUtf8(std::u16string_view(text, textLength(text, capacity)));
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace vostrel::cli
