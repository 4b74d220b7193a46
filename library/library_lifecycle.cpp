#include "library_lifecycle.h"

#include <cstring>

#include "backends/bus_sources.h"
#include "frame/locks.h"
#include "portctl/port_switch.h"
#include "recovery/monitor.h"
#include "recovery/settings.h"
#include "scan/device_views.h"

namespace vostrel {

void libraryLoad() {
    createLocks();
    registerMonitorForkHandlers();
    bool enabled = false;
    {
        // No other thread can wait for it yet: taking it costs nothing, and
        // the steps below touch the state it guards.
        LockGuard lock(generalLock);
        std::memset(&settings(), 0, sizeof(AutoCheckSettings));
        resetDeviceViews();
        loadSettings();  // also turns a stored interval or off time of 0 into the defaults
        enabled = settings().enabled != 0;
    }
    if (enabled) startMonitor(StartDelay::Yes);
}

void libraryUnload() {
    stopMonitor(ClearEnabled::No);
    {
        LockGuard lock(generalLock);
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
    if (!generalLock.try_lock()) return;
    saveSettingsIfChanged();
    generalLock.unlock();
}

}  // namespace vostrel
