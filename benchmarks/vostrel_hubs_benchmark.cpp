// `vostrel hubs --json` on a umockdev test bed of 32 USB 3 hubs (each a USB 2
// and a SuperSpeed hub device whose ports peer, on an xHCI controller's two
// root hubs), four ports each, every port holding a configured device with
// three strings: the whole process from start to exit, its wall time. The
// hub devices' usbfs nodes answer as hubs that switch each port, through
// umockdev's emulation, so that the listing's 66 descriptor requests are
// sent as they would be.
//
// The program runs as in a desktop session, with a runtime folder of its own
// in which it keeps the hubs' answers: BM_VostrelHubsJson measures the runs
// after the first, BM_VostrelHubsJsonFirstRun runs that ask every hub.
//
// The bed needs umockdev's preload library; the program starts itself again
// with it when it was started without.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "umockdev_main.h"
#include "emulated_hubs.h"
#include "kernel_hub_bed.h"
#include "mock_bus.h"
#include "run_command.h"
#include "scratch_dir.h"

namespace {

using namespace vostrel::test;

constexpr int kHubs = 32;

class ThirtyTwoHubBed {
public:
    ThirtyTwoHubBed() {
        bed_.add(KernelHubBed::hub("usb1", kHubs));
        bed_.add(KernelHubBed::hub("usb2", kHubs, true));
        for (int k = 1; k <= kHubs; ++k) {
            const std::string usb2 = "1-" + std::to_string(k), superSpeed = "2-" + std::to_string(k);
            BedDevice hub = KernelHubBed::hub(usb2, 4), half = KernelHubBed::hub(superSpeed, 4, true);
            hub.peer = superSpeed;
            for (int port = 1; port <= 4; ++port) {
                // Ports 1 and 2 hold USB 2 devices, 3 and 4 SuperSpeed ones.
                (port <= 2 ? hub : half).state[static_cast<std::size_t>(port - 1)] = "configured";
            }
            bed_.add(hub);
            bed_.add(half);
            for (int port = 1; port <= 4; ++port) {
                const std::string name = (port <= 2 ? usb2 : superSpeed) + "." + std::to_string(port);
                bed_.add({name, 0x7E57, static_cast<std::uint16_t>(k << 4 | port), "Maker", "Device",
                          "SN" + std::to_string(k) + "-" + std::to_string(port), true, 0, port > 2, {}, {}, {}});
            }
        }
        bus_.load(bed_.record());
        for (int k = 1; k <= kHubs; ++k) {
            emulated_.attach(bus_, bed_.node("1-" + std::to_string(k)), false, kEachPortSwitched);
            emulated_.attach(bus_, bed_.node("2-" + std::to_string(k)), true, kEachPortSwitched);
        }
    }

    static ThirtyTwoHubBed& shared() {
        static ThirtyTwoHubBed bed;
        return bed;
    }

private:
    KernelHubBed bed_;
    MockBus bus_;
    EmulatedHubs emulated_;
};

const std::string kCommand = "'" VOSTREL_PROGRAM "' hubs --json";

// A session's runtime folder, private to the benchmark and, as a session's
// is, in memory (/dev/shm) where the system has that; removed at exit.
class RuntimeFolder {
public:
    RuntimeFolder() {
        std::string pattern = "/dev/shm/vostrel-benchmark-XXXXXX";
        path_ = ::mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern) : ScratchDir::makeFolder();
        ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~RuntimeFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

const std::filesystem::path& runtimeFolder() {
    static const RuntimeFolder folder;
    return folder.path();
}

// Once, outside the timing: the bed lists as meant.
bool listsTheBed(benchmark::State& state) {
    ThirtyTwoHubBed::shared();
    runtimeFolder();
    const CommandResult first = runCommand(kCommand);
    const std::string expected = "\"hubCount\":34,";
    if (first.exitCode != 0 || first.output.find(expected) == std::string::npos ||
        first.output.find("\"powerSwitching\":\"per-port\",\"halves\":{\"usb2\":\"1-32\",\"superSpeed\":\"2-32\"}") ==
            std::string::npos) {
        state.SkipWithError(("vostrel hubs did not list the bed: " + first.output.substr(0, 200)).c_str());
        return false;
    }
    return true;
}

void BM_VostrelHubsJson(benchmark::State& state) {
    if (!listsTheBed(state)) return;
    for (auto _ : state) {
        const CommandResult run = runCommand(kCommand + " >/dev/null");
        if (run.exitCode != 0) state.SkipWithError("vostrel hubs failed");
    }
}
BENCHMARK(BM_VostrelHubsJson)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_VostrelHubsJsonFirstRun(benchmark::State& state) {
    if (!listsTheBed(state)) return;
    const std::filesystem::path memo = runtimeFolder() / "vostrel-hub-power-switching";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(memo);
        state.ResumeTiming();
        const CommandResult run = runCommand(kCommand + " >/dev/null");
        if (run.exitCode != 0) state.SkipWithError("vostrel hubs failed");
    }
}
BENCHMARK(BM_VostrelHubsJsonFirstRun)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) { return vostrel::bench::runUnderUmockdev(argc, argv); }
