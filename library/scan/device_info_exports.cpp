// Device information. This build has no USB stack to scan, so every scan
// finds nothing: the block comes back empty and no port exists.
#include <cstring>

#include "hub_api.h"

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void) { return 1; }

HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo(vostrel::DeviceInfoBlock* block) {
    std::memset(block, 0, sizeof *block);
    return 1;
}

HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo_Index_and_Port(vostrel::DeviceInfoRecord* record,
                                                               std::int32_t, std::int32_t) {
    std::memset(record, 0, sizeof *record);
    return 0;
}

}  // extern "C"
