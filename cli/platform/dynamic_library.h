// Loading shared libraries at run time, by name.
#pragma once

#include <string>

namespace vostrel::cli::platform {

// Loads the library `name` for the rest of the program, searched for the
// way the system searches for a library named without a folder: for a name
// loaded from this program, LD_LIBRARY_PATH, then the program's own run
// path, then the system's folders. Null, with the reason in `why`, when it
// cannot be loaded.
void* loadLibrary(const char* name, std::string& why);

// The library `name` if this process has loaded it already, without any
// search or loading; release it with unloadLibrary. Null when not loaded.
void* loadedLibrary(const char* name);

void* findSymbol(void* library, const char* name);

void unloadLibrary(void* library);

// The file of the loaded library that holds `address` (a function of it),
// links resolved; empty when it cannot be told.
std::string fileHolding(const void* address);

}  // namespace vostrel::cli::platform
