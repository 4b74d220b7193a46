// The single questions to the USB stack, asked of the test double's hubs.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/usb_ioctl.h"
#include "scan/string_list.h"
#include "scan/usb_device.h"
#include "scan/usb_queries.h"
#include "usb_stack_double.h"

namespace vostrel::test {
namespace {

using namespace usb;

class QueryTest : public ::testing::Test {
protected:
    QueryTest() {
        controller_ = &stack_.addController({.number = 1, .driverKey = u"{key}\\0001"});
        root_ = &controller_->rootHub(u"ROOT", 4);
    }

    UsbDevice hub() { return UsbDevice(stack_, u"\\\\.\\ROOT"); }
    UsbDevice controller() { return UsbDevice(stack_, u"\\\\.\\HCD1"); }

    // Rewrites the 32-bit value at `offset` of every answer to `code`.
    void rewriteU32(std::uint32_t code, std::size_t offset, std::uint32_t value) {
        stack_.addFault([=](const IoctlCall& call, IoctlAnswer& answer) {
            if (call.code == code && answer.ok && answer.out.size() >= offset + 4) {
                std::memcpy(answer.out.data() + offset, &value, 4);
            }
        });
    }

    std::uint64_t descriptorRequests() const {
        return stack_.ioctlCount(IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
    }

    UsbStackDouble stack_;
    UsbControllerDouble* controller_;
    UsbHubDouble* root_;
};

// ------------------------------------------------------------ names

TEST_F(QueryTest, NamesAreReadInTwoSteps) {
    root_->plugHub(3, u"USB#VID_0424&PID_2744#X");
    EXPECT_EQ(QueryControllerKey(controller()), u"{key}\\0001");
    EXPECT_EQ(QueryRootHubName(controller()), u"ROOT");
    EXPECT_EQ(QueryDownstreamHubName(hub(), 3), u"USB#VID_0424&PID_2744#X");
    EXPECT_EQ(QueryDownstreamHubName(hub(), 2), std::nullopt);  // nothing there
}

TEST_F(QueryTest, NameLengthsAtOrBelowTheFixedPartOrAbsurdlyLargeGiveNoName) {
    root_->plugHub(1, u"HUB");
    for (const std::uint32_t length : {0u, 2u, 6u, kMaxNameAnswerBytes + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        stack_.clearFaults();
        rewriteU32(IOCTL_GET_HCD_DRIVERKEY_NAME, 0, length);
        rewriteU32(IOCTL_USB_GET_ROOT_HUB_NAME, 0, length);
        EXPECT_EQ(QueryControllerKey(controller()), std::nullopt);
        EXPECT_EQ(QueryRootHubName(controller()), std::nullopt);
    }
    for (const std::uint32_t length : {0u, 10u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        stack_.clearFaults();
        rewriteU32(IOCTL_USB_GET_NODE_CONNECTION_NAME, 4, length);
        EXPECT_EQ(QueryDownstreamHubName(hub(), 1), std::nullopt);
    }
}

TEST_F(QueryTest, NameWithoutTerminatorStopsAtTheEndOfItsArea) {
    root_->plugHub(1, u"HUB");
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.code == IOCTL_USB_GET_NODE_CONNECTION_NAME && call.outSize > 10) {
            answer.out[answer.out.size() - 2] = 'Z';  // the NUL becomes a character
        }
    });
    EXPECT_EQ(QueryDownstreamHubName(hub(), 1), u"HUBZ");
}

TEST_F(QueryTest, AnswerClaimingMoreBytesThanItsRoomIsAFailure) {
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.code == IOCTL_GET_HCD_DRIVERKEY_NAME) answer.bytesReturned = call.outSize + 1;
    });
    EXPECT_EQ(QueryControllerKey(controller()), std::nullopt);
}

// ------------------------------------------------------------ connection

