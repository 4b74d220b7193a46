// Every hub on the bus as `vostrel hubs` lists it: a USB 3 hub's USB 2 and
// SuperSpeed hub devices as one hub, paired through the kernel's `peer`
// links between their ports; root hubs each on their own, named by their
// kernel names ("usb1").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hub_ports.h"
#include "usbbus/hub_requests.h"

namespace vostrel::anyhub {

struct ListedDevice {
    std::string location;  // its kernel name, "1-1.4"
    DeviceOnPort device;

    bool operator==(const ListedDevice&) const = default;
};

struct ListedPort {
    int number = 0;                        // from 1, the USB 2 half's numbering
    std::optional<bool> powered;           // nothing where the kernel does not show it
    std::string state;                     // the kernel's name of the port's state, "configured"
    std::optional<ListedDevice> device;    // the SuperSpeed half's when both show one

    bool operator==(const ListedPort&) const = default;
};

struct AnyHub {
    std::string location;  // hub_ports.h
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string manufacturer, product, serial;  // UTF-8 as the kernel shows them; empty when none
    int portCount = 0;
    // From the hub descriptors of its hub devices: each port on its own only
    // when every half says so. Nothing when no half could be asked.
    std::optional<usbbus::PortPowerSwitching> powerSwitching;
    std::string usb2Half, superSpeedHalf;  // kernel names of its hub devices; empty when none
    bool family = false;                   // a hub of the family's (either half)
    std::vector<ListedPort> ports;

    bool operator==(const AnyHub&) const = default;
};

// "per-port", "ganged", "none", "unknown": the listing's words.
const char* powerSwitchingName(const std::optional<usbbus::PortPowerSwitching>& mode);

}  // namespace vostrel::anyhub
