/* The hub utility library Vostrel_4: its records and its 30 exported
   functions, for C (C99 and later) and C++.

   Every result is a 32-bit value, 1 for success and 0 for failure unless a
   comment says otherwise. No function reports why it failed. Records cross
   in buffers the caller supplies and the library fills during the call; the
   library keeps no pointer to them. Texts are UTF-16, NUL-terminated, in
   arrays of 256 units. All integers are little-endian.

   The library keeps its settings ("vostrel.dat") and its event log
   ("vostrel.log") in the current directory of the process that loads it. */
#ifndef VOSTREL_HUB_API_H
#define VOSTREL_HUB_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define HUB_CALL __stdcall
#define HUB_API
#else
#define HUB_CALL
#define HUB_API __attribute__((visibility("default")))
#endif

#if defined(__cplusplus)
#define HUB_STATIC_ASSERT(condition, name) static_assert(condition, #name)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define HUB_STATIC_ASSERT(condition, name) _Static_assert(condition, #name)
#else
/* C99: an array of negative size stops the build. */
#define HUB_STATIC_ASSERT(condition, name) typedef char hub_static_assert_##name[(condition) ? 1 : -1]
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One UTF-16 code unit. */
#if defined(__cplusplus)
typedef char16_t HubChar16;
#else
typedef uint16_t HubChar16;
#endif

#define HUB_MAX_HUBS 32
#define HUB_PORTS_PER_HUB 4
#define HUB_TEXT_UNITS 256          /* UTF-16 units of every text, NUL included */
#define HUB_CLEARED_BUFFER_BYTES 1552 /* what the four clearing functions zero */

/* A port's connection status, as the USB hub driver reports it. Values
   outside these pass through unchanged. */
enum {
    HUB_NO_DEVICE_CONNECTED = 0,
    HUB_DEVICE_CONNECTED = 1,
    HUB_DEVICE_FAILED_ENUMERATION = 2,
    HUB_DEVICE_GENERAL_FAILURE = 3,
    HUB_DEVICE_CAUSED_OVERCURRENT = 4,
    HUB_DEVICE_NOT_ENOUGH_POWER = 5
};

/* One downstream port of a hub of the family and what is attached to it,
   1052 bytes. */
typedef struct PortInfoRecord {
    uint8_t deviceClass;
    uint8_t deviceSubClass;
    uint8_t reserved2[2];
    int32_t hubIndex;            /* from 0, numbered by each scan */
    int32_t portIndex;           /* 0 to 3: ports 1 to 4 */
    uint16_t vendorId;
    uint16_t productId;
    uint16_t deviceRelease;      /* bcdDevice */
    uint8_t configurationValue;  /* 0: attached but not configured */
    uint8_t speed;               /* 0 low, 1 full, 2 high, 3 super */
    HubChar16 product[HUB_TEXT_UNITS];
    HubChar16 manufacturer[HUB_TEXT_UNITS];
    uint8_t reserved1044[4];
    uint32_t connectionStatus;   /* HUB_NO_DEVICE_CONNECTED, ... */
} PortInfoRecord;

HUB_STATIC_ASSERT(sizeof(PortInfoRecord) == 1052, port_record_size);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, deviceClass) == 0, port_record_device_class);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, deviceSubClass) == 1, port_record_device_subclass);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, reserved2) == 2, port_record_reserved2);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, hubIndex) == 4, port_record_hub_index);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, portIndex) == 8, port_record_port_index);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, vendorId) == 12, port_record_vendor_id);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, productId) == 14, port_record_product_id);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, deviceRelease) == 16, port_record_device_release);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, configurationValue) == 18, port_record_configuration);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, speed) == 19, port_record_speed);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, product) == 20, port_record_product);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, manufacturer) == 532, port_record_manufacturer);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, reserved1044) == 1044, port_record_reserved1044);
HUB_STATIC_ASSERT(offsetof(PortInfoRecord, connectionStatus) == 1048, port_record_status);

/* One port and its device, handed over one at a time, 1052 bytes: a subset
   of the port record's fields at other offsets. */
typedef struct DeviceInfoRecord {
    uint8_t reserved0[4];
    int32_t hubIndex;
    int32_t portIndex;
    uint8_t reserved12[2];
    uint16_t vendorId;
    uint16_t productId;
    uint8_t reserved18[2];
    uint8_t configurationValue;
    uint8_t reserved21;
    HubChar16 product[HUB_TEXT_UNITS];
    HubChar16 manufacturer[HUB_TEXT_UNITS];
    uint8_t reserved1046[2];
    uint32_t connectionStatus;
} DeviceInfoRecord;

HUB_STATIC_ASSERT(sizeof(DeviceInfoRecord) == 1052, device_record_size);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, reserved0) == 0, device_record_reserved0);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, hubIndex) == 4, device_record_hub_index);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, portIndex) == 8, device_record_port_index);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, reserved12) == 12, device_record_reserved12);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, vendorId) == 14, device_record_vendor_id);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, productId) == 16, device_record_product_id);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, reserved18) == 18, device_record_reserved18);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, configurationValue) == 20, device_record_configuration);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, reserved21) == 21, device_record_reserved21);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, product) == 22, device_record_product);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, manufacturer) == 534, device_record_manufacturer);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, reserved1046) == 1046, device_record_reserved1046);
HUB_STATIC_ASSERT(offsetof(DeviceInfoRecord, connectionStatus) == 1048, device_record_status);

