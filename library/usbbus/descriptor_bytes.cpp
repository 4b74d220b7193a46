#include "usbbus/descriptor_bytes.h"

#include <algorithm>
#include <cstring>

namespace vostrel::usbbus {
namespace {

template <typename Units>
Bytes unitsDescriptor(const Units& units) {
    const std::size_t count = std::min(units.size(), kMaxStringUnits);
    Bytes bytes(2 + 2 * count);
    bytes[0] = static_cast<std::uint8_t>(bytes.size());
    bytes[1] = usb::USB_STRING_DESCRIPTOR_TYPE;
    for (std::size_t i = 0; i < count; ++i) {
        bytes[2 + 2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        bytes[3 + 2 * i] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return bytes;
}

}  // namespace

Bytes stringDescriptor(std::u16string_view text) { return unitsDescriptor(text); }

Bytes languageListDescriptor(std::span<const std::uint16_t> languages) { return unitsDescriptor(languages); }

std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpointsOf(std::span<const std::uint8_t> configuration) {
    std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpoints;
    std::size_t end = configuration.size();
    if (end >= 4) end = std::min<std::size_t>(end, configuration[2] | configuration[3] << 8);
    for (std::size_t at = 0; end - at >= 2;) {
        const std::uint8_t length = configuration[at];
        if (length == 0 || length > end - at) break;
        if (configuration[at + 1] == usb::USB_ENDPOINT_DESCRIPTOR_TYPE && length >= sizeof(usb::USB_ENDPOINT_DESCRIPTOR)) {
            usb::USB_ENDPOINT_DESCRIPTOR endpoint;
            std::memcpy(&endpoint, configuration.data() + at, sizeof endpoint);
            endpoints.push_back(endpoint);
        }
        at += length;
    }
    return endpoints;
}

}  // namespace vostrel::usbbus
