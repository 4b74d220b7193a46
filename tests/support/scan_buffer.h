// The records of one walk in fixed tables, for tests that compare them byte
// for byte: the hub identities met, joined by serial number string, and the
// four downstream ports of every hub device of the family, one table per
// product ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frame/records.h"

namespace vostrel {

// The serial number strings of the devices on the ports of both tables of a
// ScanBuffer, at the places of their records; empty where a device names
// none.
struct DeviceSerials {
    std::u16string ports5744[kMaxHubs * kPortsPerHub];
    std::u16string ports2744[kMaxHubs * kPortsPerHub];
};

// Room for where a hub hangs (usbbus::FamilyHub::location): the longest
// path, seven tiers of three-digit ports, fits with room.
inline constexpr std::size_t kLocationChars = 48;

// About 280 KB: on the heap, zeroed.
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
