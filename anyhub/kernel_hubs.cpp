#include "kernel_hubs.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>

#include "backends/sysfs_usb.h"
#include "usbbus/family_hubs.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::anyhub {
namespace {

using platform::IfMissing;

// Hub devices whose port count the kernel shows beyond this are not read
// further: a hub has at most 255 ports.
constexpr std::uint32_t kMostPorts = 255;
// The lowest `speed` of a SuperSpeed link, in Mbit/s.
constexpr std::uint32_t kSuperSpeedMbits = 5000;

// An attribute's text without the kernel's closing newline, cut at a NUL;
// nothing when it cannot be read (a missing one is expected: older kernels
// and devices without strings lack some).
std::optional<std::string> attribute(const std::string& path) {
    std::error_code error;
    auto text = platform::readSysfsAttribute(path, error, IfMissing::Expected);
    if (!text) return std::nullopt;
    text->resize(std::min(text->find('\0'), text->size()));
    if (!text->empty() && text->back() == '\n') text->pop_back();
    return text;
}

std::optional<std::uint32_t> decimal(const std::string& path, std::uint32_t largest) {
    const auto text = attribute(path);
    if (!text) return std::nullopt;
    return usbbus::parseDecimal(*text, largest);
}

std::optional<std::uint16_t> hexId(const std::string& path) {
    const auto text = attribute(path);
    if (!text || text->size() != 4) return std::nullopt;
    std::uint16_t value = 0;
    for (const char c : *text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F'  ? c - 'A' + 10
                                                : -1;
        if (digit < 0) return std::nullopt;
        value = static_cast<std::uint16_t>(value << 4 | digit);
    }
    return value;
}

// What a hub device's own folder and its ports' folders show.
struct PortFolder {
    std::string path;
    std::optional<bool> enabled;  // from `disable`
    std::optional<std::string> state;
    std::optional<std::pair<std::string, int>> peer;  // the peer port's hub device and number
    std::optional<ListedDevice> device;
};

struct HubDevice {
    std::string name;
    bool root = false;
    bool superSpeed = false;
    native::HubSide side;
    HubDeviceInstance instance;
    std::uint16_t vendorId = 0, productId = 0;
    std::string manufacturer, product, serial;
    std::vector<PortFolder> ports;
};

// "2-1-port3" (or "usb2-port3"): the hub device "2-1" and port 3, as the
// kernel names port folders.
std::optional<std::pair<std::string, int>> portOfFolderName(std::string_view name) {
    const std::size_t mark = name.rfind("-port");
    if (mark == std::string_view::npos || mark == 0) return std::nullopt;
    const auto number = usbbus::parseDecimal(name.substr(mark + 5), kMostPorts);
    if (!number || *number == 0) return std::nullopt;
    return std::pair{std::string(name.substr(0, mark)), static_cast<int>(*number)};
}

// A device folder as read once: what a port shows of the device, and
// whether it is a hub device to read further.
struct DeviceFolder {
    ListedDevice listed;
    std::uint32_t configuration = 0;  // bConfigurationValue; 0 while none is chosen
    bool hub = false;
};

std::optional<DeviceFolder> readDeviceFolder(const std::string& devices, const std::string& name) {
    const std::string folder = devices + "/" + name;
    const auto vendorId = hexId(folder + "/idVendor");
    const auto productId = hexId(folder + "/idProduct");
    if (!vendorId || !productId) return std::nullopt;
    DeviceFolder found;
    found.listed.location = name;
    DeviceOnPort& device = found.listed.device;
    device.vendorId = *vendorId;
    device.productId = *productId;
    found.configuration = decimal(folder + "/bConfigurationValue", 0xFF).value_or(0);
    device.configured = found.configuration != 0;
    device.manufacturer = attribute(folder + "/manufacturer").value_or("");
    device.product = attribute(folder + "/product").value_or("");
    device.serial = attribute(folder + "/serial").value_or("");
    found.hub = attribute(folder + "/bDeviceClass") == "09";
    return found;
}

// The bus number that starts a device's kernel name ("usb2", "2-1.4").
std::optional<std::uint32_t> busOfName(std::string_view name) {
    if (name.starts_with("usb")) return usbbus::parseDecimal(name.substr(3), 0xFFFF);
    return usbbus::parseDecimal(name.substr(0, name.find('-')), 0xFFFF);
}

// The hub device `name`, configured (as `device` shows it); nothing when it
// has no ports (its hub driver not bound yet). The devices on its ports are
// taken from `all`.
std::optional<HubDevice> readHubDevice(const std::string& devices, const DeviceFolder& device,
                                       const std::map<std::string, DeviceFolder>& all) {
    const std::string& name = device.listed.location;
    const std::string folder = devices + "/" + name;
    const auto ports = decimal(folder + "/maxchild", kMostPorts);
    const auto address = decimal(folder + "/devnum", 0xFFFF);
    const auto bus = busOfName(name);
    if (!ports || *ports == 0 || !address || !bus) return std::nullopt;
    const auto made = platform::sysfsFolderInstance(folder);
    if (!made) return std::nullopt;
    HubDevice hub;
    hub.name = name;
    hub.root = name.starts_with("usb");
    hub.superSpeed = decimal(folder + "/speed", 0xFFFFFF).value_or(0) >= kSuperSpeedMbits;
    hub.vendorId = device.listed.device.vendorId;
    hub.productId = device.listed.device.productId;
    hub.manufacturer = device.listed.device.manufacturer;
    hub.product = device.listed.device.product;
    hub.serial = device.listed.device.serial;
    hub.side = {hub.superSpeed, folder, {}, *bus, static_cast<std::uint16_t>(*address), made->identity};
    hub.instance = {name, *bus, static_cast<std::uint16_t>(*address), made->identity, made->madeNs};

    // The hub's interface in its configuration; a root hub's is named after
    // its bus, "1-0:1.0".
    const std::string interface =
        (hub.root ? std::to_string(*bus) + "-0" : name) + ":" + std::to_string(device.configuration) + ".0";
    // Only a USB 2 hub device's peers are needed, to find its SuperSpeed half.
    const bool needsPeers = !hub.root && !hub.superSpeed;
    for (int port = 1; port <= static_cast<int>(*ports); ++port) {
        PortFolder found;
        found.path = folder + "/" + interface + "/" + name + "-port" + std::to_string(port);
        if (const auto disable = attribute(found.path + "/disable"); disable == "0" || disable == "1") {
            found.enabled = *disable == "0";
        }
        found.state = attribute(found.path + "/state");
        if (needsPeers) {
            if (const auto peer = platform::readSysfsLink(found.path + "/peer")) {
                const std::size_t slash = peer->rfind('/');
                found.peer = portOfFolderName(slash == std::string::npos ? *peer : peer->substr(slash + 1));
            }
        }
        const std::string child = hub.root ? std::to_string(*bus) + "-" + std::to_string(port)
                                           : name + "." + std::to_string(port);
        if (const auto on = all.find(child); on != all.end()) found.device = on->second.listed;
        hub.side.ports.push_back(found.path);
        hub.ports.push_back(std::move(found));
    }
    return hub;
}

// The state the kernel shows; where it shows none (before 6.5), the one the
// device on the port is in, as far as its folder tells.
std::string stateOf(const PortFolder& port) {
    if (port.state) return *port.state;
    if (!port.device) return "not attached";
    return port.device->device.configured ? "configured" : "addressed";
}

// A listed port from the port folders of the hub's halves (the USB 2 one
// first, either missing): powered when either half's port is, the state of
// a half that shows something attached and the device there, the
// SuperSpeed half's first.
ListedPort listedPort(int number, const std::vector<const PortFolder*>& halves) {
    ListedPort port;
    port.number = number;
    bool anyOff = false;
    for (const PortFolder* half : halves) {
        if (half == nullptr || !half->enabled) continue;
        if (*half->enabled) port.powered = true;
        anyOff = anyOff || !*half->enabled;
    }
    if (!port.powered && anyOff) port.powered = false;
    for (auto half = halves.rbegin(); half != halves.rend(); ++half) {
        if (*half == nullptr) continue;
        const std::string state = stateOf(**half);
        if (port.state.empty() || (port.state == "not attached" && state != "not attached")) port.state = state;
        if (!port.device && (*half)->device) port.device = (*half)->device;
    }
    return port;
}

KernelHub kernelHub(const HubDevice& first, const HubDevice* superSpeed) {
    KernelHub hub;
    AnyHub& listed = hub.listed;
    listed.location = first.name;
    listed.vendorId = first.vendorId;
    listed.productId = first.productId;
    listed.manufacturer = first.manufacturer;
    listed.product = first.product;
    listed.serial = !first.serial.empty() || superSpeed == nullptr ? first.serial : superSpeed->serial;
    (first.superSpeed ? listed.superSpeedHalf : listed.usb2Half) = first.name;
    listed.family = usbbus::isFamilyHubDevice(first.vendorId, first.productId);
    hub.sides.push_back(first.side);
    hub.instances.push_back(first.instance);
    if (superSpeed != nullptr) {
        listed.superSpeedHalf = superSpeed->name;
        listed.family = listed.family || usbbus::isFamilyHubDevice(superSpeed->vendorId, superSpeed->productId);
        hub.sides.push_back(superSpeed->side);
        hub.instances.push_back(superSpeed->instance);
    }
    listed.portCount = static_cast<int>(first.ports.size());
    for (std::size_t k = 0; k < first.ports.size(); ++k) {
        const PortFolder& own = first.ports[k];
        const int number = static_cast<int>(k) + 1;
        const PortFolder* peer = nullptr;
        if (superSpeed != nullptr && own.peer && own.peer->first == superSpeed->name &&
            own.peer->second <= static_cast<int>(superSpeed->ports.size())) {
            peer = &superSpeed->ports[static_cast<std::size_t>(own.peer->second - 1)];
        }
        listed.ports.push_back(listedPort(number, {&own, peer}));
        hub.sidePorts.push_back(superSpeed == nullptr ? std::vector<int>{number}
                                                      : std::vector<int>{number, peer ? own.peer->second : 0});
    }
    return hub;
}

// Kernel names in bus order, each root hub before the devices of its bus,
// then by the port numbers of the path: "usb1", "1-1", "1-1.2", "1-2", "usb2".
auto nameOrder(const std::string& name) {
    std::uint32_t bus = 0;
    std::vector<std::uint32_t> path;
    if (name.starts_with("usb")) {
        bus = usbbus::parseDecimal(std::string_view(name).substr(3), 0xFFFF).value_or(0);
    } else {
        std::string_view rest = name;
        const std::size_t dash = rest.find('-');
        bus = usbbus::parseDecimal(rest.substr(0, dash), 0xFFFF).value_or(0);
        rest = dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
        while (!rest.empty()) {
            const std::size_t dot = rest.find('.');
            path.push_back(usbbus::parseDecimal(rest.substr(0, dot), kMostPorts).value_or(0));
            rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
        }
    }
    return std::tuple(bus, std::move(path), name);
}

}  // namespace

