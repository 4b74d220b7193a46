// Fixed binary records in which hubs, ports and attached devices cross the
// library boundary. They are byte images shared with the control program and
// the settings file, so every size and offset is pinned below.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vostrel {

static_assert(std::endian::native == std::endian::little,
              "the records are little-endian byte images");

inline constexpr int kMaxHubs = 32;
inline constexpr int kPortsPerHub = 4;
inline constexpr std::size_t kTextUnits = 256;  // UTF-16 units, NUL included

// The USB hub driver's connection status of a port. Values outside the named
// ones pass through unchanged, so this stays a plain integer.
enum ConnectionStatus : std::uint32_t {
    NoDeviceConnected = 0,
    DeviceConnected = 1,
    DeviceFailedEnumeration = 2,
    DeviceGeneralFailure = 3,
    DeviceCausedOvercurrent = 4,
    DeviceNotEnoughPower = 5,
};

// One downstream port of a family hub as a scan saw it.
struct PortInfoRecord {
    std::uint8_t deviceClass;
    std::uint8_t deviceSubClass;
    std::uint8_t reserved2[2];
    std::int32_t hubIndex;
    std::int32_t portIndex;
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint16_t deviceRelease;
    std::uint8_t configurationValue;  // 0: attached but not configured
    std::uint8_t speed;               // 0 low, 1 full, 2 high, 3 super
    char16_t product[kTextUnits];
    char16_t manufacturer[kTextUnits];
    std::uint8_t reserved1044[4];
    std::uint32_t connectionStatus;
};

static_assert(sizeof(PortInfoRecord) == 1052);
static_assert(offsetof(PortInfoRecord, deviceClass) == 0);
static_assert(offsetof(PortInfoRecord, deviceSubClass) == 1);
static_assert(offsetof(PortInfoRecord, reserved2) == 2);
static_assert(offsetof(PortInfoRecord, hubIndex) == 4);
static_assert(offsetof(PortInfoRecord, portIndex) == 8);
static_assert(offsetof(PortInfoRecord, vendorId) == 12);
static_assert(offsetof(PortInfoRecord, productId) == 14);
static_assert(offsetof(PortInfoRecord, deviceRelease) == 16);
static_assert(offsetof(PortInfoRecord, configurationValue) == 18);
static_assert(offsetof(PortInfoRecord, speed) == 19);
static_assert(offsetof(PortInfoRecord, product) == 20);
static_assert(offsetof(PortInfoRecord, manufacturer) == 532);
static_assert(offsetof(PortInfoRecord, reserved1044) == 1044);
static_assert(offsetof(PortInfoRecord, connectionStatus) == 1048);

// One port and its device, handed to callers one at a time. A subset of the
// port record's fields, at other offsets.
struct DeviceInfoRecord {
    std::uint8_t reserved0[4];
    std::int32_t hubIndex;
    std::int32_t portIndex;
    std::uint8_t reserved12[2];
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint8_t reserved18[2];
    std::uint8_t configurationValue;
    std::uint8_t reserved21;
    char16_t product[kTextUnits];
    char16_t manufacturer[kTextUnits];
    std::uint8_t reserved1046[2];
    std::uint32_t connectionStatus;
};

static_assert(sizeof(DeviceInfoRecord) == 1052);
static_assert(offsetof(DeviceInfoRecord, reserved0) == 0);
static_assert(offsetof(DeviceInfoRecord, hubIndex) == 4);
static_assert(offsetof(DeviceInfoRecord, portIndex) == 8);
static_assert(offsetof(DeviceInfoRecord, reserved12) == 12);
static_assert(offsetof(DeviceInfoRecord, vendorId) == 14);
static_assert(offsetof(DeviceInfoRecord, productId) == 16);
static_assert(offsetof(DeviceInfoRecord, reserved18) == 18);
static_assert(offsetof(DeviceInfoRecord, configurationValue) == 20);
static_assert(offsetof(DeviceInfoRecord, reserved21) == 21);
static_assert(offsetof(DeviceInfoRecord, product) == 22);
static_assert(offsetof(DeviceInfoRecord, manufacturer) == 534);
static_assert(offsetof(DeviceInfoRecord, reserved1046) == 1046);
static_assert(offsetof(DeviceInfoRecord, connectionStatus) == 1048);

// The ports of up to 32 hubs; what Hub_GetDeviceInfo fills.
struct DeviceInfoBlock {
    std::uint8_t hubCount;
    std::uint8_t reserved1[35];
    PortInfoRecord ports[kMaxHubs * kPortsPerHub];

    PortInfoRecord& port(int hub, int portIndex) { return ports[hub * kPortsPerHub + portIndex]; }
    const PortInfoRecord& port(int hub, int portIndex) const {
        return ports[hub * kPortsPerHub + portIndex];
    }
};

static_assert(sizeof(DeviceInfoBlock) == 134692);
static_assert(offsetof(DeviceInfoBlock, hubCount) == 0);
static_assert(offsetof(DeviceInfoBlock, reserved1) == 1);
static_assert(offsetof(DeviceInfoBlock, ports) == 36);
static_assert(offsetof(DeviceInfoBlock, ports) + (4 * 1 + 3) * sizeof(PortInfoRecord) == 7400);

// Size of the buffers that the clearing exports zero.
inline constexpr std::size_t kClearedBufferBytes = 1552;

}  // namespace vostrel
