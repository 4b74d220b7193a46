// The hubs of the family on the host's bus, numbered as the hub library's
// scan numbers them (usbbus/family_hubs.h), each with where the kernel shows
// its hub devices: their sysfs folders, their ports' folders and their
// usbfs nodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vostrel::platform {
class SysfsUsbReader;
}

namespace vostrel::native {

// One hub device of a hub of the family, as one reading of the bus found it.
struct HubSide {
    bool superSpeed = false;         // the 0x5744 hub device
    std::string device;              // its sysfs folder
    std::vector<std::string> ports;  // port n's folder at [n - 1]
    std::uint32_t bus = 0;
    std::uint16_t address = 0;       // its device number (`devnum`)
    std::uint64_t identity = 0;      // its folder's (platform::sysfsFolderIdentity)
};

struct NativeHub {
    std::u16string serial;
    std::vector<HubSide> sides;  // the USB 2.0 hub device first
};

// Reads the whole bus under `sysfs`; hub index k is element k.
std::vector<NativeHub> readFamilyHubs(const std::string& sysfs = "/sys");
// The same through `reader`, which reads only what can have changed since
// its last reading.
std::vector<NativeHub> readFamilyHubs(platform::SysfsUsbReader& reader);

// One line per hub: its index, its serial number in quotes, and the kernel's
// names of its hub devices, e.g. `0 "A1B2" 1-1 2-1`. Characters that would
// break the line or the quotes are shown as '?'.
std::string hubListText(const std::vector<NativeHub>& hubs);

}  // namespace vostrel::native
