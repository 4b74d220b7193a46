// The library's load and unload steps. The shared library runs them from the
// platform's load and unload notifications; tests that link the code
// statically call them directly.
#pragma once

namespace vostrel {

// Never fails; runs before any export may be called.
void libraryLoad();

// Runs after the last export has returned.
void libraryUnload();

// The unload steps for a process that is ending on Windows, where every
// other thread has already been ended by the system: saves the settings if
// it can without waiting, and stops nothing. See frame/locks.h.
void libraryUnloadAtProcessExit();

}  // namespace vostrel
