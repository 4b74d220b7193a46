// Descriptors as bytes: building the ones a model holds, and finding the
// endpoints inside a configuration descriptor that a device sent.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "usbbus/bus_model.h"

namespace vostrel::usbbus {

// The most UTF-16 units a string descriptor holds (its length is one byte).
inline constexpr std::size_t kMaxStringUnits = 126;

// Appends the bytes of a packed descriptor structure. Grown, then copied
// into: GCC 12's optimiser takes a range insert into an empty vector for an
// overflow (-Wstringop-overflow) in release builds.
template <typename Descriptor>
void appendDescriptor(Bytes& bytes, const Descriptor& descriptor) {
    const std::size_t end = bytes.size();
    bytes.resize(end + sizeof descriptor);
    std::memcpy(bytes.data() + end, &descriptor, sizeof descriptor);
}

// A string descriptor holding `text`, cut to 126 units.
Bytes stringDescriptor(std::u16string_view text);

// String descriptor 0: the language IDs, at most 126 of them.
Bytes languageListDescriptor(std::span<const std::uint16_t> languages);

// The endpoint descriptors of a configuration descriptor in order, as the
// connection query lists a configured device's pipes. The walk ends at the
// descriptor's total length, at the end of the bytes, or at the first
// descriptor whose length is zero or runs past them.
std::vector<usb::USB_ENDPOINT_DESCRIPTOR> endpointsOf(std::span<const std::uint8_t> configuration);

}  // namespace vostrel::usbbus
