#include "scan/string_list.h"

#include <cstring>

namespace vostrel {
namespace {

constexpr std::uint32_t kStringRoom = 255;  // the largest descriptor a device can send

// Calls `visit` with every nonzero string index of the configuration and
// interface descriptors, in order, until it returns true or the walk meets
// the end or a malformed descriptor. True when `visit` stopped the walk.
template <typename Visit>
bool forEachConfigurationString(std::span<const std::uint8_t> configuration, Visit visit) {
    std::size_t at = 0;
    while (configuration.size() - at >= 3) {
        const std::uint8_t length = configuration[at];
        const std::uint8_t type = configuration[at + 1];
        if (length == 0 || length > configuration.size() - at) return false;
        const auto descriptor = configuration.subspan(at, length);
        std::uint8_t index = 0;
        if (type == usb::USB_CONFIGURATION_DESCRIPTOR_TYPE) {
            if (length != 9) return false;
            index = descriptor[offsetof(usb::USB_CONFIGURATION_DESCRIPTOR, iConfiguration)];
        } else if (type == usb::USB_INTERFACE_DESCRIPTOR_TYPE) {
            if (length != 9 && length != 11) return false;
            index = descriptor[offsetof(usb::USB_INTERFACE_DESCRIPTOR, iInterface)];
        }
        if (index != 0 && visit(index)) return true;
        at += length;
    }
    return false;
}

}  // namespace

const StringEntry* findString(const StringList& list, std::uint8_t index) {
    for (const StringEntry& entry : list) {
        if (entry.index == index) return &entry;
    }
    return nullptr;
}

std::optional<StringEntry> ReadStringDescriptor(const UsbDevice& hub, std::uint8_t index,
                                                std::uint16_t languageId, std::uint32_t port) {
    constexpr std::uint32_t kHeader = sizeof(usb::USB_DESCRIPTOR_REQUEST);
    std::uint8_t area[kHeader + kStringRoom] = {};
    usb::USB_DESCRIPTOR_REQUEST request{};
    request.ConnectionIndex = port;
    request.SetupPacket.wValue = static_cast<std::uint16_t>(usb::USB_STRING_DESCRIPTOR_TYPE << 8 | index);
    request.SetupPacket.wIndex = languageId;
    request.SetupPacket.wLength = kStringRoom;
    std::memcpy(area, &request, sizeof request);

    const auto returned =
        hub.control(usb::IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, area, sizeof area, area, sizeof area);
    // A descriptor needs its two header bytes; anything shorter would leave
    // a negative number of units.
    if (!returned || *returned < kHeader + 2) return std::nullopt;
    const std::uint8_t length = area[kHeader];
    const std::uint8_t type = area[kHeader + 1];
    if (type != usb::USB_STRING_DESCRIPTOR_TYPE || length != *returned - kHeader || length % 2 != 0) {
        return std::nullopt;
    }
    StringEntry entry;
    entry.index = index;
    entry.languageId = languageId;
    entry.units.resize((length - 2) / 2);
    for (std::size_t i = 0; i < entry.units.size(); ++i) {
        const std::uint8_t* unit = area + kHeader + 2 + 2 * i;
        entry.units[i] = static_cast<char16_t>(unit[0] | unit[1] << 8);
    }
    return entry;
}

void ReadStringAllLanguages(const UsbDevice& hub, std::span<const std::uint16_t> languages,
                            std::uint32_t port, std::uint8_t index, StringList& list) {
    for (const std::uint16_t language : languages) {
        if (auto entry = ReadStringDescriptor(hub, index, language, port)) list.push_back(std::move(*entry));
    }
}

bool DeviceHasStrings(const usb::USB_DEVICE_DESCRIPTOR& device, std::span<const std::uint8_t> configuration) {
    if (device.iManufacturer != 0 || device.iProduct != 0 || device.iSerialNumber != 0) return true;
    return forEachConfigurationString(configuration, [](std::uint8_t) { return true; });
}

std::optional<StringList> CollectDeviceStrings(const UsbDevice& hub, std::uint32_t port,
                                               const usb::USB_DEVICE_DESCRIPTOR& device,
                                               std::span<const std::uint8_t> configuration) {
    auto languageEntry = ReadStringDescriptor(hub, 0, 0, port);
    if (!languageEntry) return std::nullopt;
    const std::vector<std::uint16_t> languages(languageEntry->units.begin(), languageEntry->units.end());

    StringList list;
    list.push_back(std::move(*languageEntry));
    for (const std::uint8_t index : {device.iManufacturer, device.iProduct, device.iSerialNumber}) {
        if (index != 0) ReadStringAllLanguages(hub, languages, port, index, list);
    }
    forEachConfigurationString(configuration, [&](std::uint8_t index) {
        ReadStringAllLanguages(hub, languages, port, index, list);
        return false;
    });
    return list;
}

}  // namespace vostrel
