// The fixed binary records in which hubs, ports and attached devices cross
// the library boundary, as the library's own code names them. The layouts
// themselves, with every size and offset pinned, are those of the public
// header.
#pragma once

#include <vostrel/hub_api.h>

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vostrel {

static_assert(std::endian::native == std::endian::little, "the records are little-endian byte images");

using ::DeviceInfoBlock;
using ::DeviceInfoRecord;
using ::PortInfoRecord;

inline constexpr int kMaxHubs = HUB_MAX_HUBS;
inline constexpr int kPortsPerHub = HUB_PORTS_PER_HUB;
inline constexpr std::size_t kTextUnits = HUB_TEXT_UNITS;
inline constexpr std::size_t kClearedBufferBytes = HUB_CLEARED_BUFFER_BYTES;

// The USB hub driver's connection status of a port. Values outside the named
// ones pass through unchanged, so this stays a plain integer.
enum ConnectionStatus : std::uint32_t {
    NoDeviceConnected = HUB_NO_DEVICE_CONNECTED,
    DeviceConnected = HUB_DEVICE_CONNECTED,
    DeviceFailedEnumeration = HUB_DEVICE_FAILED_ENUMERATION,
    DeviceGeneralFailure = HUB_DEVICE_GENERAL_FAILURE,
    DeviceCausedOvercurrent = HUB_DEVICE_CAUSED_OVERCURRENT,
    DeviceNotEnoughPower = HUB_DEVICE_NOT_ENOUGH_POWER,
};

// The record of hub `hub`, port index `portIndex` in a block.
inline PortInfoRecord& portRecord(DeviceInfoBlock& block, int hub, int portIndex) {
    return block.ports[hub * kPortsPerHub + portIndex];
}
inline const PortInfoRecord& portRecord(const DeviceInfoBlock& block, int hub, int portIndex) {
    return block.ports[hub * kPortsPerHub + portIndex];
}

static_assert(offsetof(DeviceInfoBlock, ports) + (4 * 1 + 3) * sizeof(PortInfoRecord) == 7400);

}  // namespace vostrel
