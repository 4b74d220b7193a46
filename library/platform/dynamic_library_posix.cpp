#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace vostrel::platform {

void* loadLibrary(const char* name) { return ::dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void* findSymbol(void* library, const char* name) { return ::dlsym(library, name); }

void unloadLibrary(void* library) { ::dlclose(library); }

}  // namespace vostrel::platform
