// The three monitor-control exports. They take no lock: only one thread
// (the control program's window thread, or load and unload) calls them.
#include <atomic>

#include <vostrel/hub_api.h>
#include "recovery/monitor.h"
#include "recovery/settings.h"

using namespace vostrel;

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_StartAutoRecovery(void) { return startMonitor(StartDelay::No) ? 1 : 0; }

HUB_API std::int32_t HUB_CALL Hub_StopAutoRecovery(void) { return stopMonitor(ClearEnabled::Yes) ? 1 : 0; }

// The flag is read without the general lock, atomically, as the monitor's
// start and stop store it under that lock: the analysis has no words for a
// field written under a lock and read without it.
HUB_API std::int32_t HUB_CALL Hub_GetAutoRecoveryStatus(void) NO_THREAD_SAFETY_ANALYSIS {
    return std::atomic_ref(settings().enabled).load();
}

}  // extern "C"
