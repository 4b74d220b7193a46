// What a port is in, from what the hub library reports of it: its state as
// the main window's tree shows it, and whether it has power.
#pragma once

#include <cstdint>
#include <optional>

namespace vostrel::program {

enum class PortPower {
    On,       // the hub shows a device there: the port has power
    Off,      // the hub reports none of its ports powered
    Unknown,  // nothing attached, and other ports of the hub are powered
};

enum class PortState {
    Working,        // a configured device is attached
    Empty,          // nothing attached; the port may be powered or not
    Failed,         // something is attached but failed (enumeration, overcurrent, power)
    NotConfigured,  // a device is attached but not configured
    SwitchedOff,    // the port has no power
};

// A port's power. `hubPowered`: what Hub_GetHubPortStatus says of the hub
// (whether any of its four ports is powered), nothing when it could not be
// asked. The library tells no more than that of a port without a device: an
// empty port and a port switched off look alike in its scan.
PortPower portPower(std::uint32_t connectionStatus, std::optional<bool> hubPowered);

PortState portState(std::uint32_t connectionStatus, std::uint8_t configurationValue, PortPower power);

}  // namespace vostrel::program
