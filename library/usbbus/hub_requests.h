// The hub class requests that read and switch the power of a hub's
// downstream port, as the setup packet of a control transfer on the hub's
// endpoint 0, and what a hub answers to them. No transfer happens here: the
// kernel's usbfs sends them (platform/usbfs.h). Answers come from a device
// and are checked as untrusted input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace vostrel::usbbus {

// The eight bytes that start every control transfer.
struct SetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;

    bool operator==(const SetupPacket&) const = default;
};

// As they go on the wire: the 16-bit fields little-endian.
std::array<std::uint8_t, 8> setupBytes(const SetupPacket& setup);

// Whether the transfer carries data from the device to the host.
inline bool isDeviceToHost(const SetupPacket& setup) { return (setup.requestType & 0x80) != 0; }

// GET_STATUS of port `port` (from 1): four bytes, wPortStatus then
// wPortChange.
SetupPacket portStatusRequest(std::uint16_t port);

// SET_FEATURE (on) or CLEAR_FEATURE (off) of PORT_POWER on port `port`.
SetupPacket portPowerRequest(std::uint16_t port, bool on);

// GET_DESCRIPTOR of the hub's class descriptor: the USB 2.0 hub descriptor,
// or the SuperSpeed one of a SuperSpeed hub.
SetupPacket hubDescriptorRequest(bool superSpeed);

// Whether wPortStatus shows the port powered: bit 8 on a USB 2.0 hub, bit 9
// on a SuperSpeed hub.
bool portPowered(std::uint16_t portStatus, bool superSpeed);

// How a hub switches its downstream ports' power, by wHubCharacteristics
// bits 1..0 of its hub descriptor.
enum class PortPowerSwitching {
    Ganged,    // 00: all ports together
    EachPort,  // 01: each port on its own
    None,      // 1x: not at all
};

// What a hub descriptor (as answered to hubDescriptorRequest) tells of the
// hub's port power switching. Nothing when the answer is no hub descriptor
// of that kind.
std::optional<PortPowerSwitching> hubPortPowerSwitching(std::span<const std::uint8_t> descriptor, bool superSpeed);

}  // namespace vostrel::usbbus
