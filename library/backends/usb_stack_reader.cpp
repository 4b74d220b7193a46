#include "backends/usb_stack_reader.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backends/usb_device.h"
#include "backends/usb_stack_questions.h"
#include "usbbus/family_hubs.h"

namespace vostrel::backends {
namespace {

using namespace usb;
using usbbus::Bus;
using usbbus::Bytes;
using usbbus::Controller;
using usbbus::Device;
using usbbus::Hub;

using usbbus::kDeepestHub;
using usbbus::kHubsPerController;
constexpr std::uint32_t kInterfaceMembers = usbbus::kControllerInterfaces;
constexpr std::uint32_t kInterfacePathUnits = 32768;  // the longest device path the system allows
constexpr std::uint32_t kRecordedPorts = usbbus::kFamilyHubPorts;
constexpr std::uint32_t kStringRoom = 255;             // the largest descriptor a device can send
constexpr std::uint8_t kSuperSpeedHubDescriptorType = 0x2A;

const std::u16string kDevicePrefix = u"\\\\.\\";

std::u16string kept(std::u16string name) { return name.empty() ? std::u16string(1, u'\0') : name; }

// Whether answer bytes are a whole string descriptor of even length, as
// long as its bLength says.
bool readable(const std::optional<Bytes>& bytes) {
    return bytes && bytes->size() >= 2 && (*bytes)[1] == USB_STRING_DESCRIPTOR_TYPE && (*bytes)[0] == bytes->size() &&
           bytes->size() % 2 == 0;
}

// The port's connection, from the extended query or else the older one, as
// a device; `older` tells which answered.
std::optional<Device> askConnection(const UsbDevice& hub, std::uint32_t port, bool& older) {
    USB_NODE_CONNECTION_INFORMATION_EX info{};
    info.ConnectionIndex = port;
    older = !hub.control(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info, sizeof info);
    if (older) {
        USB_NODE_CONNECTION_INFORMATION answer{};
        answer.ConnectionIndex = port;
        if (!hub.control(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &answer, sizeof answer, &answer, sizeof answer)) {
            return std::nullopt;
        }
        static_assert(sizeof answer == sizeof info && offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed) ==
                                                          offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed));
        std::memcpy(&info, &answer, sizeof info);
        info.Speed = answer.LowSpeed ? UsbLowSpeed : UsbFullSpeed;
    }
    Device device;
    device.connectionStatus = info.ConnectionStatus;
    device.descriptor = info.DeviceDescriptor;
    device.configurationValue = info.CurrentConfigurationValue;
    device.speed = info.Speed;
    device.address = info.DeviceAddress;
    device.isHub = info.DeviceIsHub != 0;
    return device;
}

// String descriptor `index` in `language` of the device on `port`: the bytes
// after the request header, as many as the stack says it returned; nothing
// when the request failed.
std::optional<Bytes> askString(const UsbDevice& hub, std::uint32_t port, std::uint8_t index, std::uint16_t language) {
    constexpr std::uint32_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
    std::uint8_t area[kHeader + kStringRoom] = {};
    USB_DESCRIPTOR_REQUEST request{};
    request.ConnectionIndex = port;
    request.SetupPacket.wValue = static_cast<std::uint16_t>(USB_STRING_DESCRIPTOR_TYPE << 8 | index);
    request.SetupPacket.wIndex = language;
    request.SetupPacket.wLength = kStringRoom;
    std::memcpy(area, &request, sizeof request);
    const auto returned = hub.control(IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, area, sizeof area, area,
                                      sizeof area);
    if (!returned) return std::nullopt;
    if (*returned <= kHeader) return Bytes{};
    return Bytes(area + kHeader, area + *returned);
}

// A hub of the bus, opened when it is first asked something; a stack sees
// no question on a handle that did not open.
class OpenedHub {
public:
    OpenedHub(platform::UsbStack& stack, std::u16string_view name) : stack_(stack), name_(name) {}

    // Null when the hub does not open.
    const UsbDevice* device() {
        if (!device_) device_.emplace(stack_, kDevicePrefix + std::u16string(name_));
        return device_->isOpen() ? &*device_ : nullptr;
    }

private:
    platform::UsbStack& stack_;
    std::u16string_view name_;
    std::optional<UsbDevice> device_;
};

class Reader {
public:
    explicit Reader(platform::UsbStack& stack) : stack_(stack) {}

