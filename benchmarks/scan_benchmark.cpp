// The bus read through the USB I/O controls of the USB-stack double and
// walked: the time of one whole scan, and the number of device I/O controls
// the reader sends, which must equal what the walk needs.
#include <benchmark/benchmark.h>

#include <memory>

#include "frame/locks.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "backends/usb_stack_reader.h"
#include "usb_stack_double.h"
#include "usbbus/family_hubs.h"

namespace {

using namespace vostrel;
using namespace vostrel::test;

constexpr int kHubs = 32;

// 32 hubs of the family on USB 3 links; on every hub SuperSpeed devices on
// port indexes 0 and 1 and high-speed devices on 2 and 3, each configured,
// with manufacturer, product and serial strings in two languages.
void buildFullBus(UsbStackDouble& stack) {
    for (FamilyHub& hub : stack.addFamilyHubs(kHubs, Link::Usb3)) {
        for (int p = 0; p < kPortsPerHub; ++p) {
            hub.plug(p, p < 2 ? Side::SuperSpeed : Side::Usb2)
                .languages({0x0409, 0x0411})
                .manufacturer(u"Maker")
                .string(1, 0x0411, u"メーカー")
                .product(u"Widget")
                .serial(u"0001");
        }
    }
}

// What the reader must ask of that bus for the walk.
std::uint64_t expectedFullBusIoctls() {
    const std::uint64_t controller = 2 + 2;  // driver key, root hub name: two steps each
    const std::uint64_t rootHub = 1;         // node information
    // A hub device as seen from its root port: connection, configuration
    // (two steps), languages and its serial; then its name (two steps) and
    // its node information.
    const std::uint64_t hubDevice = 1 + 2 + 1 + 1 + 2 + 1;
    const std::uint64_t device = 1 + 2 + 1 + 3;  // three strings, each in the first language
    const std::uint64_t emptyPort = 1;
    // Two of each hub device's four ports hold a device.
    const std::uint64_t portsOfHubDevice = 2 * device + 2 * emptyPort;
    return controller + rootHub + 2 * kHubs * (hubDevice + portsOfHubDevice);
}

void runScans(benchmark::State& state, UsbStackDouble& stack, std::uint64_t expected) {
    static const bool locks = (createLocks(), true);
    (void)locks;
    benchmark::DoNotOptimize(usbbus::walkFamilyHubs(*backends::readBusThroughUsbStack(stack)).size());
    stack.resetCounts();
    for (auto _ : state) {
        const auto hubs = usbbus::walkFamilyHubs(*backends::readBusThroughUsbStack(stack));
        benchmark::DoNotOptimize(hubs.size());
    }
    const double perScan = static_cast<double>(stack.ioctlCount()) / static_cast<double>(state.iterations());
    state.counters["ioctls_per_scan"] = perScan;
    state.counters["expected_ioctls"] = static_cast<double>(expected);
    if (perScan != static_cast<double>(expected)) state.SkipWithError("device I/O control count differs");
}

void BM_GetDeviceInfo_FullBus(benchmark::State& state) {
    UsbStackDouble stack;
    buildFullBus(stack);
    runScans(state, stack, expectedFullBusIoctls());
}
BENCHMARK(BM_GetDeviceInfo_FullBus)->Unit(benchmark::kMicrosecond);

void BM_GetDeviceInfo_EmptyBus(benchmark::State& state) {
    UsbStackDouble stack;
    runScans(state, stack, 0);
}
BENCHMARK(BM_GetDeviceInfo_EmptyBus)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
