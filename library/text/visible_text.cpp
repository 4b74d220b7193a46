#include "text/visible_text.h"

namespace vostrel::text {
namespace {

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

template <typename Text>
void appendEscape(Text& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (const char c : {'\\', 'x', kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]}) {
        out.push_back(static_cast<typename Text::value_type>(c));
    }
}

// The length of the well-formed UTF-8 character at the start of `text`
// (no overlong form, no surrogate, nothing beyond U+10FFFF) and its value;
// 0 when there is none.
std::size_t utf8Character(std::string_view text, char32_t& value) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::u16string visibleText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (isControl(c)) {
            appendEscape(out, c);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t value = 0;
        const std::size_t length = utf8Character(text, value);
        if (length == 0) {
            appendEscape(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
        } else if (isControl(value)) {
            appendEscape(out, static_cast<unsigned>(value));
            text.remove_prefix(length);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace vostrel::text
