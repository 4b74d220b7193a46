#include "library_lifecycle.h"

#include <cstring>
#include <mutex>

#include "frame/locks.h"
#include "portctl/port_switch.h"
#include "recovery/monitor.h"
#include "recovery/settings.h"

namespace vostrel {

void libraryLoad() {
    std::memset(&settings(), 0, sizeof(AutoCheckSettings));
    createLocks();
    loadSettings();  // also turns a stored interval or off time of 0 into the defaults
    if (settings().enabled) startMonitor(StartDelay::Yes);
}

void libraryUnload() {
    stopMonitor(ClearEnabled::No);
    {
        std::lock_guard lock(generalLock());
        saveSettings();
    }
    deleteLocks();
    releaseVendorLibrary();
}

}  // namespace vostrel
