#include "platform/wide_text.h"

#include <cwchar>

#include "usbbus/utf.h"

namespace talvern::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

std::u16string utf16(std::string_view utf8Text) { return vostrel::usbbus::utf8ToUtf16Replacing(utf8Text); }

std::string utf8(std::u16string_view text) { return vostrel::usbbus::utf16ToUtf8(text); }

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string fromWide(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}

}  // namespace talvern::platform
