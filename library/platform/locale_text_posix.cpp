#include "platform/locale_text.h"

#include <climits>
#include <cuchar>
#include <cwchar>

namespace vostrel::platform {

std::string toLocaleText(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        const bool pairFollows = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if ((high && !pairFollows) || low) {
            out += '?';
            continue;
        }
        std::size_t n = std::c16rtomb(bytes, unit, &state);
        if (high && n == 0) n = std::c16rtomb(bytes, text[++i], &state);
        if (n == static_cast<std::size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
            continue;
        }
        out.append(bytes, n);
    }
    return out;
}

}  // namespace vostrel::platform
