// Loads the hub library from the path given, as a program would, binds the
// vendor library through it and prints the result. Exiting runs the hub
// library's unload steps. Used by the search-order tests, one process each.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    void* hubLibrary = ::dlopen(argv[1], RTLD_NOW);
    if (hubLibrary == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 1;
    }
    using Init = std::int32_t (*)();
    const auto init = reinterpret_cast<Init>(::dlsym(hubLibrary, "Hub_InitPt2lib"));
    if (init == nullptr) return 1;
    std::printf("bound=%d\n", init());
    return 0;
}
