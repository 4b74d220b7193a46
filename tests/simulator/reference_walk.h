// A walk over a USB stack module through its four functions, in the order
// the hub library's scan takes: controllers by number 9 down to 0, then the
// interface list, each once by its driver key; hubs depth first, ports
// ascending. It collects the family hubs' serial strings in the order met
// (their hub indexes) and the connection information of their four ports.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb_ioctl.h"
#include "sim_test_support.h"

namespace vostrel::sim::test {

struct WalkedHubDevice {
    std::u16string serial;
    std::uint16_t productId = 0;
    usb::USB_NODE_CONNECTION_INFORMATION_EX ports[4]{};
};

struct Walk {
    std::vector<std::u16string> identities;  // hub index k: identities[k]
    std::vector<WalkedHubDevice> hubDevices;  // in the order met

    // The port's connection as the identity's hub device with this product
    // shows it; null when the walk did not meet that hub device.
    const usb::USB_NODE_CONNECTION_INFORMATION_EX* port(int identity, std::uint16_t productId, int number) const {
        for (const WalkedHubDevice& hub : hubDevices) {
            if (hub.serial == identities.at(identity) && hub.productId == productId) return &hub.ports[number - 1];
        }
        return nullptr;
    }
};

class Walker {
public:
    explicit Walker(const UsbStack& stack) : stack_(stack) {}

    Walk walk() {
        for (int n = 9; n >= 0; --n) {
            std::u16string name = u"\\\\.\\HCD";
            name += static_cast<char16_t>(u'0' + n);
            scanController(stack_.openName(name));
        }
        for (std::uint32_t i = 0;; ++i) {
            std::uint16_t path[1024];
            if (stack_.hostControllerInterface(i, path, 1024) != 1) break;
            scanController(stack_.open(path));
        }
        return result_;
    }

    // Two-step name query: fixed part first, then the full answer.
    // `port`: the connection name's port number; `withInput`: the area is
    // sent as input too.
    std::optional<std::u16string> name(void* handle, std::uint32_t code, std::size_t fixedPart, bool withInput,
                                       std::optional<std::uint32_t> port = std::nullopt) const {
        std::vector<std::uint8_t> area(fixedPart, 0);
        if (port) std::memcpy(area.data(), &*port, 4);
        std::uint32_t returned = 0;
        const std::size_t lengthAt = port ? 4 : 0;
        if (!stack_.control(handle, code, withInput ? area.data() : nullptr, withInput ? fixedPart : 0, area.data(),
                            fixedPart, &returned)) {
            return std::nullopt;
        }
        std::uint32_t actual = 0;
        std::memcpy(&actual, area.data() + lengthAt, 4);
        if (actual <= fixedPart) return std::nullopt;
        area.assign(actual, 0);
        if (port) std::memcpy(area.data(), &*port, 4);
        if (!stack_.control(handle, code, withInput ? area.data() : nullptr, withInput ? actual : 0, area.data(),
                            actual, &returned)) {
            return std::nullopt;
        }
        std::u16string text;
        for (std::size_t at = lengthAt + 4; at + 1 < area.size(); at += 2) {
            char16_t unit;
            std::memcpy(&unit, area.data() + at, 2);
            if (unit == 0) break;
            text += unit;
        }
        return text;
    }

    std::optional<usb::USB_NODE_CONNECTION_INFORMATION_EX> connection(void* hub, std::uint32_t port) const {
        usb::USB_NODE_CONNECTION_INFORMATION_EX info{};
        info.ConnectionIndex = port;
        std::uint32_t returned = 0;
        if (stack_.control(hub, usb::IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info,
                           sizeof info, &returned)) {
            return info;
        }
        return std::nullopt;
    }

    // A string descriptor's text, or none.
    std::optional<std::u16string> text(void* hub, std::uint32_t port, std::uint8_t index,
                                       std::uint16_t language) const {
        std::uint8_t request[12 + 255] = {};
        std::memcpy(request, &port, 4);
        const std::uint16_t value = static_cast<std::uint16_t>(0x0300 | index);
        const std::uint16_t length = 255;
        std::memcpy(request + 6, &value, 2);
        std::memcpy(request + 8, &language, 2);
        std::memcpy(request + 10, &length, 2);
        std::uint32_t returned = 0;
        if (!stack_.control(hub, usb::IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, request, sizeof request, request,
                            sizeof request, &returned) ||
            returned < 14 || request[13] != 3 || request[12] != returned - 12 || request[12] % 2 != 0) {
            return std::nullopt;
        }
        std::u16string units((request[12] - 2) / 2, u'\0');
        std::memcpy(units.data(), request + 14, units.size() * 2);
        return units;
    }

private:
    void scanController(void* controller) {
        if (controller == nullptr) return;
        const auto key = name(controller, usb::IOCTL_GET_HCD_DRIVERKEY_NAME, 6, true);
        if (key && std::find(keys_.begin(), keys_.end(), *key) == keys_.end()) {
            keys_.push_back(*key);
            if (const auto root = name(controller, usb::IOCTL_USB_GET_ROOT_HUB_NAME, 6, false)) {
                scanHub(*root, nullptr, u"");
            }
        }
        stack_.close(controller);
    }

    void scanHub(const std::u16string& hubName, const usb::USB_NODE_CONNECTION_INFORMATION_EX* parent,
                 const std::u16string& serial) {
        void* hub = stack_.openName(u"\\\\.\\" + hubName);
        if (hub == nullptr) return;
        usb::USB_NODE_INFORMATION node{};
        std::uint32_t returned = 0;
        if (stack_.control(hub, usb::IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node,
                           &returned)) {
            if (parent != nullptr && parent->DeviceDescriptor.idVendor == 0x0424 &&
                (parent->DeviceDescriptor.idProduct == 0x2744 || parent->DeviceDescriptor.idProduct == 0x5744)) {
                if (std::find(result_.identities.begin(), result_.identities.end(), serial) ==
                    result_.identities.end()) {
                    result_.identities.push_back(serial);
                }
                WalkedHubDevice device;
                device.serial = serial;
                device.productId = parent->DeviceDescriptor.idProduct;
                for (std::uint32_t port = 1; port <= 4; ++port) {
                    if (const auto info = connection(hub, port)) device.ports[port - 1] = *info;
                }
                result_.hubDevices.push_back(device);
            }
            for (std::uint32_t port = 1; port <= node.u.HubInformation.HubDescriptor.bNumberOfPorts; ++port) {
                const auto info = connection(hub, port);
                if (!info) continue;
                std::u16string childSerial;
                const auto& descriptor = info->DeviceDescriptor;
                if (info->ConnectionStatus == 1 && descriptor.idVendor == 0x0424 && descriptor.iSerialNumber != 0) {
                    if (const auto languages = text(hub, port, 0, 0)) {
                        for (char16_t language : *languages) {
                            if (const auto found = text(hub, port, descriptor.iSerialNumber, language)) {
                                childSerial = *found;
                                break;
                            }
                        }
                    }
                }
                if (info->DeviceIsHub) {
                    if (const auto child = name(hub, usb::IOCTL_USB_GET_NODE_CONNECTION_NAME, 10, true, port)) {
                        scanHub(*child, &*info, childSerial);
                    }
                }
            }
        }
        stack_.close(hub);
    }

    const UsbStack& stack_;
    Walk result_;
    std::vector<std::u16string> keys_;
};

}  // namespace vostrel::sim::test
