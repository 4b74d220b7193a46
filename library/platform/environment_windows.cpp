#include "platform/environment.h"

#include <windows.h>

#include "platform/wide_text_windows.h"

namespace vostrel::platform {

// The process's own environment block, not the C runtime's copy: what a
// host sets with SetEnvironmentVariableW is seen at once. Values come back
// as UTF-8.
std::optional<std::string> environmentVariable(const char* name) {
    const std::wstring wideName = toWide(name);
    std::wstring value(64, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD units = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (units == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();  // set, but empty
        }
        if (units < value.size()) {
            value.resize(units);
            return toUtf8(value);
        }
        value.resize(units);  // too small: `units` is the size needed, NUL included
    }
}

}  // namespace vostrel::platform
