// The single questions to the USB stack, asked of the test double's hubs.
#include <gtest/gtest.h>

#include <cstring>

#include "scan/usb_queries.h"
#include "usb_stack_double.h"

namespace vostrel::test {
namespace {

using namespace usb;

class QueryTest : public ::testing::Test {
protected:
    QueryTest() : root_(stack_.addController({.number = 1, .driverKey = u"{key}"}).rootHub(u"ROOT", 4)) {}

    UsbDevice hub() { return UsbDevice(stack_, u"\\\\.\\ROOT"); }
    UsbDevice controller() { return UsbDevice(stack_, u"\\\\.\\HCD1"); }

    // Rewrites the 32-bit value at `offset` of every answer to `code`.
    void rewriteU32(std::uint32_t code, std::size_t offset, std::uint32_t value) {
        stack_.addFault([=](const IoctlCall& call, IoctlAnswer& answer) {
            if (call.code == code && answer.ok) std::memcpy(answer.out.data() + offset, &value, 4);
        });
    }

    UsbStackDouble stack_;
    UsbHubDouble root_;
};

TEST_F(QueryTest, NameAnswersOfImpossibleLengthOrSizeGiveNoName) {
    root_.plugHub(1, u"HUB");
    // The fixed part is 6 bytes, 10 with the port in front.
    for (const auto& [length, withPort] :
         {std::pair{0u, 0u}, {6u, 10u}, {kMaxNameAnswerBytes + 1, kMaxNameAnswerBytes + 1}, {~0u, ~0u}}) {
        stack_.faults.clear();
        rewriteU32(IOCTL_GET_HCD_DRIVERKEY_NAME, 0, length);
        rewriteU32(IOCTL_USB_GET_ROOT_HUB_NAME, 0, length);
        rewriteU32(IOCTL_USB_GET_NODE_CONNECTION_NAME, 4, withPort);
        EXPECT_EQ(QueryControllerKey(controller()), std::nullopt) << length;
        EXPECT_EQ(QueryRootHubName(controller()), std::nullopt) << length;
        EXPECT_EQ(QueryDownstreamHubName(hub(), 1), std::nullopt) << length;
    }
    stack_.faults = {[](const IoctlCall& call, IoctlAnswer& answer) { answer.bytesReturned = call.outSize + 1; }};
    EXPECT_EQ(QueryControllerKey(controller()), std::nullopt);  // more bytes returned than there was room for
}

TEST_F(QueryTest, NameWithoutTerminatorStopsAtTheEndOfItsArea) {
    root_.plugHub(1, u"HUB");
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.outSize > 10) answer.out[answer.out.size() - 2] = 'Z';  // the NUL becomes a character
    });
    EXPECT_EQ(QueryDownstreamHubName(hub(), 1), u"HUBZ");
}

TEST_F(QueryTest, OlderHubDriverGivesSpeedZeroForLowSpeedAndOneForAnyOther) {
    root_->olderDriver = true;
    root_.plug(1).speed(UsbLowSpeed).ids(0xAAAA, 0xBBBB).configured(2);
    root_.plug(2).speed(UsbSuperSpeed).status(DeviceNotEnoughPower);
    PortInfoRecord low{};
    PortInfoRecord other{};
    ASSERT_TRUE(QueryPortRecord(hub(), 1, low) && QueryPortRecord(hub(), 2, other));
    EXPECT_EQ(low.speed, 0);
    EXPECT_EQ(low.vendorId, 0xAAAA);
    EXPECT_EQ(low.configurationValue, 2);
    EXPECT_EQ(other.speed, 1);
    EXPECT_EQ(other.connectionStatus, DeviceNotEnoughPower);
}

