// The kernel's hubs (sysfs) as listed hubs, each with the hub devices that
// switch its ports. Reads attribute files and links only; no request goes to
// a device.
#pragma once

#include <string>
#include <vector>

#include "any_hub.h"
#include "family_hub_list.h"
#include "power_switching_memo.h"

namespace vostrel::anyhub {

struct KernelHub {
    AnyHub listed;                       // powerSwitching left unknown
    std::vector<native::HubSide> sides;  // the USB 2 half first
    std::vector<HubDeviceInstance> instances;  // each side's, in the same order
    // Listed port k's number on each side, at [k - 1][side]; 0 where that
    // side has no port paired with it.
    std::vector<std::vector<int>> sidePorts;

    // Whether `name` is its location or the kernel name of one of its halves.
    bool isNamed(const std::string& name) const {
        return name == listed.location || name == listed.usb2Half || name == listed.superSpeedHalf;
    }
};

// Every hub under `sysfs`/bus/usb/devices, in the kernel's name order: root
// hubs and the hub devices of the hub class that are configured and have
// ports.
std::vector<KernelHub> readKernelHubs(const std::string& sysfs = "/sys");

}  // namespace vostrel::anyhub