/* The ports of up to 32 hubs, 134692 bytes: what Hub_GetDeviceInfo fills.
   The record of hub h, port p is ports[4 * h + p]. */
typedef struct DeviceInfoBlock {
    uint8_t hubCount;  /* 0 to 32 */
    uint8_t reserved1[35];
    PortInfoRecord ports[HUB_MAX_HUBS * HUB_PORTS_PER_HUB];
} DeviceInfoBlock;

HUB_STATIC_ASSERT(sizeof(DeviceInfoBlock) == 134692, block_size);
HUB_STATIC_ASSERT(offsetof(DeviceInfoBlock, hubCount) == 0, block_hub_count);
HUB_STATIC_ASSERT(offsetof(DeviceInfoBlock, reserved1) == 1, block_reserved1);
HUB_STATIC_ASSERT(offsetof(DeviceInfoBlock, ports) == 36, block_ports);

/* Vendor library binding and the one open hub. */
HUB_API int32_t HUB_CALL Hub_InitPt2lib(void);
HUB_API int32_t HUB_CALL Hub_OpenHubDevice(int32_t hubIndex);
HUB_API int32_t HUB_CALL Hub_CloseHubDevice(void);

/* Port power and hub operations. Ports are numbered 0 to 3. */
HUB_API int32_t HUB_CALL Hub_GetHubPortStatus(int32_t hubIndex, uint8_t* status);
HUB_API int32_t HUB_CALL Hub_InitHubDevice(int32_t hubIndex);
HUB_API int32_t HUB_CALL Hub_SetHubPortStatus(int32_t hubIndex, int32_t portIndex, int32_t on);
HUB_API int32_t HUB_CALL Hub_Program_CFG_w_Serial(int32_t hubIndex, uint32_t configuration, uint32_t serial);
HUB_API int32_t HUB_CALL Hub_Reset_Device(int32_t hubIndex);

/* Topology scan and device information. */
HUB_API int32_t HUB_CALL Hub_CleanupInfoList(void);
HUB_API int32_t HUB_CALL Hub_GetDeviceInfo(DeviceInfoBlock* block);
HUB_API int32_t HUB_CALL Hub_GetDeviceInfo_Index_and_Port(DeviceInfoRecord* record, int32_t hubIndex,
                                                          int32_t portIndex);
/* The next four clear HUB_CLEARED_BUFFER_BYTES at `buffer` and return 0. */
HUB_API int32_t HUB_CALL Hub_GetNextDeviceInfo(void* buffer);
HUB_API int32_t HUB_CALL Hub_GetDeviceInfoIndex(void* buffer, int32_t unused);
HUB_API int32_t HUB_CALL Hub_GetDeviceInfoSerial(void* buffer, int32_t unused);
HUB_API int32_t HUB_CALL Hub_GetAutoCheckDeviceInfoSerial(void* buffer, int32_t unused);

/* Kept for callers of earlier versions: they do nothing and return 1. */
HUB_API int32_t HUB_CALL Hub_GetStatus(int32_t unused1, int32_t unused2);
HUB_API int32_t HUB_CALL Hub_GetFault(int32_t unused1, int32_t unused2);
HUB_API int32_t HUB_CALL Hub_SetReset(int32_t unused1, int32_t unused2);
HUB_API int32_t HUB_CALL Hub_SetStatus(int32_t unused1, int32_t unused2);

/* Watch list and its two times (in monitor ticks of about a second). */
HUB_API int32_t HUB_CALL Hub_SetAutoCheckTimeInfo(uint8_t interval, uint8_t offTime);
HUB_API int32_t HUB_CALL Hub_GetAutoCheckTimeInfo(uint8_t* interval, uint8_t* offTime);
HUB_API int32_t HUB_CALL Hub_SetAutoCheckDeviceInfo(const DeviceInfoRecord* record);
HUB_API int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo(DeviceInfoRecord* record);
HUB_API int32_t HUB_CALL Hub_GetNextAutoCheckDeviceInfo(DeviceInfoRecord* record);
HUB_API int32_t HUB_CALL Hub_GetAutoCheckDeviceInfoIndex(DeviceInfoRecord* record, uint8_t index);
HUB_API int32_t HUB_CALL Hub_GetAutoCheckDeviceInfo_Index_and_Port(DeviceInfoRecord* record, int32_t hubIndex,
                                                                   int32_t portIndex);
HUB_API int32_t HUB_CALL Hub_DeleteAutoCheckDeviceInfo(const DeviceInfoRecord* record);

/* The auto-recovery monitor. These three take no lock: call them from one
   thread at a time. Hub_GetAutoRecoveryStatus returns the stored enabled
   flag, 0 or 1. */
HUB_API int32_t HUB_CALL Hub_StartAutoRecovery(void);
HUB_API int32_t HUB_CALL Hub_StopAutoRecovery(void);
HUB_API int32_t HUB_CALL Hub_GetAutoRecoveryStatus(void);

#ifdef __cplusplus
}
#endif

#endif /* VOSTREL_HUB_API_H */
