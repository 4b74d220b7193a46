// Device-information exports that have nothing to report: they clear the
// caller's 1552-byte buffer and return 0, without a lock or library state.
#include <cstring>

#include "frame/export_alias.h"
#include "frame/records.h"

extern "C" {

HUB_API std::int32_t HUB_CALL Hub_GetNextDeviceInfo(void* buffer) {
    std::memset(buffer, 0, vostrel::kClearedBufferBytes);
    return 0;
}

// One body for three names.
HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfoIndex(void* buffer, std::int32_t) {
    std::memset(buffer, 0, vostrel::kClearedBufferBytes);
    return 0;
}

VOSTREL_EXPORT_ALIAS(Hub_GetDeviceInfoSerial, (void*, std::int32_t), Hub_GetDeviceInfoIndex)
VOSTREL_EXPORT_ALIAS(Hub_GetAutoCheckDeviceInfoSerial, (void*, std::int32_t), Hub_GetDeviceInfoIndex)

}  // extern "C"