TEST_F(QueryTest, OlderHubDriverGivesSpeedZeroForLowSpeedAndOneForAnyOther) {
    root_->olderDriver();
    root_->plug(1).speed(UsbLowSpeed).openPipes(3).ids(0xAAAA, 0xBBBB);
    root_->plug(2).speed(UsbHighSpeed);
    root_->plug(3).speed(UsbSuperSpeed).status(DeviceNotEnoughPower);

    const auto low = QueryConnection(hub(), 1);
    ASSERT_TRUE(low);
    // Fields of the packed structure are compared by value (unary +), so
    // that no reference binds to a misaligned member.
    EXPECT_EQ(+low->Speed, 0);
    EXPECT_EQ(+low->ConnectionIndex, 1u);
    EXPECT_EQ(+low->DeviceDescriptor.idVendor, 0xAAAA);
    EXPECT_EQ(+low->NumberOfOpenPipes, 3u);
    EXPECT_EQ(+low->PipeList[2].EndpointDescriptor.bEndpointAddress, 0x83);
    EXPECT_EQ(+low->ConnectionStatus, DeviceConnected);
    EXPECT_EQ(+QueryConnection(hub(), 2)->Speed, 1);
    EXPECT_EQ(+QueryConnection(hub(), 3)->Speed, 1);
    EXPECT_EQ(+QueryConnection(hub(), 3)->ConnectionStatus, DeviceNotEnoughPower);
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION), 4u);
}

TEST_F(QueryTest, ExtendedAnswerIsTakenAsItStandsAndBothFailingGivesNothing) {
    root_->plug(1).speed(UsbSuperSpeed);
    EXPECT_EQ(+QueryConnection(hub(), 1)->Speed, UsbSuperSpeed);
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION), 0u);
    EXPECT_EQ(QueryConnection(hub(), 5), std::nullopt);  // beyond the hub's ports
}

// ------------------------------------------------------------ configuration descriptor

TEST_F(QueryTest, ConfigurationDescriptorIsReadWhole) {
    auto bytes = UsbDeviceDouble::configurationWith(0, 4);
    root_->plug(1).configuration(bytes);
    const auto configuration = ReadConfigurationDescriptor(hub(), 1);
    ASSERT_TRUE(configuration);
    EXPECT_EQ(std::vector<std::uint8_t>(configuration->bytes().begin(), configuration->bytes().end()), bytes);
}

TEST_F(QueryTest, ConfigurationDescriptorFailingAnyCheckIsAbsent) {
    struct Case {
        const char* name;
        std::function<void(UsbDeviceDouble&, UsbStackDouble&)> spoil;
    };
    const Case cases[] = {
        {"refused", [](UsbDeviceDouble& d, UsbStackDouble&) { d.noConfiguration(); }},
        {"total length below 9",
         [](UsbDeviceDouble& d, UsbStackDouble&) { d.configuration({9, 2, 8, 0, 1, 1, 0, 0x80, 50}); }},
        {"first answer shorter than 9 bytes",
         [](UsbDeviceDouble& d, UsbStackDouble&) { d.configuration({9, 2, 9, 0, 1}); }},
        {"second answer short",
         [](UsbDeviceDouble&, UsbStackDouble& s) {
             s.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
                 if (call.descriptorType == 2 && call.outSize > 21) --answer.bytesReturned;
             });
         }},
        {"total length changed between the answers",
         [](UsbDeviceDouble&, UsbStackDouble& s) {
             s.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
                 if (call.descriptorType == 2 && call.outSize > 21) answer.out[14] = 24;
             });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stack_.clearFaults();
        UsbDeviceDouble& device = root_->plug(1);
        c.spoil(device, stack_);
        EXPECT_EQ(ReadConfigurationDescriptor(hub(), 1), std::nullopt);
    }
}

// ------------------------------------------------------------ strings

TEST_F(QueryTest, MalformedStringDescriptorsAreDropped) {
    const std::vector<std::vector<std::uint8_t>> malformed = {
        {5, 3, 'A', 0, 'B'},           // odd length
        {6, 4, 'A', 0, 'B', 0},        // not a string descriptor
        {8, 3, 'A', 0, 'B', 0},        // longer than what came back
        {4, 3, 'A', 0, 'B', 0},        // shorter than what came back
        {0, 3},                        // no room for its own header
        {},                            // nothing came back
    };
    for (const auto& bytes : malformed) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        root_->plug(1).rawString(2, 0x0409, bytes);
        EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1), std::nullopt);
    }
    // Only the request header came back, with a string type byte behind it:
    // a descriptor of length 0 would leave a negative number of units.
    root_->plug(1).rawString(2, 0x0409, {});
    stack_.addFault([](const IoctlCall&, IoctlAnswer& answer) { answer.out[13] = USB_STRING_DESCRIPTOR_TYPE; });
    EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1), std::nullopt);
    stack_.clearFaults();

    root_->plug(1).rawString(2, 0x0409, {2, 3});  // an empty string is a string
    EXPECT_EQ(ReadStringDescriptor(hub(), 2, 0x0409, 1)->units, u"");
}

