#include "platform/dynamic_library.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/wide_text_windows.h"

namespace vostrel::platform {
namespace {

// The folder of the module that holds this code (the hub library, or a
// program that links the library's code), with a trailing separator.
std::wstring ownFolder() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&ownFolder), &self)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD units = ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (units == 0) return {};
        if (units < path.size()) {
            path.resize(units);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool namesAFolder(std::string_view name) { return name.find_first_of("/\\:") != std::string_view::npos; }

}  // namespace

// A bare name goes through the system's ordinary search for a library; when
// that finds nothing, the folder of the hub library itself is tried, so that
// a library installed beside it is found as on Linux through its run path.
void* loadLibrary(const char* name) {
    std::wstring wide = toWide(name);
    if (namesAFolder(name)) {
        for (wchar_t& unit : wide) {
            if (unit == L'/') unit = L'\\';
        }
        return ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (HMODULE found = ::LoadLibraryW(wide.c_str())) return found;
    const std::wstring folder = ownFolder();
    if (folder.empty()) return nullptr;
    return ::LoadLibraryExW((folder + wide).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace vostrel::platform
