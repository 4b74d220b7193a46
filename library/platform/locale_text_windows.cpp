#include "platform/locale_text.h"

#include <windows.h>

#include <climits>
#include <string>

namespace vostrel::platform {

// The system's ANSI code page stands for the locale on Windows. Characters
// it lacks become '?' rather than a look-alike (no best fit), as on POSIX.
std::string toLocaleText(std::u16string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        const bool pairFollows = high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if ((high && !pairFollows) || low) {
            wide += L'?';
            continue;
        }
        wide += static_cast<wchar_t>(unit);
        if (high) wide += static_cast<wchar_t>(text[++i]);
    }
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int units = static_cast<int>(wide.size());
    const UINT codePage = ::GetACP();
    // UTF-8 and the other multibyte code pages that take no flags refuse WC_NO_BEST_FIT_CHARS.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    const int bytes = ::WideCharToMultiByte(codePage, flags, wide.data(), units, nullptr, 0, fallback, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), units, out.data(), bytes, fallback, nullptr);
    return out;
}

}  // namespace vostrel::platform
