#include "core/descriptors.h"

#include <algorithm>
#include <cstring>

#include "usbbus/descriptor_bytes.h"

namespace vostrel::sim {

namespace {

constexpr std::uint8_t kSuperSpeedCompanionType = 0x30;
constexpr std::uint8_t kHidClass = 3;
constexpr std::uint8_t kHubClass = 9;

// The endpoints of the configuration, IN and OUT alternating.
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

void addText(std::map<std::pair<int, int>, std::optional<usbbus::Bytes>>& strings, std::uint8_t index,
             const std::optional<LocalizedText>& text) {
    if (!text) return;
    if (text->anyLanguage) strings[{index, usbbus::kEveryLanguage}] = usbbus::stringDescriptor(*text->anyLanguage);
    for (const auto& [language, value] : text->byLanguage) strings[{index, language}] = usbbus::stringDescriptor(value);
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
    usbbus::appendDescriptor(bytes, configuration);

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
        usbbus::appendDescriptor(bytes, interface);
        for (int e = 0; e < entry.endpoints; ++e, ++next) {
            usbbus::appendDescriptor(bytes, endpoints[next]);
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

std::map<std::pair<int, int>, std::optional<usbbus::Bytes>> stringDescriptors(const Device& device) {
    std::map<std::pair<int, int>, std::optional<usbbus::Bytes>> strings;
    if (!device.languages.empty()) {
        strings[{0, usbbus::kEveryLanguage}] = usbbus::languageListDescriptor(device.languages);
    }
    addText(strings, kManufacturerIndex, device.manufacturer);
    addText(strings, kProductIndex, device.product);
    addText(strings, kSerialIndex, device.serial);
    addText(strings, kConfigurationIndex, device.configurationText);
    for (std::size_t i = 0; i < device.interfaces.size(); ++i) {
        addText(strings, static_cast<std::uint8_t>(kFirstInterfaceIndex + i), device.interfaces[i].text);
    }
    return strings;
}

std::u16string serialAsRead(const Device& device) {
    if (!device.serial) return {};
    for (std::uint16_t language : device.languages) {
        if (const std::u16string* text = device.serial->in(language)) return *text;
    }
    return {};
}

}  // namespace vostrel::sim