    std::shared_ptr<const Bus> run() {
        try {
            for (int number = 9; number >= 0; --number) {
                const UsbDevice opened(stack_, kDevicePrefix + u"HCD" + static_cast<char16_t>(u'0' + number));
                if (!opened.isOpen()) continue;
                Controller& controller = bus_->controllers.emplace_back();
                controller.number = number;
                readController(opened, controller);
            }
            readInterfaceList();
        } catch (const std::bad_alloc&) {
            // Out of memory: the bus holds what was read.
        }
        return bus_;
    }

private:
    // What has been asked of one device on a port.
    struct DeviceQuestions {
        bool configuration = false;
        bool languages = false;
        std::set<std::uint8_t> strings;  // indexes asked in their languages
        bool name = false;
        std::optional<std::u16string> hubName;
    };
    // What has been asked of one hub.
    struct HubQuestions {
        bool node = false;
        std::set<std::uint32_t> ports;
        bool extendedAnswered = false;
        bool olderAnswered = false;
    };

    void readInterfaceList() {
        std::vector<char16_t> path(kInterfacePathUnits);
        for (std::uint32_t index = 0; index < kInterfaceMembers; ++index) {
            std::fill(path.begin(), path.end(), u'\0');
            const int found = stack_.hostControllerInterface(index, path.data(), kInterfacePathUnits);
            if (found == -1 && index == 0) bus_->interfaceListAvailable = false;
            if (found != 1) return;
            path.back() = u'\0';
            const std::u16string member(path.data());
            // A controller always has a path; an empty one cannot be listed.
            if (member.empty()) continue;
            Controller& controller = bus_->controllers.emplace_back();
            controller.interfacePath = member;
            const UsbDevice opened(stack_, member);
            if (opened.isOpen()) readController(opened, controller);
        }
    }

    void readController(const UsbDevice& opened, Controller& controller) {
        auto key = QueryControllerKey(opened);
        if (!key) return;
        controller.driverKey = kept(*key);
        if (std::ranges::find(keys_, *key) != keys_.end()) return;
        keys_.push_back(std::move(*key));
        auto rootHub = QueryRootHubName(opened);
        if (!rootHub) return;
        controller.rootHub = std::make_unique<Hub>();
        controller.rootHub->name = kept(*rootHub);
        hubsLeft_ = kHubsPerController;
        visitHub(*rootHub, nullptr, 0);
    }

    // Mirrors a walk's visit of the hub named `name` (already placed in the
    // bus) below `parent` at `depth`, asking what the bus lacks for it.
    void visitHub(const std::u16string& name, const Device* parent, int depth) {
        if (hubsLeft_ <= 0) return;
        --hubsLeft_;
        if (name.empty()) return;
        // The first hub of this name in the bus: the one met first.
        auto* hub = const_cast<Hub*>(usbbus::findHub(*bus_, name));
        if (hub == nullptr) return;
        HubQuestions& asked = hubs_[hub];
        OpenedHub opened(stack_, name);
        if (!asked.node) {
            asked.node = true;
            readNodeInformation(opened.device(), *hub);
        }
        if (!hub->answersNodeInformation) return;

        const bool family =
            parent != nullptr && usbbus::isFamilyHubDevice(parent->descriptor.idVendor, parent->descriptor.idProduct);
        const std::uint32_t ports = std::max<std::uint32_t>(hub->portCount, family ? kRecordedPorts : 0);
        for (std::uint32_t port = 1; port <= ports; ++port) {
            if (asked.ports.insert(port).second) readPort(opened, *hub, asked, port);
            const auto found = hub->devices.find(static_cast<int>(port));
            if (found == hub->devices.end()) continue;
            Device& device = found->second;
            const USB_DEVICE_DESCRIPTOR& ids = device.descriptor;
            if (family && port <= kRecordedPorts) {
                readStrings(opened, port, device, {ids.iManufacturer, ids.iProduct, ids.iSerialNumber});
            } else if (usbbus::isFamilyHubDevice(ids.idVendor, ids.idProduct)) {
                readStrings(opened, port, device, {ids.iSerialNumber});
            }
        }
        hub->olderDriver = asked.olderAnswered && !asked.extendedAnswered;
        if (hub->olderDriver) keepUnreadPortsEmpty(*hub, asked);

        for (std::uint32_t port = 1; port <= hub->portCount; ++port) {
            const auto found = hub->devices.find(static_cast<int>(port));
            if (found == hub->devices.end() || !found->second.isHub || depth >= kDeepestHub) continue;
            Device& device = found->second;
            DeviceQuestions& questions = devices_[&device];
            if (!questions.name && opened.device() != nullptr) {
                questions.name = true;
                questions.hubName = QueryDownstreamHubName(*opened.device(), port);
            }
            if (!questions.hubName) continue;
            // A hub beyond the controller's share is not placed: it would
            // stand for its name where a later controller meets it.
            if (!device.hub && hubsLeft_ > 0) {
                device.hub = std::make_unique<Hub>();
                device.hub->name = kept(*questions.hubName);
            }
            visitHub(*questions.hubName, &device, depth + 1);
        }
    }

