#include "scan/usb_tree_scan.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "frame/text.h"
#include "platform/usb_stack.h"
#include "scan/controller_list.h"
#include "scan/string_list.h"
#include "scan/usb_queries.h"

namespace vostrel {
namespace {

using namespace usb;

// Room for an interface's device path: the longest path the system allows.
constexpr std::uint32_t kInterfacePathUnits = 32768;

const std::u16string kDevicePrefix = u"\\\\.\\";

// The kernel's name of a device in a hub name the host's Linux stack gives,
// "USB#" and then "<bus>-<port>[.<port>...]"; empty for any other name.
std::string kernelDeviceName(const std::u16string& hubName) {
    const std::u16string_view prefix = u"USB#";
    if (hubName.size() <= prefix.size() || std::u16string_view(hubName).substr(0, prefix.size()) != prefix) return {};
    std::string name;
    bool dash = false;
    bool digitBefore = false;
    for (const char16_t unit : std::u16string_view(hubName).substr(prefix.size())) {
        if (unit >= u'0' && unit <= u'9') {
            digitBefore = true;
        } else if ((unit == u'-' && !dash) || (unit == u'.' && dash)) {
            if (!digitBefore) return {};
            dash = true;
            digitBefore = false;
        } else {
            return {};
        }
        name.push_back(static_cast<char>(unit));
    }
    return dash && digitBefore ? name : std::string();
}

// Where the hub being walked hangs, as kLocationChars describes.
std::string locationOf(const ScanWalk& walk, const std::u16string& hubName) {
    std::string location = kernelDeviceName(hubName);
    if (!location.empty()) return location;
    location = std::to_string(walk.controller);
    char separator = '-';
    for (const std::uint32_t port : walk.ports) {
        location += separator + std::to_string(port);
        separator = '.';
    }
    return location;
}

// Keeps the location of identity `k`: the first hub device met for it, and
// the USB 2.0 hub device's in place of a SuperSpeed one's.
void locateIdentity(ScanBuffer& buffer, int k, bool superSpeed, const std::string& location) {
    const bool known = buffer.locations[k][0] != '\0';
    if (superSpeed ? known : (known && buffer.usb2Located[k])) return;
    const std::size_t n = std::min(location.size(), kLocationChars - 1);
    std::memcpy(buffer.locations[k], location.data(), n);
    buffer.locations[k][n] = '\0';
    buffer.usb2Located[k] = !superSpeed;
}

// Records the ports of a family hub device under the identity of `serial`.
// Hub devices beyond 32 of one product ID, and serials beyond 32 distinct
// ones, are left out: the tables have no room for them.
void recordFamilyHub(ScanBuffer& buffer, const UsbDevice& hub, std::uint16_t productId,
                     const std::u16string& serial, const std::string& location) {
    const bool superSpeed = productId == kSuperSpeedHubProductId;
    std::uint8_t& count = superSpeed ? buffer.count5744 : buffer.count2744;
    if (count >= kMaxHubs) return;
    int k = FindHubIdentity(buffer, serial);
    if (k < 0) {
        if (buffer.identityCount >= kMaxHubs) return;
        k = buffer.identityCount++;
        copyText(buffer.serials[k], serial.c_str());
    }
    locateIdentity(buffer, k, superSpeed, location);
    PortInfoRecord* table = superSpeed ? buffer.ports5744 : buffer.ports2744;
    std::u16string* serials = nullptr;
    if (buffer.deviceSerials != nullptr) {
        serials = superSpeed ? buffer.deviceSerials->ports5744 : buffer.deviceSerials->ports2744;
    }
    for (std::uint32_t port = 1; port <= kPortsPerHub; ++port) {
        // A hub met again under the same serial replaces the earlier one's
        // records whole, also where its query fails.
        const int slot = k * kPortsPerHub + static_cast<int>(port - 1);
        table[slot] = PortInfoRecord{};
        std::u16string* serial = serials != nullptr ? &serials[slot] : nullptr;
        if (serial != nullptr) serial->clear();
        QueryPortRecord(hub, port, table[slot], serial);
    }
    ++count;
}

// The serial number string of a family hub on a port, up to its first NUL;
// empty when the device names none or it could not be read.
std::u16string familyHubSerial(const USB_DEVICE_DESCRIPTOR& device, const std::optional<StringList>& strings) {
    if (!isFamilyHub(device.idVendor, device.idProduct) || !strings || device.iSerialNumber == 0) return {};
    const StringEntry* entry = findString(*strings, device.iSerialNumber);
    if (entry == nullptr) return {};
    return entry->units.substr(0, entry->units.find(u'\0'));
}

}  // namespace

void ScanUsbTree(platform::UsbStack& stack, ScanBuffer& buffer) {
    ClearControllerList();
    try {
        for (int n = 9; n >= 0; --n) {
            const UsbDevice controller(stack, kDevicePrefix + u"HCD" + static_cast<char16_t>(u'0' + n));
            if (controller.isOpen()) ScanHostController(controller, buffer);
        }
        std::vector<char16_t> path(kInterfacePathUnits);
        for (std::uint32_t index = 0; index < kMaxControllerInterfaces; ++index) {
            std::fill(path.begin(), path.end(), u'\0');
            if (stack.hostControllerInterface(index, path.data(), kInterfacePathUnits) != 1) break;
            path.back() = u'\0';
            const UsbDevice controller(stack, std::u16string(path.data()));
            if (controller.isOpen()) ScanHostController(controller, buffer);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the scan ends with what it has found.
    }
}

void ScanHostController(const UsbDevice& controller, ScanBuffer& buffer) {
    auto key = QueryControllerKey(controller);
    if (!key || controllerListed(*key)) return;
    const int position = static_cast<int>(listedControllerCount());
    appendController(std::move(*key));
    if (const auto rootHub = QueryRootHubName(controller)) {
        ScanWalk walk{controller.stack(), buffer, position, {}};
        ScanHub(walk, *rootHub, nullptr, nullptr, 0);
    }
}

bool ScanHub(ScanWalk& walk, const std::u16string& hubName, const USB_NODE_CONNECTION_INFORMATION_EX* parent,
             const std::u16string* serial, int depth) {
    if (walk.hubsLeft <= 0) return false;
    --walk.hubsLeft;
    const UsbDevice hub(walk.stack, kDevicePrefix + hubName);
    if (!hub.isOpen()) return false;
    USB_NODE_INFORMATION node{};
    if (!hub.control(IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node)) return false;

    if (parent != nullptr && isFamilyHub(parent->DeviceDescriptor.idVendor, parent->DeviceDescriptor.idProduct)) {
        recordFamilyHub(walk.buffer, hub, parent->DeviceDescriptor.idProduct, serial ? *serial : u"",
                        locationOf(walk, hubName));
    }
    ScanHubPorts(walk, hub, node.u.HubInformation.HubDescriptor.bNumberOfPorts, depth);
    return true;
}

void ScanHubPorts(ScanWalk& walk, const UsbDevice& hub, std::uint32_t portCount, int depth) {
    for (std::uint32_t port = 1; port <= portCount; ++port) {
        const auto connection = QueryConnection(hub, port);
        if (!connection) continue;
        const USB_DEVICE_DESCRIPTOR& device = connection->DeviceDescriptor;
        const std::optional<StringList> strings = ReadStringsOfWorkingDevice(hub, port, *connection);
        const std::u16string serial = familyHubSerial(device, strings);

        if (connection->DeviceIsHub && depth < kMaxHubDepth) {
            if (const auto name = QueryDownstreamHubName(hub, port)) {
                walk.ports.push_back(port);
                ScanHub(walk, *name, &*connection, &serial, depth + 1);
                walk.ports.pop_back();
            }
        }
    }
}

int FindHubIdentity(const ScanBuffer& buffer, const std::u16string& serial) {
    for (int k = 0; k < std::min<int>(buffer.identityCount, kMaxHubs); ++k) {
        const std::u16string_view slot(buffer.serials[k], textLength(buffer.serials[k]));
        if (slot == serial) return k;
    }
    return -1;
}

}  // namespace vostrel
