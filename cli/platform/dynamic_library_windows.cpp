#include "platform/dynamic_library.h"

#include <windows.h>

#include <vector>

#include "platform/folders.h"
#include "platform/wide_text_windows.h"

namespace vostrel::cli::platform {

// A name without a folder is searched as Windows searches for any DLL: the
// program's folder first, then the system's folders and PATH.
void* loadLibrary(const char* name, std::string& why) {
    const HMODULE library = ::LoadLibraryW(vostrel::platform::toWide(name).c_str());
    if (library == nullptr) why = lastErrorText();
    return library;
}

void* loadedLibrary(const char* name) {
    HMODULE library = nullptr;
    // Counted, so that unloadLibrary releases this reference only.
    if (!::GetModuleHandleExW(0, vostrel::platform::toWide(name).c_str(), &library)) return nullptr;
    return library;
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) { ::FreeLibrary(static_cast<HMODULE>(library)); }

std::string fileHolding(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return vostrel::platform::toUtf8(std::wstring_view(path.data(), length));
        path.resize(path.size() * 2);
    }
}

}  // namespace vostrel::cli::platform
