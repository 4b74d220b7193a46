// The hub library's load and unload notifications on Windows. They run
// under the system's loader lock; frame/locks.h says why no wait happens
// there.
#include <windows.h>

#include "library_lifecycle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        vostrel::libraryLoad();
        break;
    case DLL_PROCESS_DETACH:
        // `reserved` is set when the whole process is ending, and clear when
        // the last FreeLibrary unloads the library from a living process.
        if (reserved != nullptr) {
            vostrel::libraryUnloadAtProcessExit();
        } else {
            vostrel::libraryUnload();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
