// Loads the hub library from the path given, as a program would, binds the
// vendor library through it and unloads it again. Prints the result and
// whether the vendor library was loaded after the binding and after the unload.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

// The hub library's never-destroyed state is unreachable once it is unloaded.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() { return "detect_leaks=0"; }

static int vendorLibraryLoaded() {
    void* vendor = ::dlopen("libpt2lib.so", RTLD_NOW | RTLD_NOLOAD);
    if (vendor != nullptr) ::dlclose(vendor);
    return vendor != nullptr;
}

int main(int argc, char** argv) {
    void* hub = argc == 2 ? ::dlopen(argv[1], RTLD_NOW) : nullptr;
    const auto init = reinterpret_cast<std::int32_t (*)()>(hub ? ::dlsym(hub, "Hub_InitPt2lib") : nullptr);
    if (init == nullptr) return 1;
    const int bound = init();
    const int loaded = vendorLibraryLoaded();
    ::dlclose(hub);
    std::printf("bound=%d loaded=%d after unload=%d\n", bound, loaded, vendorLibraryLoaded());
}
