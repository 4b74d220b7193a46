// The one walk over a bus: the hubs of the family in the order that numbers
// them, each with the records of its ports, its serial number and where it
// hangs. A hub of the family shows as up to two hub devices with one serial
// number string: a USB 2.0 hub (0x2744) and, on a USB 3 link, a SuperSpeed
// hub (0x5744). Every piece of software that hands a hub index to the vendor
// library, or takes one from it, numbers hubs with this walk, so that hub k
// is the same hub for all of them.
//
// The order:
// - on a bus whose stack opens by name: host controllers by number 9 down to
//   0, then the interface list, each driver key once; a hub is the first hub
//   of its name that the stack finds. On a bus without names: each
//   controller once, in list order, and the hub on each hub port.
// - within a controller its root hub's ports ascending, depth first, at most
//   127 hubs and 7 tiers below the root hub;
// - a hub device of the family is recorded when its hub is reached and
//   answers its node information; it joins the identity of its serial
//   string, as read from the device on the parent's port, and a new serial
//   opens a new identity in the order met;
// - at most 32 hub devices of each product ID and 32 identities are recorded;
//   a hub device met again under a known serial takes its product ID's place
//   in that identity, records and all.
#pragma once

#include <vostrel/hub_api.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

inline constexpr std::uint16_t kFamilyVendorId = 0x0424;
inline constexpr std::uint16_t kFamilyUsb2ProductId = 0x2744;
inline constexpr std::uint16_t kFamilySuperSpeedProductId = 0x5744;

// Hub identities, and hub devices of each product ID, recorded at most.
inline constexpr int kMostFamilyHubs = HUB_MAX_HUBS;
inline constexpr int kFamilyHubPorts = HUB_PORTS_PER_HUB;
// Hubs nest at most five deep below a root hub on a real bus; the walk goes
// a little further and then stops, so a bus that shows a hub below itself
// cannot make it recurse without end.
inline constexpr int kDeepestHub = 7;
// A bus has at most 127 devices; hubs reached per host controller beyond
// that are not walked.
inline constexpr int kHubsPerController = 127;
// Interface list members taken at most.
inline constexpr std::size_t kControllerInterfaces = 256;

inline bool isFamilyHubDevice(std::uint16_t vendorId, std::uint16_t productId) {
    return vendorId == kFamilyVendorId &&
           (productId == kFamilyUsb2ProductId || productId == kFamilySuperSpeedProductId);
}

// One hub device of a family hub: the device on its parent's port, the hub
// it is, and what its ports 1 to 4 show.
struct FamilyHubSide {
    const Device* device = nullptr;
    const Hub* hub = nullptr;
    // Port n at [n - 1]. Indexes are left 0; a port the hub does not have
    // is all zero.
    std::array<PortInfoRecord, kFamilyHubPorts> ports{};
    // The serial number string of the working device on port n, at [n - 1];
    // empty where it names none. No record has room for it.
    std::array<std::u16string, kFamilyHubPorts> deviceSerials;

    explicit operator bool() const { return hub != nullptr; }
};

struct FamilyHub {
    std::u16string serial;
    // Where the hub hangs: the kernel's name of its USB 2.0 hub device where
    // the bus has it ("1-3.2"), else the walk's position of its host
    // controller and the port path below the root hub ("0-1.4"); its
    // SuperSpeed hub device's when the USB 2.0 one was not recorded.
    std::string location;
    FamilyHubSide usb2;        // the 0x2744 hub device, when recorded
    FamilyHubSide superSpeed;  // the 0x5744 hub device, when recorded
};

// Hub index k is element k. Pointers are into `bus`.
std::vector<FamilyHub> walkFamilyHubs(const Bus& bus);

// The controllers the walk takes, in its order (see above), each once.
std::vector<const Controller*> controllersInWalkOrder(const Bus& bus);

// The side whose record a hub shows for port index `portIndex` (0 to 3):
// the USB 2.0 hub device's when it reports anything there, else the
// SuperSpeed one's; null when neither does.
const FamilyHubSide* shownSide(const FamilyHub& hub, int portIndex);

// String `index` of a working device in the first language of its list in
// which it can be read, as many units as the descriptor holds. Nothing for a
// device that is not connected, whose first configuration descriptor cannot
// be read whole, that refuses its language list, or for index 0.
std::optional<std::u16string> deviceString(const Device& device, std::uint8_t index);

}  // namespace vostrel::usbbus
