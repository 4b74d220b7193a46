#include "usbbus/family_hubs.h"

#include <algorithm>
#include <string_view>

namespace vostrel::usbbus {
namespace {

// Names whose answer would exceed 8192 bytes are not taken; the fixed part of
// a name answer is 4 bytes, 8 for a hub on a port.
constexpr std::size_t kLongestName = (8192 - 4) / 2 - 1;
constexpr std::size_t kLongestPortName = (8192 - 8) / 2 - 1;
// An interface path is taken into room for the longest path the system allows.
constexpr std::size_t kLongestInterfacePath = 32768 - 1;
constexpr std::size_t kStringRoom = 255;  // the most that is read of a string descriptor

// A name as taken from an answer: up to its first NUL. Nothing when the
// answer holds no name or is longer than is accepted.
std::optional<std::u16string_view> nameAsRead(std::u16string_view name, std::size_t longest) {
    if (name.empty() || name.size() > longest) return std::nullopt;
    return name.substr(0, name.find(u'\0'));
}

// The units of string descriptor `index` in `language`: whole, of even
// length, as long as its bLength says.
std::optional<std::u16string> stringAsRead(const Device& device, std::uint8_t index, std::uint16_t language) {
    const Bytes* bytes = device.string(index, language);
    if (bytes == nullptr) return std::nullopt;
    const std::size_t size = std::min(bytes->size(), kStringRoom);
    if (size < 2 || (*bytes)[1] != usb::USB_STRING_DESCRIPTOR_TYPE || (*bytes)[0] != size || size % 2 != 0) {
        return std::nullopt;
    }
    std::u16string units;
    for (std::size_t at = 2; at < size; at += 2) {
        units.push_back(static_cast<char16_t>((*bytes)[at] | (*bytes)[at + 1] << 8));
    }
    return units;
}

// Whether the device's first configuration descriptor can be read whole,
// which comes before any string.
bool configurationReadable(const Device& device) {
    if (device.configurations.empty()) return false;
    const Bytes& first = device.configurations.front();
    if (first.size() < 9) return false;
    const std::size_t total = first[2] | first[3] << 8;
    return total >= 9 && total <= first.size();
}

std::u16string upToNul(std::u16string text) {
    text.resize(std::min(text.size(), text.find(u'\0')));
    return text;
}

// A string of the device in a record's text field, cut to leave room for
// its terminator.
void copyString(const Device& device, std::uint8_t index, HubChar16 (&field)[HUB_TEXT_UNITS]) {
    const auto text = deviceString(device, index);
    if (!text) return;
    const std::size_t n = std::min<std::size_t>(text->size(), HUB_TEXT_UNITS - 1);
    std::copy_n(text->begin(), n, field);
    field[n] = u'\0';
}

// The record of port `port` of `hub` and the serial of the device there; all
// zero for a port the hub neither counts nor holds a device on. A hub driver
// that answers only the older connection query reports a low-speed flag,
// which reads as full speed for every other device and for an empty port.
PortInfoRecord portRecord(const Hub& hub, int port, std::u16string& serial) {
    PortInfoRecord record{};
    const Device* device = hub.device(port);
    if (device == nullptr) {
        if (hub.olderDriver && port <= hub.portCount) record.speed = usb::UsbFullSpeed;
        return record;
    }
    const usb::USB_DEVICE_DESCRIPTOR& descriptor = device->descriptor;
    record.deviceClass = descriptor.bDeviceClass;
    record.deviceSubClass = descriptor.bDeviceSubClass;
    record.vendorId = descriptor.idVendor;
    record.productId = descriptor.idProduct;
    record.deviceRelease = descriptor.bcdDevice;
    record.configurationValue = device->configurationValue;
    record.speed = !hub.olderDriver || device->speed == usb::UsbLowSpeed ? device->speed : usb::UsbFullSpeed;
    record.connectionStatus = device->connectionStatus;
    copyString(*device, descriptor.iProduct, record.product);
    copyString(*device, descriptor.iManufacturer, record.manufacturer);
    if (const auto text = deviceString(*device, descriptor.iSerialNumber)) serial = upToNul(*text);
    return record;
}

}  // namespace

std::vector<const Controller*> controllersInWalkOrder(const Bus& bus) {
    std::vector<const Controller*> walked;
    if (!bus.opensByName) {
        for (const Controller& controller : bus.controllers) walked.push_back(&controller);
        return walked;
    }
    std::vector<const Controller*> order;
    for (int number = 9; number >= 0; --number) {
        const std::u16string name = u"\\\\.\\HCD" + std::u16string(1, static_cast<char16_t>(u'0' + number));
        if (const Controller* controller = findController(bus, name)) order.push_back(controller);
    }
    if (bus.interfaceListAvailable) {
        std::size_t member = 0;
        for (const Controller& listed : bus.controllers) {
            if (listed.interfacePath.empty()) continue;
            if (member++ == kControllerInterfaces) break;
            const std::u16string_view path = std::u16string_view(listed.interfacePath).substr(0, kLongestInterfacePath);
            if (const Controller* controller = findController(bus, path.substr(0, path.find(u'\0')))) {
                order.push_back(controller);
            }
        }
    }
    std::vector<std::u16string> keys;
    for (const Controller* controller : order) {
        if (!controller->driverKey) continue;
        const auto key = nameAsRead(*controller->driverKey, kLongestName);
        if (!key || std::ranges::find(keys, *key) != keys.end()) continue;
        keys.emplace_back(*key);
        walked.push_back(controller);
    }
    return walked;
}

namespace {

class Walk {
public:
    explicit Walk(const Bus& bus) : bus_(bus) {}

