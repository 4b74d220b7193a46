// The kernel's USB attributes read as untrusted input: what a device chose to
// send, and text the kernel wrote about it.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "usbbus/descriptor_bytes.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::usbbus {
namespace {

Bytes deviceDescriptorBytes(std::uint8_t iManufacturer = 1, std::uint8_t iProduct = 2, std::uint8_t iSerial = 3) {
    return {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x24, 0x04, 0x44, 0x27, 0x00, 0x02, iManufacturer, iProduct, iSerial, 1};
}

// A configuration with value `value`, string `iConfiguration`, and interfaces
// given as (number, alternate setting, iInterface).
Bytes configuration(std::uint8_t value, std::uint8_t iConfiguration,
                    std::initializer_list<std::array<std::uint8_t, 3>> interfaces) {
    Bytes bytes = {9, 2, 0, 0, static_cast<std::uint8_t>(interfaces.size()), value, iConfiguration, 0x80, 50};
    for (const auto& [number, alternate, iInterface] : interfaces) {
        bytes.insert(bytes.end(), {9, 4, number, alternate, 1, 0xFF, 0, 0, iInterface});
        bytes.insert(bytes.end(), {7, 5, 0x81, 2, 0, 2, 0});
    }
    bytes[2] = static_cast<std::uint8_t>(bytes.size());
    return bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::u16string textOf(const Bytes& descriptor) {
    std::u16string text;
    for (std::size_t at = 2; at + 1 < descriptor.size(); at += 2) {
        text.push_back(static_cast<char16_t>(descriptor[at] | descriptor[at + 1] << 8));
    }
    return text;
}

TEST(KernelDescriptors, SplitIntoConfigurationsByTheirOwnTotalLengths) {
    const Bytes first = configuration(1, 0, {{0, 0, 0}});
    const Bytes second = configuration(2, 0, {{0, 0, 0}, {1, 0, 0}});
    const auto both = parseDescriptors(join({deviceDescriptorBytes(), first, second}));
    ASSERT_TRUE(both);
    EXPECT_EQ(both->device.idProduct, 0x2744);
    EXPECT_EQ(both->configurations, (std::vector<Bytes>{first, second}));

    struct Case {
        const char* what;
        Bytes bytes;
        std::optional<std::size_t> configurations;  // nothing: no device at all
    };
    Bytes cut = join({deviceDescriptorBytes(), first});
    cut.resize(cut.size() - 5);
    Bytes zeroLength = join({deviceDescriptorBytes(), Bytes{9, 2, 0, 0, 1, 1, 0, 0x80, 50}});
    const Case cases[] = {
        {"empty", {}, std::nullopt},
        {"shorter than a device descriptor", Bytes(17, 0x12), std::nullopt},
        {"a device that was never configured", deviceDescriptorBytes(), 0},
        {"a configuration cut short is kept as far as it goes", cut, 1},
        {"a total length below 4 ends the list", zeroLength, 0},
        {"three bytes after the device descriptor", join({deviceDescriptorBytes(), Bytes{9, 2, 40}}), 0},
    };
    for (const Case& c : cases) {
        const auto parsed = parseDescriptors(c.bytes);
        EXPECT_EQ(parsed.has_value(), c.configurations.has_value()) << c.what;
        if (parsed && c.configurations) {
            EXPECT_EQ(parsed->configurations.size(), *c.configurations) << c.what;
        }
    }
    EXPECT_EQ(parseDescriptors(cut)->configurations[0].size(), first.size() - 5);
}

TEST(KernelDescriptors, NameTheFirstInterfaceOfTheConfigurationWithAValue) {
    KernelDescriptors kernel;
    Bytes cut = configuration(3, 0, {{4, 0, 0}});
    cut.resize(9 + 8);  // the interface descriptor one byte short
    kernel.configurations = {configuration(1, 0, {{2, 0, 0}, {3, 0, 0}}), configuration(2, 0, {{5, 1, 0}}), cut,
                             configuration(4, 0, {})};
    EXPECT_EQ(firstInterfaceNumber(kernel, 1), 2);
    EXPECT_EQ(firstInterfaceNumber(kernel, 2), 5);
    EXPECT_EQ(firstInterfaceNumber(kernel, 3), std::nullopt);
    EXPECT_EQ(firstInterfaceNumber(kernel, 4), std::nullopt);
    EXPECT_EQ(firstInterfaceNumber(kernel, 0), std::nullopt);
    EXPECT_EQ(firstInterfaceNumber(kernel, 9), std::nullopt);
}

TEST(KernelTexts, NumbersSpeedsAndPortStates) {
    EXPECT_EQ(parseDecimal("12\n", 255), 12u);
    EXPECT_EQ(parseDecimal("\n", 255), 0u);  // an unconfigured device's configuration value
    EXPECT_EQ(parseDecimal("", 255), 0u);
    for (const char* bad : {"256\n", "-1", "1 2", "0x10", "99999999999999999999"}) {
        EXPECT_EQ(parseDecimal(bad, 255), std::nullopt) << bad;
    }

    const std::pair<const char*, std::optional<std::uint8_t>> speeds[] = {
        {"1.5\n", usb::UsbLowSpeed},   {"12\n", usb::UsbFullSpeed},     {"480\n", usb::UsbHighSpeed},
        {"53.3-480\n", usb::UsbHighSpeed}, {"5000\n", usb::UsbSuperSpeed}, {"20000\n", usb::UsbSuperSpeed},
        {"unknown\n", std::nullopt},   {"15\n", std::nullopt},          {"", std::nullopt},
    };
    for (const auto& [text, speed] : speeds) EXPECT_EQ(parseSpeed(text), speed) << text;

    // The kernel's names of the USB device states, as a port's `state` shows them.
    EXPECT_EQ(portStateAttached("not attached\n"), false);
    for (const char* attached : {"attached\n", "powered\n", "reconnecting\n", "unauthenticated\n", "default\n",
                                 "addressed\n", "configured\n", "suspended\n"}) {
        EXPECT_EQ(portStateAttached(attached), true) << attached;
    }
    for (const char* unknown : {"not-attached\n", "UNKNOWN\n", "exploded\n", "not attached \n", ""}) {
        EXPECT_EQ(portStateAttached(unknown), std::nullopt) << unknown;
    }

    EXPECT_EQ(statusOfPortWithoutDevice(0x0100), kNoDeviceConnected);  // powered, nothing there
    EXPECT_EQ(statusOfPortWithoutDevice(0x0101), kDeviceFailedEnumeration);
    EXPECT_EQ(statusOfPortWithoutDevice(0x0109), 4u);  // over-current
}

TEST(KernelStrings, BecomeWholeStringDescriptorsOfAtMost126Units) {
    const std::string pair = "\xF0\x9F\x94\x8C";  // U+1F50C, two UTF-16 units
    struct Case {
        const char* what;
        std::string text;
        std::u16string units;
    };
    const Case cases[] = {
        {"the kernel's newline goes", "Hub\n", u"Hub"},
        {"only one newline goes", "Hub\n\n", u"Hub\n"},
        {"Japanese", "カメラ\n", u"カメラ"},
        {"a pair", pair + "\n", u"\U0001F50C"},
        {"up to the first NUL", std::string("Hu\0b\n", 5), u"Hu"},
        {"a stray continuation byte", "A\x80" "B\n", u"A\uFFFDB"},
        {"a sequence cut short", "A\xE3\x82", u"A\uFFFD\uFFFD"},
        {"an overlong encoding", "\xC0\xAF\n", u"\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xED\xA0\x80\n", u"\uFFFD\uFFFD\uFFFD"},
        {"longer than a descriptor holds", std::string(200, 'x') + "\n", std::u16string(126, u'x')},
        {"a pair that would end past 126 units", std::string(125, 'x') + pair, std::u16string(125, u'x')},
        {"a pair that ends at 126 units", std::string(124, 'x') + pair, std::u16string(124, u'x') + u"\U0001F50C"},
    };
    for (const Case& c : cases) {
        const Bytes descriptor = stringFromAttribute(c.text);
        ASSERT_GE(descriptor.size(), 2u) << c.what;
        EXPECT_EQ(descriptor[0], descriptor.size()) << c.what;
        EXPECT_EQ(descriptor[1], usb::USB_STRING_DESCRIPTOR_TYPE) << c.what;
        EXPECT_EQ(textOf(descriptor), c.units) << c.what;
    }
}

TEST(KernelStrings, OnlyThoseOfTheActiveFirstConfigurationAreShown) {
    KernelDescriptors kernel;
    kernel.device = {18, 1, 0x0200, 0, 0, 0, 64, 1, 2, 3, 1, 2, 1, 1};  // serial has index 1 too
    kernel.configurations = {configuration(1, 4, {{0, 0, 5}, {0, 1, 6}, {1, 0, 2}, {2, 0, 7}})};
    std::vector<std::pair<std::uint8_t, StringAttribute>> seen;
    for (const StringSource& s : stringSources(kernel, 1)) seen.emplace_back(s.index, s.attribute);
    const std::vector<std::pair<std::uint8_t, StringAttribute>> expected = {
        {1, StringAttribute::Manufacturer}, {2, StringAttribute::Product},
        {4, StringAttribute::Configuration}, {5, StringAttribute::Interface}, {7, StringAttribute::Interface}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(stringSources(kernel, 1).back().interfaceNumber, 2);

    EXPECT_EQ(stringSources(kernel, 0).size(), 2u);  // not configured: no configuration strings
    EXPECT_EQ(stringSources(kernel, 2).size(), 2u);  // another configuration is active
}

TEST(KernelDevice, OffersItsStringsInOneLanguageFirstReadingKept) {
    KernelDescriptors kernel;
    kernel.device.bDeviceClass = 9;
    Device device = deviceFromKernel(kernel, usb::UsbSuperSpeed, 7, 1);
    addString(device, 2, "Hub\n");
    addString(device, 2, "Other\n");
    addString(device, 0, "not a string\n");
    EXPECT_TRUE(device.isHub);
    EXPECT_EQ(device.connectionStatus, kDeviceConnected);
    ASSERT_NE(device.string(0, 0), nullptr);
    EXPECT_EQ(textOf(*device.string(0, 0)), std::u16string(1, static_cast<char16_t>(kPresentedLanguage)));
    ASSERT_NE(device.string(2, kPresentedLanguage), nullptr);
    EXPECT_EQ(textOf(*device.string(2, kPresentedLanguage)), u"Hub");
    EXPECT_EQ(device.string(2, 0x0411), nullptr);
}

}  // namespace
}  // namespace vostrel::usbbus
