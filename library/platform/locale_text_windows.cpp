#include "platform/locale_text.h"

#include <windows.h>

namespace vostrel::platform {

// The system's ANSI code page stands for the locale on Windows. Each
// character it lacks becomes one '?' rather than a look-alike (no best fit),
// as on POSIX; so does a lone surrogate.
std::string toLocaleText(std::u16string_view text) {
    const UINT codePage = ::GetACP();
    // UTF-8 represents every character and takes neither flag nor fallback.
    const bool utf8 = codePage == CP_UTF8;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        const bool pairFollows = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if ((high && !pairFollows) || low) {
            out += '?';
            continue;
        }
        const wchar_t character[2] = {static_cast<wchar_t>(unit),
                                      pairFollows ? static_cast<wchar_t>(text[i + 1]) : L'\0'};
        const int units = pairFollows ? 2 : 1;
        if (pairFollows) ++i;
        char bytes[8];
        BOOL lacking = FALSE;
        const int got = ::WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, character, units, bytes,
                                              sizeof bytes, nullptr, utf8 ? nullptr : &lacking);
        if (got <= 0 || lacking) {
            out += '?';
        } else {
            out.append(bytes, static_cast<std::size_t>(got));
        }
    }
    return out;
}

}  // namespace vostrel::platform
