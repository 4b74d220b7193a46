#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>

namespace vostrel::cli::platform {

// dlopen searches the run path of the object that calls it, so these calls
// stay in the program itself, not in a library of its own.
void* loadLibrary(const char* name, std::string& why) {
    void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = ::dlerror();
        why = error != nullptr ? error : "unknown reason";
    }
    return library;
}

void* loadedLibrary(const char* name) { return ::dlopen(name, RTLD_NOW | RTLD_NOLOAD); }

void* findSymbol(void* library, const char* name) { return ::dlsym(library, name); }

void unloadLibrary(void* library) { ::dlclose(library); }

std::string fileHolding(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    char* resolved = ::realpath(info.dli_fname, nullptr);
    if (resolved == nullptr) return info.dli_fname;
    std::string file(resolved);
    std::free(resolved);
    return file;
}

}  // namespace vostrel::cli::platform
