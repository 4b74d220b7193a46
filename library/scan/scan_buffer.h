// The working result of one topology scan: the hub identities met, joined by
// serial number string, and the four downstream ports of every hub device of
// the family, one table per product ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/records.h"
#include "usbbus/family_hubs.h"

namespace vostrel {

// A hub of the family shows as up to two hub devices with one serial number:
// a SuperSpeed hub (0x5744) and a USB 2.0 hub (0x2744).
inline constexpr std::uint16_t kFamilyVendorId = usbbus::kFamilyVendorId;
inline constexpr std::uint16_t kSuperSpeedHubProductId = usbbus::kFamilySuperSpeedProductId;
inline constexpr std::uint16_t kUsb2HubProductId = usbbus::kFamilyUsb2ProductId;

inline bool isFamilyHub(std::uint16_t vendorId, std::uint16_t productId) {
    return usbbus::isFamilyHubDevice(vendorId, productId);
}

// The serial number strings of the devices on the ports of both tables of a
// ScanBuffer, at the places of their records; empty where a device names
// none. No record or export carries them; a scan keeps them only for a
// caller that hands this table over.
struct DeviceSerials {
    std::u16string ports5744[kMaxHubs * kPortsPerHub];
    std::u16string ports2744[kMaxHubs * kPortsPerHub];
};

// Where a hub hangs: the kernel's name of its USB 2.0 hub device where the
// stack names hubs as the kernel does ("1-3.2"), else the scan's position
// of its host controller and the port path below the root hub ("0-1.4").
// The longest path, seven tiers of three-digit ports, fits with room.
inline constexpr std::size_t kLocationChars = 48;

// About 280 KB: allocated per scan on the heap, zeroed.
struct ScanBuffer {
    std::uint8_t count5744;      // 0x5744 hub devices recorded, at most 32
    std::uint8_t count2744;      // 0x2744 hub devices recorded, at most 32
    std::uint8_t identityCount;  // distinct serial strings, at most 32
    std::uint8_t reserved3;
    char16_t serials[kMaxHubs][kTextUnits];  // serial string of identity k
    // Identity k, port number n (1 to 4) is element 4 k + n - 1.
    PortInfoRecord ports5744[kMaxHubs * kPortsPerHub];
    PortInfoRecord ports2744[kMaxHubs * kPortsPerHub];
    // The location of identity k, NUL-terminated: its USB 2.0 hub device's,
    // else its SuperSpeed hub device's.
    char locations[kMaxHubs][kLocationChars];
    bool usb2Located[kMaxHubs];  // locations[k] is the USB 2.0 hub device's
    DeviceSerials* deviceSerials;  // null: the devices' serials are not kept
};

static_assert(offsetof(ScanBuffer, count5744) == 0);
static_assert(offsetof(ScanBuffer, count2744) == 1);
static_assert(offsetof(ScanBuffer, identityCount) == 2);
static_assert(offsetof(ScanBuffer, serials) == 4);
static_assert(offsetof(ScanBuffer, ports5744) == 4 + 32 * 512);
static_assert(offsetof(ScanBuffer, ports2744) == 4 + 32 * 512 + 128 * 1052);
static_assert(offsetof(ScanBuffer, locations) == 4 + 32 * 512 + 2 * 128 * 1052);
// The pointer follows the locations, after padding to its own alignment.
inline constexpr std::size_t kScanTablesEnd = offsetof(ScanBuffer, usb2Located) + kMaxHubs;
static_assert(offsetof(ScanBuffer, deviceSerials) ==
              (kScanTablesEnd + alignof(DeviceSerials*) - 1) / alignof(DeviceSerials*) * alignof(DeviceSerials*));
static_assert(sizeof(ScanBuffer) == offsetof(ScanBuffer, deviceSerials) + sizeof(DeviceSerials*));

}  // namespace vostrel
