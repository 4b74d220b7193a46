#include "scan/usb_queries.h"

#include <algorithm>
#include <cstring>

#include "scan/string_list.h"

namespace vostrel {
namespace {

using namespace usb;

// The NUL-terminated name at `offset` of an answer area, bounded by the
// area: a stack may leave out the terminator.
std::u16string nameAt(const std::vector<std::uint8_t>& area, std::size_t offset) {
    std::u16string name;
    for (std::size_t at = offset; at + 1 < area.size(); at += 2) {
        const auto unit = static_cast<char16_t>(area[at] | area[at + 1] << 8);
        if (unit == u'\0') break;
        name.push_back(unit);
    }
    return name;
}

std::uint32_t readU32(const std::uint8_t* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// A name query in two steps: the fixed part of the answer tells the whole
// answer's length, then an area of that length receives the name, which
// follows the 32-bit length at `lengthOffset`. When `port` is given it goes
// in front of the length and the area is sent as input too.
std::optional<std::u16string> queryName(const UsbDevice& device, std::uint32_t code, std::uint32_t fixedSize,
                                        bool areaIsInput, std::optional<std::uint32_t> port) {
    const std::size_t lengthOffset = port ? sizeof(std::uint32_t) : 0;
    const auto ask = [&](std::vector<std::uint8_t>& area) {
        if (port) std::memcpy(area.data(), &*port, sizeof *port);
        const auto size = static_cast<std::uint32_t>(area.size());
        return device.control(code, areaIsInput ? area.data() : nullptr, areaIsInput ? size : 0, area.data(),
                              size)
            .has_value();
    };

    std::vector<std::uint8_t> fixed(fixedSize);
    if (!ask(fixed)) return std::nullopt;
    const std::uint32_t length = readU32(fixed.data() + lengthOffset);
    if (length <= fixedSize || length > kMaxNameAnswerBytes) return std::nullopt;

    std::vector<std::uint8_t> area(length);
    if (!ask(area)) return std::nullopt;
    return nameAt(area, lengthOffset + sizeof(std::uint32_t));
}

}  // namespace

std::optional<std::u16string> QueryControllerKey(const UsbDevice& controller) {
    return queryName(controller, IOCTL_GET_HCD_DRIVERKEY_NAME, sizeof(USB_HCD_DRIVERKEY_NAME), true,
                     std::nullopt);
}

std::optional<std::u16string> QueryRootHubName(const UsbDevice& controller) {
    return queryName(controller, IOCTL_USB_GET_ROOT_HUB_NAME, sizeof(USB_ROOT_HUB_NAME), false, std::nullopt);
}

std::optional<std::u16string> QueryDownstreamHubName(const UsbDevice& hub, std::uint32_t port) {
    return queryName(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, sizeof(USB_NODE_CONNECTION_NAME), true, port);
}

std::optional<USB_NODE_CONNECTION_INFORMATION_EX> QueryConnection(const UsbDevice& hub, std::uint32_t port) {
    USB_NODE_CONNECTION_INFORMATION_EX info{};
    info.ConnectionIndex = port;
    if (hub.control(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &info, sizeof info, &info, sizeof info)) {
        return info;
    }

    USB_NODE_CONNECTION_INFORMATION older{};
    older.ConnectionIndex = port;
    if (!hub.control(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &older, sizeof older, &older, sizeof older)) {
        return std::nullopt;
    }
    info = USB_NODE_CONNECTION_INFORMATION_EX{};
    info.ConnectionIndex = older.ConnectionIndex;
    info.DeviceDescriptor = older.DeviceDescriptor;
    info.CurrentConfigurationValue = older.CurrentConfigurationValue;
    info.Speed = older.LowSpeed ? UsbLowSpeed : UsbFullSpeed;
    info.DeviceIsHub = older.DeviceIsHub;
    info.DeviceAddress = older.DeviceAddress;
    info.NumberOfOpenPipes = older.NumberOfOpenPipes;
    info.ConnectionStatus = older.ConnectionStatus;
    std::memcpy(info.PipeList, older.PipeList, sizeof info.PipeList);
    return info;
}

std::optional<ConfigurationDescriptor> ReadConfigurationDescriptor(const UsbDevice& hub, std::uint32_t port) {
    constexpr std::uint32_t kHeader = sizeof(USB_DESCRIPTOR_REQUEST);
    constexpr std::uint32_t kTotalLengthAt = kHeader + offsetof(USB_CONFIGURATION_DESCRIPTOR, wTotalLength);
    const auto request = [port](std::uint16_t length) {
        USB_DESCRIPTOR_REQUEST r{};
        r.ConnectionIndex = port;
        r.SetupPacket.wValue = USB_CONFIGURATION_DESCRIPTOR_TYPE << 8;
        r.SetupPacket.wLength = length;
        return r;
    };
    const auto totalLengthOf = [](const std::uint8_t* area) {
        return static_cast<std::uint16_t>(area[kTotalLengthAt] | area[kTotalLengthAt + 1] << 8);
    };

    constexpr std::uint32_t kFixedArea = kHeader + sizeof(USB_CONFIGURATION_DESCRIPTOR);
    std::uint8_t fixed[kFixedArea] = {};
    const auto fixedRequest = request(sizeof(USB_CONFIGURATION_DESCRIPTOR));
    std::memcpy(fixed, &fixedRequest, sizeof fixedRequest);
    const auto first = hub.control(IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, fixed, kFixedArea, fixed,
                                   kFixedArea);
    if (first != kFixedArea) return std::nullopt;
    const std::uint16_t totalLength = totalLengthOf(fixed);
    if (totalLength < sizeof(USB_CONFIGURATION_DESCRIPTOR)) return std::nullopt;

    const std::uint32_t areaSize = kHeader + totalLength;
    std::vector<std::uint8_t> area(areaSize);
    const auto wholeRequest = request(totalLength);
    std::memcpy(area.data(), &wholeRequest, sizeof wholeRequest);
    const auto second = hub.control(IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, area.data(), areaSize,
                                    area.data(), areaSize);
    if (second != areaSize || totalLengthOf(area.data()) != totalLength) return std::nullopt;
    return ConfigurationDescriptor(std::move(area));
}

std::optional<StringList> ReadStringsOfWorkingDevice(const UsbDevice& hub, std::uint32_t port,
                                                     const USB_NODE_CONNECTION_INFORMATION_EX& connection) {
    if (connection.ConnectionStatus != DeviceConnected) return std::nullopt;
    const auto configuration = ReadConfigurationDescriptor(hub, port);
    if (!configuration || !DeviceHasStrings(connection.DeviceDescriptor, configuration->bytes())) {
        return std::nullopt;
    }
    return CollectDeviceStrings(hub, port, connection.DeviceDescriptor, configuration->bytes());
}

bool QueryPortRecord(const UsbDevice& hub, std::uint32_t port, PortInfoRecord& record,
                     std::u16string* deviceSerial) {
    const auto connection = QueryConnection(hub, port);
    if (!connection) return false;
    const USB_DEVICE_DESCRIPTOR& device = connection->DeviceDescriptor;
    const std::optional<StringList> strings = ReadStringsOfWorkingDevice(hub, port, *connection);

    record.deviceClass = device.bDeviceClass;
    record.deviceSubClass = device.bDeviceSubClass;
    record.vendorId = device.idVendor;
    record.productId = device.idProduct;
    record.deviceRelease = device.bcdDevice;
    record.configurationValue = connection->CurrentConfigurationValue;
    record.speed = connection->Speed;
    record.connectionStatus = connection->ConnectionStatus;

    if (strings) {
        // A string descriptor holds at most 126 units, so it always fits
        // with its terminator.
        const auto copyString = [&](std::uint8_t index, char16_t (&field)[kTextUnits]) {
            const StringEntry* entry = index != 0 ? findString(*strings, index) : nullptr;
            if (entry == nullptr) return;
            const std::size_t n = std::min(entry->units.size(), kTextUnits - 1);
            std::copy_n(entry->units.begin(), n, field);
            field[n] = u'\0';
        };
        copyString(device.iProduct, record.product);
        copyString(device.iManufacturer, record.manufacturer);
    }

    if (deviceSerial != nullptr && strings && device.iSerialNumber != 0) {
        if (const StringEntry* entry = findString(*strings, device.iSerialNumber)) {
            *deviceSerial = entry->units.substr(0, entry->units.find(u'\0'));
        }
    }
    return true;
}

}  // namespace vostrel
