// The library's load and unload steps. The shared library runs them from the
// platform's load and unload notifications; tests that link the code
// statically call them directly.
#pragma once

namespace vostrel {

// Never fails; runs before any export may be called.
void libraryLoad();

// Runs after the last export has returned.
void libraryUnload();

}  // namespace vostrel
