#include "usbbus/family_hubs.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "usbbus/model_usb_stack.h"

namespace vostrel::usbbus {
namespace {

constexpr int kDeepestHub = 7;                // tiers below a root hub the scan walks
constexpr int kHubsPerController = 127;       // hubs the scan opens per controller
constexpr std::size_t kMostHubDevices = 32;   // of each product ID
constexpr std::size_t kMostIdentities = 32;
constexpr std::size_t kInterfaceMembers = 256;
// Names whose answer would exceed the scan's 8192 bytes are not taken; the
// fixed part of a name answer is 4 bytes, 8 for a hub on a port.
constexpr std::size_t kLongestName = (8192 - 4) / 2 - 1;
constexpr std::size_t kLongestPortName = (8192 - 8) / 2 - 1;
constexpr std::size_t kStringRoom = 255;  // the most the scan reads of a string descriptor

// A name as the scan takes it from an answer: up to its first NUL. Nothing
// when the answer holds no name or is longer than the scan accepts.
std::optional<std::u16string_view> nameAsRead(std::u16string_view name, std::size_t longest) {
    if (name.empty() || name.size() > longest) return std::nullopt;
    return name.substr(0, name.find(u'\0'));
}

// The units of string descriptor `index` in `language` as the scan reads
// it: whole, of even length, as long as its bLength says.
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

// Whether the scan can read the device's first configuration descriptor,
// which it does before it asks for any string.
bool configurationReadable(const Device& device) {
    if (device.configurations.empty()) return false;
    const Bytes& first = device.configurations.front();
    if (first.size() < 9) return false;
    const std::size_t total = first[2] | first[3] << 8;
    return total >= 9 && total <= first.size();
}

class Walk {
public:
    explicit Walk(const Bus& bus) : bus_(bus) {}

    std::vector<FamilyHub> run() {
        std::vector<const Controller*> order;
        for (int number = 9; number >= 0; --number) {
            const std::u16string name = u"\\\\.\\HCD" + std::u16string(1, static_cast<char16_t>(u'0' + number));
            if (const Controller* controller = findController(bus_, name)) order.push_back(controller);
        }
        if (bus_.interfaceListAvailable) {
            std::size_t member = 0;
            for (const Controller& listed : bus_.controllers) {
                if (listed.interfacePath.empty()) continue;
                if (member++ == kInterfaceMembers) break;
                if (const Controller* controller = findController(bus_, listed.interfacePath)) {
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
            if (!controller->rootHub) continue;
            if (const auto root = nameAsRead(controller->rootHub->name, kLongestName)) {
                hubsLeft_ = kHubsPerController;
                visitHub(*root, nullptr, 0);
            }
        }
        return std::move(hubs_);
    }

private:
    void visitHub(std::u16string_view name, const Device* parent, int depth) {
        if (hubsLeft_ <= 0) return;
        --hubsLeft_;
        // The stack opens no hub by an empty name.
        const Hub* hub = name.empty() ? nullptr : findHub(bus_, name);
        if (hub == nullptr || !hub->answersNodeInformation) return;
        if (parent != nullptr && isFamilyHubDevice(parent->descriptor.idVendor, parent->descriptor.idProduct)) {
            record(*parent, *hub);
        }
        for (int port = 1; port <= hub->portCount; ++port) {
            const Device* device = hub->device(port);
            if (device == nullptr || !device->isHub || depth >= kDeepestHub || !device->hub) continue;
            if (const auto below = nameAsRead(device->hub->name, kLongestPortName)) visitHub(*below, device, depth + 1);
        }
    }

    void record(const Device& device, const Hub& hub) {
        const bool superSpeed = device.descriptor.idProduct == kFamilySuperSpeedProductId;
        std::size_t& count = superSpeed ? superSpeedCount_ : usb2Count_;
        if (count >= kMostHubDevices) return;
        const std::u16string serial = familyHubSerial(device);
        auto found = std::ranges::find(hubs_, serial, &FamilyHub::serial);
        if (found == hubs_.end()) {
            if (hubs_.size() >= kMostIdentities) return;
            found = hubs_.insert(hubs_.end(), FamilyHub{serial, {}, {}});
        }
        (superSpeed ? found->superSpeed : found->usb2) = FamilyHubSide{&device, &hub};
        ++count;
    }

    const Bus& bus_;
    std::vector<FamilyHub> hubs_;
    std::size_t usb2Count_ = 0;
    std::size_t superSpeedCount_ = 0;
    int hubsLeft_ = 0;
};

}  // namespace

std::u16string familyHubSerial(const Device& device) {
    const usb::USB_DEVICE_DESCRIPTOR& descriptor = device.descriptor;
    if (!isFamilyHubDevice(descriptor.idVendor, descriptor.idProduct) || descriptor.iSerialNumber == 0 ||
        device.connectionStatus != kDeviceConnected || !configurationReadable(device)) {
        return {};
    }
    const auto languages = stringAsRead(device, 0, 0);
    if (!languages) return {};
    for (const char16_t language : *languages) {
        if (const auto serial = stringAsRead(device, descriptor.iSerialNumber, language)) {
            return serial->substr(0, serial->find(u'\0'));
        }
    }
    return {};
}

std::vector<FamilyHub> familyHubsInScanOrder(const Bus& bus) { return Walk(bus).run(); }

}  // namespace vostrel::usbbus