    // Node information in the caller's zeroed buffer; the port count is
    // taken from it whatever length came back.
    static void readNodeInformation(const UsbDevice* opened, Hub& hub) {
        USB_NODE_INFORMATION node{};
        if (opened == nullptr ||
            !opened->control(IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node)) {
            hub.answersNodeInformation = false;
            return;
        }
        hub.portCount = node.u.HubInformation.HubDescriptor.bNumberOfPorts;
        hub.superSpeed = node.u.HubInformation.HubDescriptor.bDescriptorType == kSuperSpeedHubDescriptorType;
    }

    // An older driver's empty port reports full speed, which a port that
    // could not be read never shows: that one is kept as a port reporting
    // nothing at low speed, as its record shows it.
    static void keepUnreadPortsEmpty(Hub& hub, const HubQuestions& asked) {
        for (const std::uint32_t port : asked.ports) {
            if (port > hub.portCount) continue;
            const auto [found, added] = hub.devices.try_emplace(static_cast<int>(port));
            if (!added) continue;
            found->second = Device{};
            found->second.connectionStatus = usbbus::kNoDeviceConnected;
            found->second.speed = UsbLowSpeed;
        }
    }

    static void readPort(OpenedHub& opened, Hub& hub, HubQuestions& asked, std::uint32_t port) {
        bool older = false;
        const UsbDevice* hubDevice = opened.device();
        if (hubDevice == nullptr) return;
        auto device = askConnection(*hubDevice, port, older);
        if (!device) return;
        (older ? asked.olderAnswered : asked.extendedAnswered) = true;
        hub.devices[static_cast<int>(port)] = std::move(*device);
    }

    // Strings `indexes` of a working device, each in the listed languages
    // until one reads, behind its configuration and language list.
    void readStrings(OpenedHub& opened, std::uint32_t port, Device& device,
                     std::initializer_list<std::uint8_t> indexes) {
        if (device.connectionStatus != usbbus::kDeviceConnected ||
            std::ranges::all_of(indexes, [](std::uint8_t index) { return index == 0; })) {
            return;
        }
        const UsbDevice* hub = opened.device();
        if (hub == nullptr) return;
        DeviceQuestions& asked = devices_[&device];
        if (!asked.configuration) {
            asked.configuration = true;
            if (const auto configuration = ReadConfigurationDescriptor(*hub, port)) {
                const auto bytes = configuration->bytes();
                device.configurations.emplace_back(bytes.begin(), bytes.end());
            }
        }
        if (device.configurations.empty()) return;
        const std::pair<int, int> languageKey{0, 0};
        if (!asked.languages) {
            asked.languages = true;
            device.strings[languageKey] = askString(*hub, port, 0, 0);
        }
        const std::optional<Bytes>& languages = device.strings[languageKey];
        if (!readable(languages)) return;
        for (const std::uint8_t index : indexes) {
            if (index == 0 || !asked.strings.insert(index).second) continue;
            for (std::size_t at = 2; at < languages->size(); at += 2) {
                const auto language = static_cast<std::uint16_t>((*languages)[at] | (*languages)[at + 1] << 8);
                const std::pair<int, int> key{index, language};
                if (!device.strings.contains(key)) device.strings[key] = askString(*hub, port, index, language);
                if (readable(device.strings[key])) break;
            }
        }
    }

    platform::UsbStack& stack_;
    std::shared_ptr<Bus> bus_ = std::make_shared<Bus>();
    std::vector<std::u16string> keys_;
    std::map<const Hub*, HubQuestions> hubs_;
    std::map<const Device*, DeviceQuestions> devices_;
    int hubsLeft_ = 0;
};

}  // namespace

std::shared_ptr<const usbbus::Bus> readBusThroughUsbStack(platform::UsbStack& stack) { return Reader(stack).run(); }

}  // namespace vostrel::backends
