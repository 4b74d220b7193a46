// Loading a shared library at run time.
#pragma once

namespace vostrel::platform {

// Loads a library by the platform's ordinary search (a name without a
// folder) or by path. nullptr when it cannot be loaded.
void* loadLibrary(const char* name);

// The address of an exported name, or nullptr.
void* findSymbol(void* library, const char* name);

void unloadLibrary(void* library);

// Resolves a symbol into a function pointer of the given type.
template <typename Function>
bool resolve(void* library, const char* name, Function& target) {
    target = reinterpret_cast<Function>(findSymbol(library, name));
    return target != nullptr;
}

}  // namespace vostrel::platform
