#include "library_lifecycle.h"

#include <cstring>
#include <mutex>

#include "frame/locks.h"
#include "backends/bus_sources.h"
#include "portctl/port_switch.h"
#include "recovery/monitor.h"
#include "recovery/settings.h"
#include "scan/device_views.h"

namespace vostrel {

void libraryLoad() {
    std::memset(&settings(), 0, sizeof(AutoCheckSettings));
    createLocks();
    registerMonitorForkHandlers();
    resetDeviceViews();
    loadSettings();  // also turns a stored interval or off time of 0 into the defaults
    if (settings().enabled) startMonitor(StartDelay::Yes);
}

void libraryUnload() {
    stopMonitor(ClearEnabled::No);
    {
        std::lock_guard lock(generalLock());
        saveSettingsIfChanged();
        backends::releaseBusSource();
    }
    deleteLocks();
    releaseVendorLibrary();
}

void libraryUnloadAtProcessExit() {
    // The system has already ended every other thread, the monitor's too,
    // perhaps in the middle of a step under the general lock. Waiting for it
    // would never end, so the settings are saved only when that lock is free
    // (a block left halfway through a change is not saved), and nothing is
    // released: the process is going.
    if (!generalLock().try_lock()) return;
    saveSettingsIfChanged();
    generalLock().unlock();
}

}  // namespace vostrel
