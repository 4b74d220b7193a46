// Loads the hub library from the path given, as a program would, binds the
// vendor library through it and unloads it again. Prints the result and
// whether the vendor library was loaded after the binding and after the unload.
#include <windows.h>

#include <cstdio>
#include <string>

#include <vostrel/hub_api.h>

static int vendorLibraryLoaded() { return ::GetModuleHandleA("pt2lib.dll") != nullptr; }

int main(int argc, char** argv) {
    std::string path = argc == 2 ? argv[1] : "";
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    HMODULE hub = path.empty() ? nullptr : ::LoadLibraryA(path.c_str());
    const auto init = reinterpret_cast<decltype(&Hub_InitPt2lib)>(
        hub != nullptr ? reinterpret_cast<void*>(::GetProcAddress(hub, "Hub_InitPt2lib")) : nullptr);
    if (init == nullptr) return 1;
    const int bound = init();
    const int loaded = vendorLibraryLoaded();
    ::FreeLibrary(hub);
    std::printf("bound=%d loaded=%d after unload=%d\n", bound, loaded, vendorLibraryLoaded());
}
