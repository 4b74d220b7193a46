// The hub library, loaded at run time, and the exports the program calls.
#pragma once

#include "program_core/hub_library.h"

namespace vostrel::cli {

using HubLibrary = program::HubLibrary;

#ifdef _WIN32
inline constexpr char kHubLibraryName[] = "Vostrel_4.dll";
#else
inline constexpr char kHubLibraryName[] = "libVostrel_4.so";
#endif

// Loads the hub library by name, found as an installed program finds it
// (LD_LIBRARY_PATH, then this program's run path: its own folder in the
// build tree, the system's library folder once installed; on Windows the
// program's folder first), and binds every
// export of HubLibrary. The library's load steps run now, in the current
// folder, and its unload steps when the program exits. All or nothing: a
// library that lacks one of them is unloaded again. Throws a CommandError (1).
HubLibrary loadHubLibrary();

}  // namespace vostrel::cli
