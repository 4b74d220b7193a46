// Hub_CleanupInfoList, apart from the controller list itself, so that code
// that scans without the exports (the command line, the control program)
// links no export of its own.
#include <cstdint>

#include "frame/locks.h"
#include "scan/controller_list.h"
#include <vostrel/hub_api.h>

extern "C" HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void) {
    vostrel::LockGuard lock(vostrel::generalLock);
    vostrel::ClearControllerList();
    return 1;
}
