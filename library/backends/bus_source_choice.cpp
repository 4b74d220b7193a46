// The choice of the source of buses behind the scan.
#include <atomic>

#include "backends/bus_sources.h"
#include "platform/environment.h"

namespace vostrel::backends {
namespace {

// Plain pointers, not owning statics: at process exit a monitor thread may
// still scan after the C++ statics of this library were destroyed.
BusSource* g_chosen = nullptr;
std::atomic<BusSource*> g_installed{nullptr};

std::unique_ptr<BusSource> chooseBusSource() {
    const auto module = platform::environmentVariable("VOSTREL_USBSTACK");
    if (module && !module->empty()) return makeModuleBusSource(module->c_str());
    return makeHostBusSource();
}

}  // namespace

BusSource& busSource() {
    if (BusSource* installed = g_installed.load()) return *installed;
    if (g_chosen == nullptr) g_chosen = chooseBusSource().release();
    return *g_chosen;
}

void releaseBusSource() {
    delete g_chosen;
    g_chosen = nullptr;
}

void useBusSource(BusSource* source) { g_installed.store(source); }

}  // namespace vostrel::backends
