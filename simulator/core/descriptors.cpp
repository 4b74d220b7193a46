#include "core/descriptors.h"

#include <algorithm>
#include <cstring>

namespace vostrel::sim {

namespace {

constexpr std::uint8_t kSuperSpeedCompanionType = 0x30;
constexpr std::uint8_t kHidClass = 3;
constexpr std::uint8_t kHubClass = 9;

const LocalizedText* textAt(const Device& device, std::uint8_t index) {
    switch (index) {
        case kManufacturerIndex: return device.manufacturer ? &*device.manufacturer : nullptr;
        case kProductIndex: return device.product ? &*device.product : nullptr;
        case kSerialIndex: return device.serial ? &*device.serial : nullptr;
        case kConfigurationIndex: return device.configurationText ? &*device.configurationText : nullptr;
        default: break;
    }
    const std::size_t interface = index - kFirstInterfaceIndex;
    if (index < kFirstInterfaceIndex || interface >= device.interfaces.size()) return nullptr;
    const auto& text = device.interfaces[interface].text;
    return text ? &*text : nullptr;
}

template <typename Descriptor>
void append(std::vector<std::uint8_t>& bytes, const Descriptor& descriptor) {
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&descriptor);
    bytes.insert(bytes.end(), raw, raw + sizeof descriptor);
}

}  // namespace

usb::USB_DEVICE_DESCRIPTOR deviceDescriptor(const Device& device, bool superSpeedSide) {
    const bool super = superSpeedSide || (!device.isHub() && device.speed == Speed::Super);
    usb::USB_DEVICE_DESCRIPTOR descriptor{};
    descriptor.bLength = sizeof descriptor;
    descriptor.bDescriptorType = usb::USB_DEVICE_DESCRIPTOR_TYPE;
    descriptor.bcdUSB = superSpeedSide ? 0x0320 : device.usbVersion;
    descriptor.bDeviceClass = device.deviceClass;
    descriptor.bDeviceSubClass = device.deviceSubClass;
    descriptor.bDeviceProtocol = superSpeedSide ? 3 : device.deviceProtocol;
    descriptor.bMaxPacketSize0 = super ? 9 : device.speed == Speed::Low ? 8 : 64;
    descriptor.idVendor = device.vendorId;
    descriptor.idProduct = superSpeedSide ? device.superSpeedProductId : device.productId;
    descriptor.bcdDevice = device.release;
    descriptor.iManufacturer = device.manufacturer ? kManufacturerIndex : 0;
    descriptor.iProduct = device.product ? kProductIndex : 0;
    descriptor.iSerialNumber = device.serial ? kSerialIndex : 0;
    descriptor.bNumConfigurations = 1;
    return descriptor;
}

std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpointDescriptors(const Device& device, Speed speed) {
    std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpoints;
    int count = 0;
    for (const InterfaceEntry& entry : device.interfaces) {
        const bool interrupt =
            entry.interfaceClass == kHubClass || entry.interfaceClass == kHidClass || speed == Speed::Low;
        for (int i = 0; i < entry.endpoints; ++i) {
            ++count;
            usb::USB_ENDPOINT_DESCRIPTOR endpoint{};
            endpoint.bLength = sizeof endpoint;
            endpoint.bDescriptorType = usb::USB_ENDPOINT_DESCRIPTOR_TYPE;
            // IN and OUT alternate: 0x81, 0x01, 0x82, 0x02, ...
            endpoint.bEndpointAddress = static_cast<std::uint8_t>(((count % 2) == 1 ? 0x80 : 0x00) | ((count + 1) / 2));
            endpoint.bmAttributes = interrupt ? 3 : 2;
            endpoint.wMaxPacketSize = interrupt          ? (speed == Speed::Low ? 8 : 64)
                                      : speed == Speed::Super ? 1024
                                      : speed == Speed::High  ? 512
                                                              : 64;
            endpoint.bInterval = interrupt ? (speed >= Speed::High ? 12 : 10) : 0;
            endpoints.push_back(endpoint);
        }
    }
    return endpoints;
}

std::vector<std::uint8_t> configurationDescriptor(const Device& device, Speed speed) {
    const auto endpoints = endpointDescriptors(device, speed);
    std::vector<std::uint8_t> bytes;
    usb::USB_CONFIGURATION_DESCRIPTOR configuration{};
    configuration.bLength = sizeof configuration;
    configuration.bDescriptorType = usb::USB_CONFIGURATION_DESCRIPTOR_TYPE;
    configuration.bNumInterfaces = static_cast<std::uint8_t>(device.interfaces.size());
    configuration.bConfigurationValue = device.configuration;
    configuration.iConfiguration = device.configurationText ? kConfigurationIndex : 0;
    configuration.bmAttributes = 0x80;
    const int unit = speed == Speed::Super ? 8 : 2;  // MaxPower counts 8 mA at SuperSpeed, else 2 mA
    configuration.MaxPower = static_cast<std::uint8_t>(std::min(255, (device.maxPowerMilliamps + unit - 1) / unit));
    append(bytes, configuration);

    std::size_t next = 0;
    for (std::size_t i = 0; i < device.interfaces.size(); ++i) {
        const InterfaceEntry& entry = device.interfaces[i];
        usb::USB_INTERFACE_DESCRIPTOR interface{};
        interface.bLength = sizeof interface;
        interface.bDescriptorType = usb::USB_INTERFACE_DESCRIPTOR_TYPE;
        interface.bInterfaceNumber = static_cast<std::uint8_t>(i);
        interface.bNumEndpoints = entry.endpoints;
        interface.bInterfaceClass = entry.interfaceClass;
        interface.bInterfaceSubClass = entry.interfaceSubClass;
        interface.bInterfaceProtocol = entry.interfaceProtocol;
        interface.iInterface = entry.text ? static_cast<std::uint8_t>(kFirstInterfaceIndex + i) : 0;
        append(bytes, interface);
        for (int e = 0; e < entry.endpoints; ++e, ++next) {
            append(bytes, endpoints[next]);
            if (speed == Speed::Super) {
                const std::uint8_t companion[6] = {6, kSuperSpeedCompanionType, 0, 0, 0, 0};
                bytes.insert(bytes.end(), companion, companion + sizeof companion);
            }
        }
    }
    const auto total = static_cast<std::uint16_t>(bytes.size());
    std::memcpy(bytes.data() + offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, wTotalLength), &total, sizeof total);
    return bytes;
}

std::optional<std::vector<std::uint8_t>> stringDescriptor(const Device& device, std::uint8_t index,
                                                          std::uint16_t language) {
    std::vector<char16_t> units;
    if (index == 0) {
        if (device.languages.empty()) return std::nullopt;
        units.assign(device.languages.begin(), device.languages.end());
    } else {
        const LocalizedText* text = textAt(device, index);
        const std::u16string* value = text == nullptr ? nullptr : text->in(language);
        if (value == nullptr) return std::nullopt;
        units.assign(value->begin(), value->end());
    }
    std::vector<std::uint8_t> bytes(2 + 2 * units.size());
    bytes[0] = static_cast<std::uint8_t>(bytes.size());
    bytes[1] = usb::USB_STRING_DESCRIPTOR_TYPE;
    for (std::size_t i = 0; i < units.size(); ++i) {
        bytes[2 + 2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        bytes[3 + 2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return bytes;
}

std::u16string serialAsRead(const Device& device) {
    if (!device.serial) return {};
    for (std::uint16_t language : device.languages) {
        if (const std::u16string* text = device.serial->in(language)) return *text;
    }
    return {};
}

}  // namespace vostrel::sim
