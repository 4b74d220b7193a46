// The hub library's own Linux stack over a umockdev test bed made from the
// simulator's 32-hub example bench (32 hubs of the family on USB 3 ports,
// every port holding a configured device): the time of one whole scan, the
// attribute files it reads and the control transfers it sends (none, since
// every device is configured), the time of reading the bus alone (through a
// reader that keeps what cannot change, and whole), and the CPU time of one
// monitor pass (a scan and the single-port check of 32 watched ports).
//
// The bed needs umockdev's preload library; the program starts itself again
// with it when it was started without.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <vostrel/hub_api.h>

#include "umockdev_main.h"
#include "core/bench_file.h"
#include "core/bus_view.h"
#include "core/description.h"
#include "core/umockdev_bed.h"
#include "frame/locks.h"
#include "frame/records.h"
#include "mock_bus.h"
#include "backends/bus_sources.h"
#include "backends/sysfs_usb.h"
#include "platform/usbfs.h"
#include "scan/monitor_view.h"

namespace {

using namespace vostrel;

constexpr int kHubs = 32;

// The 32-hub bed, loaded, with the host's stack behind the scan. Loading
// takes umockdev a while, so both benchmarks share one.
class ThirtyTwoHubBed {
public:
    ThirtyTwoHubBed() {
        static const bool locks = (createLocks(), true);
        (void)locks;
        std::ifstream file(SIM_EXAMPLES "/32-hubs.json", std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const auto bench = std::make_shared<const sim::Bench>(sim::buildBench(sim::parseDocument(text, "32"), "32"));
        bus_.load(sim::umockdevBed(sim::BusView(bench, sim::wallClockMs())));
        backends::useBusSource(stack_.get());
    }

    ~ThirtyTwoHubBed() { backends::useBusSource(nullptr); }

    static ThirtyTwoHubBed& shared() {
        static ThirtyTwoHubBed bed;
        return bed;
    }

    bool scan() {
        Hub_GetDeviceInfo(block_.get());
        return block_->hubCount == kHubs;
    }

private:
    test::MockBus bus_;
    std::unique_ptr<backends::BusSource> stack_ = backends::makeHostBusSource();
    std::unique_ptr<DeviceInfoBlock> block_ = std::make_unique<DeviceInfoBlock>();
};

void BM_GetDeviceInfo_Sysfs32Hubs(benchmark::State& state) {
    ThirtyTwoHubBed& bed = ThirtyTwoHubBed::shared();
    if (!bed.scan()) state.SkipWithError("the scan does not show 32 hubs");
    const std::uint64_t files = platform::sysfsFilesRead();
    const std::uint64_t transfers = platform::usbfsTransfersSent();
    for (auto _ : state) bed.scan();
    const auto perScan = [&](std::uint64_t count) {
        return static_cast<double>(count) / static_cast<double>(state.iterations());
    };
    state.counters["files_per_scan"] = perScan(platform::sysfsFilesRead() - files);
    state.counters["control_transfers_per_scan"] = perScan(platform::usbfsTransfersSent() - transfers);
    if (platform::usbfsTransfersSent() != transfers) state.SkipWithError("a control transfer reached a device");
}
BENCHMARK(BM_GetDeviceInfo_Sysfs32Hubs)->Unit(benchmark::kMillisecond);

// Reading the bed into the model, without the scan's answers: again and
// again through one reader, as the stack does, and whole each time.
template <typename Read>
void readBus(benchmark::State& state, Read read) {
    ThirtyTwoHubBed::shared();
    read();
    const std::uint64_t files = platform::sysfsFilesRead();
    for (auto _ : state) benchmark::DoNotOptimize(read());
    state.counters["files_per_reading"] =
        static_cast<double>(platform::sysfsFilesRead() - files) / static_cast<double>(state.iterations());
}

void BM_ReadBus_Sysfs32Hubs(benchmark::State& state) {
    platform::SysfsUsbReader reader;
    readBus(state, [&] { return reader.read().bus; });
}
BENCHMARK(BM_ReadBus_Sysfs32Hubs)->Unit(benchmark::kMillisecond);

void BM_ReadBusWhole_Sysfs32Hubs(benchmark::State& state) {
    readBus(state, [] { return platform::readSysfsUsbBus().bus; });
}
BENCHMARK(BM_ReadBusWhole_Sysfs32Hubs)->Unit(benchmark::kMillisecond);

// What the monitor does once per tick with 32 hubs watched, every entry
// checked: its snapshot's scan and 32 single-port checks.
void BM_MonitorPass_Sysfs32Hubs(benchmark::State& state) {
    ThirtyTwoHubBed::shared();
    auto snapshot = std::make_unique<DeviceInfoBlock>();
    const std::clock_t cpuBefore = std::clock();
    for (auto _ : state) {
        BuildMonitorSnapshot(snapshot.get());
        for (int hub = 0; hub < kHubs; ++hub) {
            DeviceInfoRecord record;
            GetMonitorPortInfo(hub, &record, 0);
            benchmark::DoNotOptimize(record.connectionStatus);
        }
    }
    const double cpuPerPass = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC /
                              static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_pass"] = cpuPerPass * 1000;
    // The monitor sleeps a second between passes.
    state.counters["share_of_one_core_percent"] = 100 * cpuPerPass / (1.0 + cpuPerPass);
    if (snapshot->hubCount != kHubs) state.SkipWithError("the snapshot does not show 32 hubs");
}
BENCHMARK(BM_MonitorPass_Sysfs32Hubs)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) { return vostrel::bench::runUnderUmockdev(argc, argv); }
