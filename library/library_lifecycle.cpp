#include "library_lifecycle.h"

#include <cstring>
#include <mutex>

#include "frame/locks.h"
#include "platform/usb_stack.h"
#include "portctl/port_switch.h"
#include "recovery/monitor.h"
#include "recovery/settings.h"
#include "scan/controller_list.h"
#include "scan/device_views.h"

namespace vostrel {

void libraryLoad() {
    std::memset(&settings(), 0, sizeof(AutoCheckSettings));
    createLocks();
    registerMonitorForkHandlers();
    ClearControllerList();
    resetDeviceViews();
    loadSettings();  // also turns a stored interval or off time of 0 into the defaults
    if (settings().enabled) startMonitor(StartDelay::Yes);
}

void libraryUnload() {
    stopMonitor(ClearEnabled::No);
    {
        std::lock_guard lock(generalLock());
        saveSettings();
        ClearControllerList();
        platform::releaseUsbStack();
    }
    deleteLocks();
    releaseVendorLibrary();
}

}  // namespace vostrel
