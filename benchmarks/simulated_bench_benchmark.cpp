// The simulator under the hub library, on the 32-hub example bench: a whole
// scan through the simulated USB stack, on a bench file unchanged for a while
// and on one changed within the last second (which every open of the scan
// reads again, since its stamp alone cannot tell a change in the same clock
// tick); and a port switched through the stand-in vendor library, which
// writes the bench file anew.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "library_lifecycle.h"
#include <vostrel/pt2lib_api.h>
#include "scratch_dir.h"

namespace {

using namespace vostrel;

constexpr int kHubs = 32;

// The hub library's state on a copy of the 32-hub bench, in a folder of its own.
class OnThirtyTwoHubs {
public:
    // `age`: how long ago the bench file was last changed.
    explicit OnThirtyTwoHubs(std::filesystem::file_time_type::duration age) {
        std::filesystem::copy_file(SIM_EXAMPLES "/32-hubs.json", "bench.json");
        std::filesystem::last_write_time("bench.json", std::filesystem::file_time_type::clock::now() - age);
        ::setenv("VOSTREL_SIM_BENCH", (dir_.path() / "bench.json").c_str(), 1);
        ::setenv("VOSTREL_USBSTACK", SIM_STACK_MODULE, 1);
        libraryLoad();
    }
    ~OnThirtyTwoHubs() {
        libraryUnload();
        ::unsetenv("VOSTREL_SIM_BENCH");
    }

    // False when the scan does not show every hub.
    bool scan() {
        Hub_GetDeviceInfo(block_.get());
        return block_->hubCount == kHubs;
    }

private:
    test::ScratchDir dir_;
    std::unique_ptr<DeviceInfoBlock> block_ = std::make_unique<DeviceInfoBlock>();
};

void scans(benchmark::State& state, OnThirtyTwoHubs& bench) {
    bench.scan();
    for (auto _ : state) {
        if (!bench.scan()) state.SkipWithError("the scan does not show 32 hubs");
    }
}

void BM_Scan_ThirtyTwoHubs_Unchanged(benchmark::State& state) {
    OnThirtyTwoHubs bench(std::chrono::hours(1));
    scans(state, bench);
}
BENCHMARK(BM_Scan_ThirtyTwoHubs_Unchanged)->Unit(benchmark::kMillisecond);

void BM_Scan_ThirtyTwoHubs_JustChanged(benchmark::State& state) {
    OnThirtyTwoHubs bench(-std::chrono::hours(1));  // stays "just changed" for the whole run
    scans(state, bench);
}
BENCHMARK(BM_Scan_ThirtyTwoHubs_JustChanged)->Unit(benchmark::kMillisecond);

void BM_PortSwitch_ThirtyTwoHubs(benchmark::State& state) {
    OnThirtyTwoHubs bench(std::chrono::hours(1));
    void* standIn = ::dlopen(SIM_PT2LIB, RTLD_NOW | RTLD_LOCAL);
    const auto open = reinterpret_cast<MchpUsbOpen_t>(::dlsym(standIn, "MchpUsbOpen"));
    const auto set = reinterpret_cast<MchpUsbGpioSet_t>(::dlsym(standIn, "MchpUsbGpioSet"));
    const auto close = reinterpret_cast<MchpUsbClose_t>(::dlsym(standIn, "MchpUsbClose"));
    bench.scan();
    const Pt2Handle hub = open(kHubs - 1);
    std::uint32_t on = 0;
    for (auto _ : state) {
        if (set(hub, 17, on) == 0) state.SkipWithError("the stand-in did not switch the port");
        on ^= 1;
    }
    set(hub, 17, 1);
    close(hub);
}
BENCHMARK(BM_PortSwitch_ThirtyTwoHubs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
