// The main of a benchmark on a umockdev test bed: the bed needs umockdev's
// preload library, so the program starts itself again with it when it was
// started without, then runs its benchmarks.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>

namespace vostrel::bench {

inline int runUnderUmockdev(int argc, char** argv) {
    const char* preload = ::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
        ::setenv("LD_PRELOAD", "libumockdev-preload.so.0", 1);
        ::execv("/proc/self/exe", argv);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace vostrel::bench
