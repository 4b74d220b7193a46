// The exported interface of the hub utility library: 30 functions with C
// linkage, the only symbols the library exports. Every result is a 32-bit
// value, 1 for success and 0 for failure unless stated otherwise.
#pragma once

#include <cstdint>

#include "frame/records.h"

#if defined(_WIN32)
#define HUB_CALL __stdcall
#define HUB_API
#else
#define HUB_CALL
#define HUB_API __attribute__((visibility("default")))
#endif

extern "C" {

// Vendor library binding and the one open hub.
HUB_API std::int32_t HUB_CALL Hub_InitPt2lib(void);
HUB_API std::int32_t HUB_CALL Hub_OpenHubDevice(std::int32_t hubIndex);
HUB_API std::int32_t HUB_CALL Hub_CloseHubDevice(void);

// Port power and hub operations.
HUB_API std::int32_t HUB_CALL Hub_GetHubPortStatus(std::int32_t hubIndex, std::uint8_t* status);
HUB_API std::int32_t HUB_CALL Hub_InitHubDevice(std::int32_t hubIndex);
HUB_API std::int32_t HUB_CALL Hub_SetHubPortStatus(std::int32_t hubIndex, std::int32_t portIndex,
                                                   std::int32_t on);
HUB_API std::int32_t HUB_CALL Hub_Program_CFG_w_Serial(std::int32_t hubIndex,
                                                       std::uint32_t configuration,
                                                       std::uint32_t serial);
HUB_API std::int32_t HUB_CALL Hub_Reset_Device(std::int32_t hubIndex);

// Topology scan and device information.
HUB_API std::int32_t HUB_CALL Hub_CleanupInfoList(void);
HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo(vostrel::DeviceInfoBlock* block);
HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfo_Index_and_Port(vostrel::DeviceInfoRecord* record,
                                                               std::int32_t hubIndex,
                                                               std::int32_t portIndex);
// The next four clear 1552 bytes at `buffer` and return 0.
HUB_API std::int32_t HUB_CALL Hub_GetNextDeviceInfo(void* buffer);
HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfoIndex(void* buffer, std::int32_t unused);
HUB_API std::int32_t HUB_CALL Hub_GetDeviceInfoSerial(void* buffer, std::int32_t unused);
HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfoSerial(void* buffer, std::int32_t unused);

// Kept for callers of earlier versions: they do nothing and return 1.
HUB_API std::int32_t HUB_CALL Hub_GetStatus(std::int32_t, std::int32_t);
HUB_API std::int32_t HUB_CALL Hub_GetFault(std::int32_t, std::int32_t);
HUB_API std::int32_t HUB_CALL Hub_SetReset(std::int32_t, std::int32_t);
HUB_API std::int32_t HUB_CALL Hub_SetStatus(std::int32_t, std::int32_t);

// Watch list and its two times.
HUB_API std::int32_t HUB_CALL Hub_SetAutoCheckTimeInfo(std::uint8_t interval, std::uint8_t offTime);
HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckTimeInfo(std::uint8_t* interval, std::uint8_t* offTime);
HUB_API std::int32_t HUB_CALL Hub_SetAutoCheckDeviceInfo(const vostrel::DeviceInfoRecord* record);
HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo(vostrel::DeviceInfoRecord* record);
HUB_API std::int32_t HUB_CALL Hub_GetNextAutoCheckDeviceInfo(vostrel::DeviceInfoRecord* record);
HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfoIndex(vostrel::DeviceInfoRecord* record,
                                                              std::uint8_t index);
HUB_API std::int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo_Index_and_Port(
    vostrel::DeviceInfoRecord* record, std::int32_t hubIndex, std::int32_t portIndex);
HUB_API std::int32_t HUB_CALL Hub_DeleteAutoCheckDeviceInfo(const vostrel::DeviceInfoRecord* record);

// The auto-recovery monitor. These three take no lock and must not be called
// concurrently with each other.
HUB_API std::int32_t HUB_CALL Hub_StartAutoRecovery(void);
HUB_API std::int32_t HUB_CALL Hub_StopAutoRecovery(void);
HUB_API std::int32_t HUB_CALL Hub_GetAutoRecoveryStatus(void);

}  // extern "C"
