// The shared library's load and unload notifications: a program that links or
// loads the library gets the load steps before any of its exports can be
// called, and the unload steps when it unloads the library or exits.
#include "library_lifecycle.h"

namespace {

__attribute__((constructor)) void onLibraryLoad() { vostrel::libraryLoad(); }

__attribute__((destructor)) void onLibraryUnload() { vostrel::libraryUnload(); }

}  // namespace
