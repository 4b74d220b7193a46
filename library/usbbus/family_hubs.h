// The hubs of the family on a bus model, numbered as the topology scan
// numbers them. A hub of the family shows as up to two hub devices with one
// serial number string: a USB 2.0 hub (0x2744) and, on a USB 3 link, a
// SuperSpeed hub (0x5744). Every piece of software that hands a hub index to
// the vendor library, or takes one from it, numbers hubs with this function,
// so that hub k is the same hub for all of them.
//
// The scan's order, as it walks the USB stack's answers:
// - host controllers by number 9 down to 0, then the interface list, each
//   driver key once; within a controller its root hub's ports ascending, depth
//   first, at most 127 hubs and 7 tiers below the root hub;
// - a hub device of the family is recorded when the scan opens it (the hub of
//   that name that the stack finds first) and it answers its node
//   information; it joins the identity of its serial string, as the scan reads
//   it from the device on the parent's port, and a new serial opens a new
//   identity in the order met;
// - at most 32 hub devices of each product ID and 32 identities are recorded;
//   a hub device met again under a known serial takes its product ID's place
//   in that identity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

inline constexpr std::uint16_t kFamilyVendorId = 0x0424;
inline constexpr std::uint16_t kFamilyUsb2ProductId = 0x2744;
inline constexpr std::uint16_t kFamilySuperSpeedProductId = 0x5744;

inline bool isFamilyHubDevice(std::uint16_t vendorId, std::uint16_t productId) {
    return vendorId == kFamilyVendorId &&
           (productId == kFamilyUsb2ProductId || productId == kFamilySuperSpeedProductId);
}

// One hub device of a family hub: the device on its parent's port and the
// hub the scan opened for it.
struct FamilyHubSide {
    const Device* device = nullptr;
    const Hub* hub = nullptr;

    explicit operator bool() const { return hub != nullptr; }
};

struct FamilyHub {
    std::u16string serial;
    FamilyHubSide usb2;        // the 0x2744 hub device, when recorded
    FamilyHubSide superSpeed;  // the 0x5744 hub device, when recorded
};

// Hub index k is element k. Pointers are into `bus`.
std::vector<FamilyHub> familyHubsInScanOrder(const Bus& bus);

// The serial number string of a family hub device as the scan reads it: the
// string in the first language of the device's list in which it can be read,
// up to its first NUL. Empty for a device that is no working family hub
// device, names no serial string or whose strings cannot be read.
std::u16string familyHubSerial(const Device& device);

}  // namespace vostrel::usbbus
