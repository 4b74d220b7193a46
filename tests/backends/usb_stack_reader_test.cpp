// The Windows reader over the USB-stack double, whose answers the tests make
// fail, shorten, lengthen or overwrite: what it keeps of each answer, shown
// in the bus it reads and in the records the walk gives of that bus.
#include <gtest/gtest.h>

#include <cstring>

#include "backends/usb_stack_reader.h"
#include "bus_records.h"
#include "backends/usb_stack_questions.h"
#include "usb_stack_double.h"

namespace vostrel::test {
namespace {

using namespace usb;

UsbDeviceDouble plugFamily(UsbHubDouble hub, int port, std::u16string name, std::uint16_t productId,
                            std::u16string serial) {
    return hub.plugHub(port, std::move(name)).ids(0x0424, productId).serial(std::move(serial));
}

class ReadThroughStack : public ::testing::Test {
protected:
    void TearDown() override {
        // Every handle the reader opened is closed again, and only once.
        EXPECT_EQ(stack_.openHandles(), 0u);
        EXPECT_EQ(stack_.badCloses(), 0u);
    }

    std::shared_ptr<const usbbus::Bus> read() { return backends::readBusThroughUsbStack(stack_); }
    std::unique_ptr<ScanBuffer> records(DeviceSerials* serials = nullptr) { return walkRecords(read(), serials); }

    // The first controller's root hub, and the hub below its port 1, as read.
    static const usbbus::Hub& rootHub(const usbbus::Bus& bus) { return *bus.controllers.front().rootHub; }
    static const usbbus::Hub& firstHub(const usbbus::Bus& bus) { return *rootHub(bus).device(1)->hub; }

    UsbStackDouble stack_;
};

TEST_F(ReadThroughStack, NameAnswersOfImpossibleLengthGiveNoName) {
    stack_.addController({.number = 1, .driverKey = u"{key}"}).rootHub(u"ROOT", 4).plugHub(1, u"HUB");
    const auto rewrite = [this](std::uint32_t code, std::size_t offset, std::uint32_t value) {
        stack_.faults = {[=](const IoctlCall& call, IoctlAnswer& answer) {
            if (call.code == code && answer.ok) std::memcpy(answer.out.data() + offset, &value, 4);
        }};
    };
    // The fixed part is 6 bytes, 10 with the port in front.
    for (const auto& [length, withPort] :
         {std::pair{0u, 0u}, {6u, 10u}, {kMaxNameAnswerBytes + 1, kMaxNameAnswerBytes + 1}, {~0u, ~0u}}) {
        rewrite(IOCTL_GET_HCD_DRIVERKEY_NAME, 0, length);
        EXPECT_FALSE(read()->controllers.front().driverKey) << length;
        rewrite(IOCTL_USB_GET_ROOT_HUB_NAME, 0, length);
        EXPECT_FALSE(read()->controllers.front().rootHub) << length;
        rewrite(IOCTL_USB_GET_NODE_CONNECTION_NAME, 4, withPort);
        EXPECT_FALSE(rootHub(*read()).device(1)->hub) << length;
    }
    stack_.faults = {[](const IoctlCall& call, IoctlAnswer& answer) { answer.bytesReturned = call.outSize + 1; }};
    EXPECT_FALSE(read()->controllers.front().driverKey);  // more bytes returned than there was room for

    stack_.faults = {[](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.code == IOCTL_USB_GET_NODE_CONNECTION_NAME && call.outSize > 10) {
            answer.out[answer.out.size() - 2] = 'Z';  // the NUL becomes a character
        }
    }};
    EXPECT_EQ(rootHub(*read()).device(1)->hub->name, u"HUBZ");
}

// A key that reads as empty is still a key: its controller is walked.
TEST_F(ReadThroughStack, EmptyKeyIsAKey) {
    plugFamily(stack_.addController({.number = 0}).rootHub(u"R", 1), 1, u"H", 0x2744, u"A");
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.code == IOCTL_GET_HCD_DRIVERKEY_NAME && call.outSize > 6) answer.out[4] = answer.out[5] = 0;
    });
    EXPECT_EQ(records()->identityCount, 1);
}

// A port whose query fails has no record at all; an older driver's empty
// port reports full speed.
TEST_F(ReadThroughStack, OlderHubDriverGivesSpeedZeroForLowSpeedAndOneForAnyOther) {
    FamilyHub hub = stack_.addFamilyHubs(1, Link::Usb2)[0];
    (*hub.side(Side::Usb2))->olderDriver = true;
    hub.plug(0).speed(UsbLowSpeed).ids(0xAAAA, 0xBBBB).configured(2);
    hub.plug(1).speed(UsbSuperSpeed).status(DeviceNotEnoughPower);
    hub.plug(3);
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION && call.port == 4) answer.ok = false;
    });
    const auto s = records();
    EXPECT_EQ(s->ports2744[0].speed, 0);
    EXPECT_EQ(s->ports2744[0].vendorId, 0xAAAA);
    EXPECT_EQ(s->ports2744[0].configurationValue, 2);
    EXPECT_EQ(s->ports2744[1].speed, 1);
    EXPECT_EQ(s->ports2744[1].connectionStatus, DeviceNotEnoughPower);
    EXPECT_EQ(s->ports2744[2].speed, 1);
    const PortInfoRecord nothing{};
    EXPECT_EQ(std::memcmp(&s->ports2744[3], &nothing, sizeof nothing), 0);
}

