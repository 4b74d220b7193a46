#include "backends/usb_stack_questions.h"

#include <cstddef>
#include <cstring>

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

}  // namespace vostrel