TEST_F(QueryTest, ConfigurationDescriptorFailingAnyCheckIsAbsent) {
    // The second answer is the one with room for more than the 9-byte descriptor.
    const auto second = [](void (*spoil)(IoctlAnswer&)) {
        return [spoil](const IoctlCall& call, IoctlAnswer& answer) {
            if (call.descriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE && call.outSize > 21) spoil(answer);
        };
    };
    const std::pair<std::optional<Bytes>, Fault> cases[] = {
        {std::nullopt, nullptr},                                 // refused
        {Bytes{9, 2, 8, 0, 1, 1, 0, 0x80, 50}, nullptr},         // total length below 9
        {Bytes{9, 2, 9, 0, 1}, nullptr},                         // first answer shorter than 9 bytes
        {UsbDeviceDouble::configurationWith(0, 0), second([](IoctlAnswer& a) { --a.bytesReturned; })},  // short
        {UsbDeviceDouble::configurationWith(0, 0), second([](IoctlAnswer& a) { a.out[14] = 24; })},  // length changed
    };
    int n = 0;
    for (const auto& [bytes, fault] : cases) {
        stack_.faults.clear();
        if (fault) stack_.addFault(fault);
        root_.plug(1).configuration(bytes);
        EXPECT_EQ(ReadConfigurationDescriptor(hub(), 1), std::nullopt) << "case " << n++;
    }
}

TEST_F(QueryTest, MalformedStringDescriptorsAreDropped) {
    const Bytes malformed[] = {
        {5, 3, 'A', 0, 'B'},     // odd length
        {6, 4, 'A', 0, 'B', 0},  // not a string descriptor
        {8, 3, 'A', 0, 'B', 0},  // longer than what came back
        {4, 3, 'A', 0, 'B', 0},  // shorter than what came back
        {0, 3},                  // no room for its own header
        {},                      // nothing came back
    };
    for (const Bytes& bytes : malformed) {
        root_.plug(1).rawString(2, 0x0409, bytes);
        EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1), std::nullopt) << ::testing::PrintToString(bytes);
    }
    // Only the request header came back, with a string type byte behind it:
    // a descriptor of length 0 would leave a negative number of units.
    root_.plug(1).rawString(2, 0x0409, Bytes{});
    stack_.addFault([](const IoctlCall&, IoctlAnswer& answer) { answer.out[13] = USB_STRING_DESCRIPTOR_TYPE; });
    EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1), std::nullopt);
    stack_.faults.clear();

    root_.plug(1).rawString(2, 0x0409, Bytes{2, 3});  // an empty string is a string
    EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1)->units, u"");
}

TEST(DeviceHasStrings, WalksTheConfigurationUntilTheFirstMalformedDescriptor) {
    const USB_DEVICE_DESCRIPTOR none{};
    const auto with = [](Bytes tail) {
        Bytes all = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
        for (const auto byte : tail) all.push_back(byte);
        return all;
    };
    EXPECT_TRUE(DeviceHasStrings(none, UsbDeviceDouble::configurationWith(3, 0)));
    EXPECT_TRUE(DeviceHasStrings(none, with({7, 5, 0x81, 3, 8, 0, 10, 4, 0x24, 1, 2, 9, 4, 0, 0, 1, 3, 0, 0, 7})));
    EXPECT_TRUE(DeviceHasStrings(none, with({11, 4, 0, 0, 1, 3, 0, 0, 7, 0, 0})));
    EXPECT_FALSE(DeviceHasStrings(none, with({0, 4, 0, 9, 4, 0, 0, 1, 3, 0, 0, 7})));  // zero length
    EXPECT_FALSE(DeviceHasStrings(none, with({10, 4, 0, 0, 1, 3, 0, 0, 7, 0})));       // interface of 10
    EXPECT_FALSE(DeviceHasStrings(none, with({9, 4, 0, 0, 1, 3, 0, 0})));              // runs past the end
    EXPECT_FALSE(DeviceHasStrings(none, Bytes{10, 2, 0, 0, 1, 1, 9, 0x80, 50, 0}));    // configuration of 10
}

TEST_F(QueryTest, PortRecordTakesEachStringInTheFirstLanguageThatReadsIt) {
    const std::u16string longest(126, u'x');
    root_.plug(2)
        .languages({0x0409, 0x0411})
        .product(u"Receiver")
        .rawString(2, 0x0409, std::nullopt)
        .string(2, 0x0411, u"レシーバー")
        .manufacturer(longest)
        .rawString(1, 0x0409, Bytes{7, 3, 'X', 0, 'Y', 0, 0});
    PortInfoRecord record{};
    ASSERT_TRUE(QueryPortRecord(hub(), 2, record));
    EXPECT_EQ(std::u16string(record.product), u"レシーバー");
    EXPECT_EQ(std::u16string(record.manufacturer), longest);  // the malformed English one is dropped
}

}  // namespace
}  // namespace vostrel::test