TEST_F(ReadThroughStack, ConfigurationFailingAnyCheckIsAbsentAndHidesTheStrings) {
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
    FamilyHub hub = stack_.addFamilyHubs(1, Link::Usb2)[0];
    int n = 0;
    for (const auto& [bytes, fault] : cases) {
        stack_.faults.clear();
        if (fault) stack_.addFault(fault);
        hub.plug(0).product(u"Hidden").configuration(bytes);
        const auto bus = read();
        EXPECT_TRUE(firstHub(*bus).device(1)->configurations.empty()) << "case " << n;
        EXPECT_EQ(walkRecords(bus)->ports2744[0].product[0], u'\0') << "case " << n++;
    }
}

// String 2 in English is malformed, so the record takes the Japanese one.
TEST_F(ReadThroughStack, StringsAreTakenInTheFirstLanguageThatReadsThem) {
    FamilyHub hub = stack_.addFamilyHubs(1, Link::Usb2)[0];
    const auto productWhenEnglishIs = [&](std::optional<Bytes> english) {
        hub.plug(0).languages({0x0409, 0x0411}).product(u"レシーバー").rawString(2, 0x0409, std::move(english));
        return std::u16string(records()->ports2744[0].product);
    };
    const Bytes malformed[] = {
        {5, 3, 'A', 0, 'B'},     // odd length
        {6, 4, 'A', 0, 'B', 0},  // not a string descriptor
        {8, 3, 'A', 0, 'B', 0},  // longer than what came back
        {4, 3, 'A', 0, 'B', 0},  // shorter than what came back
        {0, 3},                  // no room for its own header
        {},                      // nothing came back
    };
    for (const Bytes& bytes : malformed) EXPECT_EQ(productWhenEnglishIs(bytes), u"レシーバー") << testing::PrintToString(bytes);
    EXPECT_EQ(productWhenEnglishIs(std::nullopt), u"レシーバー");
    EXPECT_EQ(productWhenEnglishIs(Bytes{2, 3}), u"");  // an empty string is a string
    EXPECT_EQ(productWhenEnglishIs(Bytes{6, 3, 'E', 0, 'N', 0}), u"EN");

    // Only the request header came back, with a string type byte behind it:
    // a descriptor of length 0 would leave a negative number of units.
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        if (call.descriptorType == USB_STRING_DESCRIPTOR_TYPE && answer.bytesReturned == 12) answer.out[13] = 3;
    });
    EXPECT_EQ(productWhenEnglishIs(Bytes{}), u"レシーバー");

    const std::u16string longest(126, u'x');
    hub.plug(1).languages({0x0409, 0x0411}).manufacturer(longest).rawString(1, 0x0409, Bytes{7, 3, 'X', 0, 'Y', 0, 0});
    EXPECT_EQ(std::u16string(records()->ports2744[1].manufacturer), longest);
}

// A hub of the family that counts 7 ports has 4 records and is walked to
// port 7; one that counts 2 but answers for 4 has 4 records.
TEST_F(ReadThroughStack, FamilyHubGetsFourRecordsWhateverPortCountItReports) {
    UsbHubDouble root = stack_.addController({.number = 0}).rootHub(u"R", 2);
    UsbHubDouble seven = plugFamily(root, 1, u"SEVEN", 0x2744, u"A").hub();
    seven->portCount = 7;
    seven.plug(4).ids(0x1111, 0x0004);
    seven.plug(5).ids(0x1111, 0x0005);
    plugFamily(seven, 6, u"BEYOND", 0x5744, u"B");  // not a recorded port, but walked
    UsbHubDouble counted = plugFamily(root, 2, u"TWO", 0x2744, u"C").hub();
    counted.plug(4).ids(0x3333, 0x0004);
    stack_.addFault([](const IoctlCall& call, IoctlAnswer& answer) {
        constexpr std::size_t kPortCountAt = offsetof(USB_NODE_INFORMATION, u) + 2;
        // The root hub name's answer shares the code.
        if (call.code != IOCTL_USB_GET_NODE_INFORMATION || call.outSize != sizeof(USB_NODE_INFORMATION)) return;
        if (answer.out[kPortCountAt] == 4) answer.out[kPortCountAt] = 2;
    });

    const auto s = records();
    ASSERT_EQ(s->identityCount, 3);
    EXPECT_EQ(s->ports2744[3].productId, 0x0004);
    EXPECT_EQ(s->ports2744[4].connectionStatus, 0u);  // nothing spills into the next identity
    EXPECT_EQ(s->count5744, 1);                       // B
    EXPECT_EQ(s->ports2744[4 * 2 + 3].vendorId, 0x3333);
}

