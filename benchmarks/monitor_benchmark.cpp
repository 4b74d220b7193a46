// The monitor over the USB-stack double with 32 family hubs and 32 watched
// devices: the CPU time of one tick, and the latency of a watch-list export
// called from another thread while the monitor runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "frame/locks.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "library_lifecycle.h"
#include "loaded_library.h"
#include "platform/clock.h"
#include "backends/bus_sources.h"
#include "recovery/monitor.h"
#include "recovery/monitor_pass.h"
#include "scratch_dir.h"
#include "usb_stack_double.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;
using Clock = std::chrono::steady_clock;

constexpr int kHubs = 32;

// The library loaded in a scratch folder over a bus of 32 hubs, each with
// a healthy, configured device on its first port, all 32 watched, checked
// every tick (interval 1: the most work a tick can have).
class WatchedBus {
public:
    WatchedBus() {
        for (FamilyHub& hub : stack_.addFamilyHubs(kHubs, Link::Usb3)) {
            hub.plug(0).ids(0x04D8, 0x000A).manufacturer(u"Maker").product(u"Widget").serial(u"0001");
        }
        backends::useBusSource(&stack_);
        libraryLoad();
        for (int h = 0; h < kHubs; ++h) {
            const DeviceInfoRecord record = makeRecord(h, 0, 0x04D8, 0x000A, u"Widget", u"Maker");
            Hub_SetAutoCheckDeviceInfo(&record);
        }
        Hub_SetAutoCheckTimeInfo(1, 3);
    }
    ~WatchedBus() {
        libraryUnload();
        backends::useBusSource(nullptr);
    }

private:
    ScratchDir dir_;
    UsbStackDouble stack_;
};

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void BM_MonitorTick(benchmark::State& state) {
    WatchedBus bus;
    auto area = std::make_unique<DeviceInfoBlock>();
    const platform::Signal stop;
    const double cpuBefore = cpuSeconds();
    for (auto _ : state) {
        LockGuard pass(passLock);
        runMonitorPass({1, 3}, *area, stop);
    }
    const double cpuPerTick = (cpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
    state.counters["cpu_ms_per_tick"] = cpuPerTick * 1000;
    // A tick is a 1000 ms sleep plus the pass.
    state.counters["share_of_one_core_percent"] = 100 * cpuPerTick / (1.0 + cpuPerTick);
}
BENCHMARK(BM_MonitorTick)->Unit(benchmark::kMillisecond);

// The monitor's one-second sleeps shortened a hundredfold, so that a fair
// share of the export calls meet a pass under way.
class HundredfoldClock final : public platform::Clock {
public:
    bool wait(platform::Signal& signal, std::chrono::milliseconds duration) override {
        return signal.waitFor(std::chrono::duration_cast<std::chrono::milliseconds>(duration / 100));
    }
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void BM_ExportLatencyWhileMonitorRuns(benchmark::State& state) {
    WatchedBus bus;
    auto block = std::make_unique<DeviceInfoBlock>();
    std::vector<double> scans;
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        Hub_GetDeviceInfo(block.get());
        scans.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }

    HundredfoldClock clock;
    useMonitorClock(clock);
    Hub_StartAutoRecovery();
    std::vector<double> latencies;
    for (auto _ : state) {
        std::uint8_t interval = 0;
        std::uint8_t offTime = 0;
        const auto start = Clock::now();
        Hub_GetAutoCheckTimeInfo(&interval, &offTime);
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    Hub_StopAutoRecovery();
    useMonitorClock(platform::realClock());

    const double scan = percentile(scans, 0.5);
    state.counters["scan_ms"] = scan;
    state.counters["latency_p50_ms"] = percentile(latencies, 0.5);
    state.counters["latency_p99_ms"] = percentile(latencies, 0.99);
    state.counters["latency_max_ms"] = percentile(latencies, 1.0);
    state.counters["p99_below_scan_plus_1ms"] = percentile(latencies, 0.99) < scan + 1.0 ? 1 : 0;
}
BENCHMARK(BM_ExportLatencyWhileMonitorRuns)->Iterations(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