    std::vector<FamilyHub> run() {
        for (const Controller* controller : controllersInWalkOrder(bus_)) {
            ++controllers_;
            hubsLeft_ = kHubsPerController;
            if (!controller->rootHub) continue;
            if (!bus_.opensByName) {
                visitHub(controller->rootHub.get(), nullptr, 0);
            } else if (const auto root = nameAsRead(controller->rootHub->name, kLongestName)) {
                visitHub(hubNamed(*root), nullptr, 0);
            }
        }
        return std::move(hubs_);
    }

private:
    // The stack opens no hub by an empty name.
    const Hub* hubNamed(std::u16string_view name) const { return name.empty() ? nullptr : findHub(bus_, name); }

    void visitHub(const Hub* hub, const Device* parent, int depth) {
        if (hubsLeft_ <= 0) return;
        --hubsLeft_;
        if (hub == nullptr || !hub->answersNodeInformation) return;
        if (parent != nullptr && isFamilyHubDevice(parent->descriptor.idVendor, parent->descriptor.idProduct)) {
            record(*parent, *hub);
        }
        for (int port = 1; port <= hub->portCount; ++port) {
            const Device* device = hub->device(port);
            if (device == nullptr || !device->isHub || depth >= kDeepestHub || !device->hub) continue;
            const Hub* below = device->hub.get();
            if (bus_.opensByName) {
                const auto name = nameAsRead(below->name, kLongestPortName);
                if (!name) continue;
                below = hubNamed(*name);
            }
            ports_.push_back(port);
            visitHub(below, device, depth + 1);
            ports_.pop_back();
        }
    }

    std::string location(const Hub& hub) const {
        if (!hub.kernelName.empty()) return hub.kernelName;
        std::string location = std::to_string(controllers_ - 1);
        char separator = '-';
        for (const int port : ports_) {
            location += separator + std::to_string(port);
            separator = '.';
        }
        return location;
    }

    void record(const Device& device, const Hub& hub) {
        const bool superSpeed = device.descriptor.idProduct == kFamilySuperSpeedProductId;
        int& count = superSpeed ? superSpeedCount_ : usb2Count_;
        if (count >= kMostFamilyHubs) return;
        const std::u16string serial =
            device.descriptor.iSerialNumber == 0 ? std::u16string()
                                                 : upToNul(deviceString(device, device.descriptor.iSerialNumber)
                                                               .value_or(std::u16string()));
        auto found = std::ranges::find(hubs_, serial, &FamilyHub::serial);
        if (found == hubs_.end()) {
            if (hubs_.size() >= static_cast<std::size_t>(kMostFamilyHubs)) return;
            found = hubs_.insert(hubs_.end(), FamilyHub{serial, {}, {}, {}});
            usb2Located_.push_back(false);
        }
        const std::size_t k = static_cast<std::size_t>(found - hubs_.begin());
        // The first hub device met places the hub; a USB 2.0 one then
        // takes the place of a SuperSpeed one.
        if (superSpeed ? found->location.empty() : !usb2Located_[k]) {
            found->location = location(hub);
            usb2Located_[k] = !superSpeed;
        }
        FamilyHubSide& side = superSpeed ? found->superSpeed : found->usb2;
        side = FamilyHubSide{&device, &hub, {}, {}};
        for (int port = 1; port <= kFamilyHubPorts; ++port) {
            side.ports[port - 1] = portRecord(hub, port, side.deviceSerials[port - 1]);
        }
        ++count;
    }

    const Bus& bus_;
    std::vector<FamilyHub> hubs_;
    std::vector<bool> usb2Located_;  // by identity
    int usb2Count_ = 0;
    int superSpeedCount_ = 0;
    int controllers_ = 0;  // walked so far
    int hubsLeft_ = 0;
    std::vector<int> ports_;  // from the root hub to the hub being walked
};

}  // namespace

std::optional<std::u16string> deviceString(const Device& device, std::uint8_t index) {
    if (index == 0 || device.connectionStatus != kDeviceConnected || !configurationReadable(device)) {
        return std::nullopt;
    }
    const auto languages = stringAsRead(device, 0, 0);
    if (!languages) return std::nullopt;
    for (const char16_t language : *languages) {
        if (auto text = stringAsRead(device, index, language)) return text;
    }
    return std::nullopt;
}

std::vector<FamilyHub> walkFamilyHubs(const Bus& bus) { return Walk(bus).run(); }

const FamilyHubSide* shownSide(const FamilyHub& hub, int portIndex) {
    for (const FamilyHubSide* side : {&hub.usb2, &hub.superSpeed}) {
        if (*side && side->ports[portIndex].connectionStatus != HUB_NO_DEVICE_CONNECTED) return side;
    }
    return nullptr;
}

}  // namespace vostrel::usbbus