std::vector<KernelHub> readKernelHubs(const std::string& sysfs) {
    const std::string devices = sysfs + "/bus/usb/devices";
    std::map<std::string, DeviceFolder> all;
    for (const std::string& name : platform::listSysfsFolder(devices).value_or(std::vector<std::string>{})) {
        // Interfaces ("1-1:1.0") are no devices.
        if (name.find(':') != std::string::npos) continue;
        if (auto device = readDeviceFolder(devices, name)) all.emplace(name, std::move(*device));
    }
    std::map<std::string, HubDevice> hubDevices;
    for (const auto& [name, device] : all) {
        if (!device.hub || !device.listed.device.configured) continue;
        if (auto hub = readHubDevice(devices, device, all)) hubDevices.emplace(name, std::move(*hub));
    }

    // A USB 2 hub device's SuperSpeed half: the hub device its ports' peers
    // are on. Root hubs stay apart: their ports pair in no fixed way.
    std::map<std::string, const HubDevice*> superSpeedHalf;
    std::map<std::string, bool> paired;
    for (const auto& [name, hub] : hubDevices) {
        if (hub.root || hub.superSpeed) continue;
        for (const PortFolder& port : hub.ports) {
            if (!port.peer) continue;
            const auto partner = hubDevices.find(port.peer->first);
            if (partner == hubDevices.end() || partner->second.root || !partner->second.superSpeed ||
                paired[partner->first]) {
                continue;
            }
            superSpeedHalf[name] = &partner->second;
            paired[partner->first] = true;
            break;
        }
    }

    std::vector<KernelHub> hubs;
    for (const auto& [name, hub] : hubDevices) {
        if (paired[name]) continue;
        const auto half = superSpeedHalf.find(name);
        hubs.push_back(kernelHub(hub, half == superSpeedHalf.end() ? nullptr : half->second));
    }
    std::ranges::sort(hubs, [](const KernelHub& a, const KernelHub& b) {
        return nameOrder(a.listed.location) < nameOrder(b.listed.location);
    });
    return hubs;
}

}  // namespace vostrel::anyhub
