// One topology scan: every host controller, its root hub and every hub below
// it, recording the four downstream ports of every hub device of the family.
// Runs on the caller's thread and takes no lock; callers hold the general
// lock, which keeps two scans from sharing the controller list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "usbbus/usb_ioctl.h"
#include "scan/scan_buffer.h"
#include "scan/usb_device.h"
#include "usbbus/family_hubs.h"

namespace vostrel {

inline constexpr int kMaxHubDepth = usbbus::kDeepestHub;
inline constexpr int kMaxHubsPerController = usbbus::kHubsPerController;
inline constexpr std::uint32_t kMaxControllerInterfaces = usbbus::kControllerInterfaces;

// Where one host controller's walk is.
struct ScanWalk {
    platform::UsbStack& stack;
    ScanBuffer& buffer;
    int controller = 0;               // its position among the controllers scanned
    std::vector<std::uint32_t> ports;  // port path from the root hub to the hub being scanned
    int hubsLeft = kMaxHubsPerController;
};

// Scans the whole tree of `stack` into `buffer`, which the caller passes
// zeroed.
void ScanUsbTree(platform::UsbStack& stack, ScanBuffer& buffer);

// Scans one opened host controller unless it was scanned already in this
// scan.
void ScanHostController(const UsbDevice& controller, ScanBuffer& buffer);

// Scans the hub with symbolic name `hubName` at nesting depth `depth` (the
// root hub is 0). `parent` is the connection information of the port the
// hub hangs on and `serial` the serial string read there; both are absent
// for a root hub. True when the hub opened and its node information was
// read.
bool ScanHub(ScanWalk& walk, const std::u16string& hubName, const usb::USB_NODE_CONNECTION_INFORMATION_EX* parent,
             const std::u16string* serial, int depth);

// Walks ports 1 to `portCount` of an opened hub, descending into hubs.
void ScanHubPorts(ScanWalk& walk, const UsbDevice& hub, std::uint32_t portCount, int depth);

// The identity whose serial string equals `serial`, or -1.
int FindHubIdentity(const ScanBuffer& buffer, const std::u16string& serial);

}  // namespace vostrel
