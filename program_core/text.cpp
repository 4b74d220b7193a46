#include "program_core/text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "text/visible_text.h"
#include "usbbus/utf.h"

namespace vostrel::program {

std::string recordText(const HubChar16 (&field)[HUB_TEXT_UNITS]) {
    const auto end = std::find(std::begin(field), std::end(field), HubChar16{0});
    std::u16string units;
    for (auto unit = std::begin(field); unit != end; ++unit) units.push_back(static_cast<char16_t>(*unit));
    return usbbus::utf16ToUtf8(text::visibleText(units));
}

std::string textFromBytes(std::string_view bytes) {
    if (usbbus::utf8ToUtf16(bytes)) return text::visibleText(bytes);
    std::u16string latin1;
    for (const char byte : bytes) latin1.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    return usbbus::utf16ToUtf8(text::visibleText(latin1));
}

std::string hexId(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id));
    return text;
}

}  // namespace vostrel::program
