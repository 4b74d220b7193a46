// The power of the downstream ports of one hub device, where the kernel lets
// a program switch it:
// - kernels from 6.0 on: the port folder's `disable` attribute ("1": the
//   port is disabled and, on a hub that switches port power, unpowered);
//   the kernel's hub driver does the switching and keeps track of it. The
//   kernel takes the attribute on any hub, but on one that switches its
//   ports' power all together or not at all the port only loses its device
//   and keeps its power, so a hub's descriptor is asked first (as below),
//   and the attribute is read back after it was written;
// - older kernels: the hub class requests SET_FEATURE and CLEAR_FEATURE
//   (PORT_POWER) through the hub's usbfs node, on hubs whose descriptor says
//   that they switch each port's power by itself. The hub driver would power
//   an empty port again at its next look at the port, so a port switched off
//   this way is claimed from the driver (USBDEVFS_CLAIM_PORT) and its node
//   kept open until the port is switched on again: the claim ends with the
//   process at the latest, after which the driver may power the port again.
// Every function returns a last-error code (<vostrel/pt2lib_errors.h>).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "family_hub_list.h"
#include "platform/usbfs.h"

namespace vostrel::native {

// Whether the hub device is still the one that was read: its folder there,
// the same folder, with the same device number. PT2_OK, or
// PT2_ERROR_HUB_GONE.
std::uint32_t checkPresent(const HubSide& side);

class PortPower {
public:
    // Switches port `port` (from 1) of `side` on or off.
    std::uint32_t set(const HubSide& side, int port, bool on);

    // Whether port `port` of `side` is powered (enabled, on the attribute).
    std::uint32_t get(const HubSide& side, int port, bool& powered);

    // How `side`'s hub descriptor says its ports' power is switched: PT2_OK
    // with `mode` set, asked once per device instance; else why it could not
    // be asked (PT2_ERROR_NO_PORT_POWER_CONTROL also for an answer that is
    // no hub descriptor, which is asked again next time). `device`: its node,
    // when open already.
    std::uint32_t powerSwitching(const HubSide& side, usbbus::PortPowerSwitching& mode,
                                 platform::UsbfsDevice* device = nullptr);

    // Resets the hub device through its usbfs node.
    std::uint32_t reset(const HubSide& side);

    // Forgets what `side`'s descriptor said, so that the next switch asks
    // again: a hub opened anew is looked at anew, since a device folder's
    // inode number may come back for another device where the file system
    // reuses inode numbers.
    void forget(const HubSide& side) { switching_.erase(side.device); }

private:
    // A node kept open for the ports claimed through it.
    struct Claim {
        std::unique_ptr<platform::UsbfsDevice> device;
        std::set<unsigned> ports;
    };

    // What a hub device's descriptor says of its ports' power, asked once
    // per device instance.
    struct Switching {
        std::uint64_t identity = 0;
        std::uint16_t address = 0;
        usbbus::PortPowerSwitching mode = usbbus::PortPowerSwitching::None;
    };

    std::uint32_t setThroughAttribute(const HubSide& side, const std::string& attribute, bool on);
    std::uint32_t setThroughUsbfs(const HubSide& side, unsigned port, bool on);
    // PT2_OK when the hub device switches each port's power by itself,
    // PT2_ERROR_NO_PORT_POWER_CONTROL when its descriptor says otherwise,
    // else why it could not be asked. `device`: its node, when open already.
    std::uint32_t checkSwitchesEachPort(const HubSide& side, platform::UsbfsDevice* device = nullptr);
    std::uint32_t getThroughUsbfs(const HubSide& side, unsigned port, bool& powered);
    // The side's node: the one kept open for claims, else opened into `opened`.
    std::uint32_t openNode(const HubSide& side, std::unique_ptr<platform::UsbfsDevice>& opened,
                           platform::UsbfsDevice*& device);

    std::map<std::string, Claim> claims_;         // by node
    std::map<std::string, Switching> switching_;  // by device folder
};

}  // namespace vostrel::native
