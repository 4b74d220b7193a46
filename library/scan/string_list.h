// The string descriptors of one device: which strings it names, and reading
// them in every language it lists.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "usbbus/usb_ioctl.h"
#include "scan/usb_device.h"

namespace vostrel {

// One string descriptor as the device sent it. The units are the
// descriptor's (bLength - 2) / 2 UTF-16 units after its two header bytes,
// not terminated; for index 0 they are the device's language IDs.
struct StringEntry {
    std::uint8_t index = 0;
    std::uint16_t languageId = 0;
    std::u16string units;
};

// In the order of reading; the language list (index 0) first.
using StringList = std::vector<StringEntry>;

// The first entry read for `index`, so a string is taken in the first listed
// language in which it could be read. nullptr when there is none.
const StringEntry* findString(const StringList& list, std::uint8_t index);

// String descriptor `index` in `languageId` from the device on port `port`
// of `hub`. Nothing unless the answer is a whole string descriptor of even
// length that fills exactly the bytes returned.
std::optional<StringEntry> ReadStringDescriptor(const UsbDevice& hub, std::uint8_t index,
                                                std::uint16_t languageId, std::uint32_t port);

// Reads string `index` in each of `languages` in turn and appends every one
// that could be read to `list`.
void ReadStringAllLanguages(const UsbDevice& hub, std::span<const std::uint16_t> languages,
                            std::uint32_t port, std::uint8_t index, StringList& list);

// True when the device descriptor names a manufacturer, product or serial
// string, or a well-formed stretch of the configuration descriptor names a
// configuration or interface string before the first malformed descriptor.
bool DeviceHasStrings(const usb::USB_DEVICE_DESCRIPTOR& device, std::span<const std::uint8_t> configuration);

// The language list, then every string that the device and configuration
// descriptors name, in every listed language. Nothing when the device
// refuses its language list.
std::optional<StringList> CollectDeviceStrings(const UsbDevice& hub, std::uint32_t port,
                                               const usb::USB_DEVICE_DESCRIPTOR& device,
                                               std::span<const std::uint8_t> configuration);

}  // namespace vostrel
