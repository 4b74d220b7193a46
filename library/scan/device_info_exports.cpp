// Device information for callers: a fresh scan into their block, kept as the
// device-info cache, and one port of that cache.
#include <cstring>

#include "frame/locks.h"
#include <vostrel/hub_api.h>
#include "scan/device_views.h"

using namespace vostrel;

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo(DeviceInfoBlock* block) {
    std::memset(block, 0, sizeof *block);
    LockGuard lock(generalLock);
    scanIntoBlock(*block);
    std::memcpy(&deviceInfoCache(), block, sizeof *block);
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo_Index_and_Port(DeviceInfoRecord* record, std::int32_t hubIndex,
                                                               std::int32_t portIndex) {
    LockGuard lock(generalLock);
    return readViewPort(deviceInfoCache(), hubIndex, portIndex, *record, WithConfiguration::No);
}

}  // extern "C"