// Opening "R" or "W" finds the root hub again: a chain of hubs without end,
// and a hub of 255 ports, each a hub like itself. Each is asked once what
// the walk then meets again and again.
TEST_F(ReadThroughStack, HubsThatReportThemselvesBelowThemselvesEndTheRead) {
    stack_.addController({.number = 0, .driverKey = u"0"}).rootHub(u"R", 1).plugHub(1, u"R");
    UsbHubDouble wide = stack_.addController({.number = 1, .driverKey = u"1"}).rootHub(u"W", 255);
    for (int port = 1; port <= 255; ++port) wide.plugHub(port, u"W");
    records();
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_NODE_INFORMATION), 2u + 2 * 2);  // and the root hubs' names
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX), 1u + 255);
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_NODE_CONNECTION_NAME), 2u * (1 + 255));
}

TEST_F(ReadThroughStack, FailuresLeaveTheirItemOut) {
    UsbHubDouble root = stack_.addController({.number = 0}).rootHub(u"R", 3);
    plugFamily(plugFamily(root, 1, u"CLOSED", 0x2744, u"A").hub(), 1, u"BELOW", 0x2744, u"B");
    stack_.failingOpens.push_back(u"\\\\.\\CLOSED");
    plugFamily(root, 2, u"MUTE", 0x2744, u"C").hub()->answersNodeInformation = false;
    plugFamily(root, 3, u"UNREAD", 0x2744, u"D").rawString(3, 0x0409, std::nullopt);  // serial unreadable
    plugFamily(stack_.addController({.number = 1, .driverKey = std::nullopt}).rootHub(u"R1", 1), 1, u"E", 0x2744, u"E");
    stack_.addController({.number = 2, .driverKey = u"NOROOT"});
    plugFamily(stack_.addController({.interfacePath = u"L", .driverKey = u"L"}).rootHub(u"RL", 1), 1, u"F", 0x2744,
               u"F");
    stack_.interfaceListFails = true;

    const auto s = records();
    ASSERT_EQ(s->identityCount, 1);
    EXPECT_EQ(std::u16string(s->serials[0]), u"");  // recorded under the empty serial
    EXPECT_EQ(s->count2744, 1);
}

// Each working device's serial at the place of its record, on both sides of
// a hub.
TEST_F(ReadThroughStack, KeepsTheSerialsOfTheDevicesOnTheFamilysPorts) {
    FamilyHub hub = stack_.addFamilyHubs(1, Link::Usb3)[0];
    hub.plug(0).serial(u"USB2-SIDE");
    hub.plug(2, Side::SuperSpeed).serial(u"SS-SIDE").product(u"Drive");
    hub.plug(3).product(u"No serial");
    hub.plug(1).serial(u"BROKEN").status(DeviceFailedEnumeration);
    DeviceSerials serials;
    records(&serials);
    EXPECT_EQ(serials.ports2744[0], u"USB2-SIDE");
    EXPECT_EQ(serials.ports5744[2], u"SS-SIDE");
    EXPECT_EQ(serials.ports2744[3], u"");
    EXPECT_EQ(serials.ports2744[1], u"");  // strings are read from working devices only
}

// Every port costs its connection. Strings, behind the configuration in two
// steps and the language list, are read only where a record or a serial
// shows them: of a hub device of the family its serial, of a device on its
// ports the three strings, each in the first language that reads.
TEST_F(ReadThroughStack, AsksOnlyWhatTheRecordsShow) {
    UsbHubDouble root = stack_.addController({.number = 0}).rootHub(u"R", 2);
    root.plug(1).manufacturer(u"M");                                                                   // 1
    UsbDeviceDouble hubDevice = plugFamily(root, 2, u"H", 0x2744, u"S").manufacturer(u"M").product(u"P");  // 5
    hubDevice.hub().plug(1).languages({0x0409, 0x0407}).manufacturer(u"M").product(u"P");              // 6
    hubDevice.hub().plug(2).string(4, u"I").configuration(UsbDeviceDouble::configurationWith(0, 4));   // 1
    records();
    // The controller's two names in two steps and the root hub's node
    // information; the family hub's name in two steps and node information;
    // two of its ports empty.
    EXPECT_EQ(stack_.ioctlCount(), 5u + 1 + 5 + 3 + 6 + 1 + 2);
}

}  // namespace
}  // namespace vostrel::test
