#include "platform/system_error.h"

#include <windows.h>

#include <string_view>

#include "platform/wide_text_windows.h"

namespace vostrel::platform {

std::string lastSystemErrorText() {
    const DWORD error = ::GetLastError();
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring_view text(message != nullptr ? message : L"", length);
    // The system's messages end with a line break; the report adds its own.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.remove_suffix(1);
    }
    std::string result = text.empty() ? "unknown error" : toUtf8(text);
    if (message != nullptr) ::LocalFree(message);
    return result + " (error " + std::to_string(error) + ")";
}

}  // namespace vostrel::platform
