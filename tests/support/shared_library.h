// Loading a shared library (a DLL on Windows) by path into a test process.
#pragma once

#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vostrel::test {

// nullptr when it does not load.
inline void* loadSharedLibrary(const std::string& path) {
#if defined(_WIN32)
    std::string native = path;
    for (char& c : native) {
        if (c == '/') c = '\\';
    }
    return ::LoadLibraryExA(native.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
#else
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

// nullptr when the library lacks the name.
inline void* sharedLibrarySymbol(void* library, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return ::dlsym(library, name);
#endif
}

inline void unloadSharedLibrary(void* library) {
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(library));
#else
    ::dlclose(library);
#endif
}

}  // namespace vostrel::test