TEST_F(QueryTest, LongestStringKeepsAll126Units) {
    const std::u16string text(126, u'x');
    root_->plug(1).product(text);
    const auto entry = ReadStringDescriptor(hub(), 2, 0x0409, 1);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->units, text);
    EXPECT_EQ(entry->index, 2);
    EXPECT_EQ(entry->languageId, 0x0409);
}

TEST_F(QueryTest, StringsAreReadInListOrderForEveryLanguage) {
    root_->plug(1)
        .languages({0x0409, 0x0411})
        .manufacturer(u"M")
        .product(u"P")
        .serial(u"S")
        .string(5, u"C")
        .string(6, u"I")
        .configuration(UsbDeviceDouble::configurationWith(5, 6));
    const UsbDevice h = hub();
    const auto connection = QueryConnection(h, 1);
    const auto configuration = ReadConfigurationDescriptor(h, 1);
    const auto list = CollectDeviceStrings(h, 1, connection->DeviceDescriptor, configuration->bytes());
    ASSERT_TRUE(list);
    std::vector<std::pair<int, int>> order;
    for (const StringEntry& e : *list) order.emplace_back(e.index, e.languageId);
    const std::vector<std::pair<int, int>> expected = {{0, 0},      {1, 0x0409}, {1, 0x0411}, {2, 0x0409},
                                                       {2, 0x0411}, {3, 0x0409}, {3, 0x0411}, {5, 0x0409},
                                                       {5, 0x0411}, {6, 0x0409}, {6, 0x0411}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ((*list)[0].units, (std::u16string{0x0409, 0x0411}));
}

TEST_F(QueryTest, DeviceRefusingItsLanguageListHasNoStrings) {
    root_->plug(1).languages({}).product(u"P");
    const UsbDevice h = hub();
    const auto connection = QueryConnection(h, 1);
    EXPECT_EQ(CollectDeviceStrings(h, 1, connection->DeviceDescriptor, {}), std::nullopt);
}

TEST(DeviceHasStrings, WalksTheConfigurationUntilTheFirstMalformedDescriptor) {
    USB_DEVICE_DESCRIPTOR none{};
    using Bytes = std::vector<std::uint8_t>;
    const Bytes config = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
    const auto with = [&](std::initializer_list<Bytes> parts) {
        Bytes all = config;
        for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const Bytes interface9 = {9, 4, 0, 0, 1, 3, 0, 0, 7};
    const Bytes interface11 = {11, 4, 0, 0, 1, 3, 0, 0, 7, 0, 0};
    const Bytes endpoint = {7, 5, 0x81, 3, 8, 0, 10};
    const Bytes vendorSpecific = {4, 0x24, 1, 2};

    EXPECT_TRUE(DeviceHasStrings(none, UsbDeviceDouble::configurationWith(3, 0)));
    EXPECT_TRUE(DeviceHasStrings(none, with({endpoint, vendorSpecific, interface9})));
    EXPECT_TRUE(DeviceHasStrings(none, with({interface11})));
    EXPECT_FALSE(DeviceHasStrings(none, UsbDeviceDouble::configurationWith(0, 0)));
    EXPECT_FALSE(DeviceHasStrings(none, with({{0, 4, 0}, interface9})));              // zero length
    EXPECT_FALSE(DeviceHasStrings(none, with({{10, 4, 0, 0, 1, 3, 0, 0, 7, 0}})));   // interface of 10
    EXPECT_FALSE(DeviceHasStrings(none, with({{9, 4, 0, 0, 1, 3, 0, 0}})));          // runs past the end
    EXPECT_FALSE(DeviceHasStrings(none, Bytes{10, 2, 0, 0, 1, 1, 9, 0x80, 50, 0}));  // configuration of 10
    EXPECT_FALSE(DeviceHasStrings(none, with({{9, 4}})));                            // 2 bytes left
    EXPECT_FALSE(DeviceHasStrings(none, {}));

    USB_DEVICE_DESCRIPTOR serialOnly{};
    serialOnly.iSerialNumber = 3;
    EXPECT_TRUE(DeviceHasStrings(serialOnly, {}));
}

// ------------------------------------------------------------ port record

TEST_F(QueryTest, PortRecordTakesEachStringInTheFirstLanguageThatReadsIt) {
    root_->plug(2)
        .ids(0x046D, 0xC52B, 0x1201)
        .deviceClass(0xEF, 0x02)
        .speed(UsbFullSpeed)
        .configured(2)
        .languages({0x0409, 0x0411})
        .product(u"Receiver")
        .refuseString(2, 0x0409)
        .string(2, 0x0411, u"レシーバー")
        .manufacturer(u"Maker")
        .rawString(1, 0x0409, {7, 3, 'X', 0, 'Y', 0, 0});
    PortInfoRecord record{};
    ASSERT_TRUE(QueryPortRecord(hub(), 2, record));
    EXPECT_EQ(record.deviceClass, 0xEF);
    EXPECT_EQ(record.deviceSubClass, 0x02);
    EXPECT_EQ(record.vendorId, 0x046D);
    EXPECT_EQ(record.productId, 0xC52B);
    EXPECT_EQ(record.deviceRelease, 0x1201);
    EXPECT_EQ(record.configurationValue, 2);
    EXPECT_EQ(record.speed, UsbFullSpeed);
    EXPECT_EQ(record.connectionStatus, DeviceConnected);
    EXPECT_EQ(std::u16string(record.product), u"レシーバー");
    EXPECT_EQ(std::u16string(record.manufacturer), u"Maker");  // the malformed English one is dropped
    EXPECT_EQ(record.hubIndex, 0);
    EXPECT_EQ(record.portIndex, 0);
}

TEST_F(QueryTest, DeviceNotWorkingIsRecordedWithoutAskingItForDescriptors) {
    root_->plug(1).ids(0x1111, 0x2222).status(DeviceFailedEnumeration).product(u"P");
    PortInfoRecord record{};
    ASSERT_TRUE(QueryPortRecord(hub(), 1, record));
    EXPECT_EQ(record.connectionStatus, DeviceFailedEnumeration);
    EXPECT_EQ(record.vendorId, 0x1111);
    EXPECT_EQ(record.product[0], u'\0');
    EXPECT_EQ(descriptorRequests(), 0u);
}

TEST_F(QueryTest, DeviceWithOnlyAnInterfaceStringHasItsListReadButNoNames) {
    root_->plug(1).string(4, u"Interface").configuration(UsbDeviceDouble::configurationWith(0, 4));
    PortInfoRecord record{};
    ASSERT_TRUE(QueryPortRecord(hub(), 1, record));
    EXPECT_EQ(descriptorRequests(), 2u + 1u + 1u);  // configuration twice, languages, interface string
    EXPECT_EQ(record.product[0], u'\0');
    EXPECT_EQ(record.manufacturer[0], u'\0');
}

TEST_F(QueryTest, ProductWithoutIndexLeavesItEmptyWhileManufacturerIsFilled) {
    root_->plug(1).manufacturer(u"Maker").string(2, u"Unnamed");
    PortInfoRecord record{};
    ASSERT_TRUE(QueryPortRecord(hub(), 1, record));
    EXPECT_EQ(record.product[0], u'\0');
    EXPECT_EQ(std::u16string(record.manufacturer), u"Maker");
}

TEST_F(QueryTest, PortWithoutConnectionInformationLeavesTheRecordAlone) {
    PortInfoRecord record{};
    record.vendorId = 0x4242;
    EXPECT_FALSE(QueryPortRecord(hub(), 9, record));
    EXPECT_EQ(record.vendorId, 0x4242);
}

}  // namespace
}  // namespace vostrel::test
