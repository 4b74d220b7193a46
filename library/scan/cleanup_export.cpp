// Hub_CleanupInfoList, apart from the controller list itself, so that code
// that scans without the exports (the command line, the control program)
// links no export of its own.
#include <cstdint>
#include <mutex>

#include "frame/locks.h"
#include "scan/controller_list.h"
#include <vostrel/hub_api.h>

extern "C" HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void) {
    std::lock_guard lock(vostrel::generalLock());
    vostrel::ClearControllerList();
    return 1;
}
