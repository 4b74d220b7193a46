// The walk over controllers, root hubs and hubs, and how it records the
// family's hubs.
#include <gtest/gtest.h>

#include <cstring>

#include "scan/controller_list.h"
#include "scan/usb_tree_scan.h"
#include "scan_fixture.h"

namespace vostrel::test {
namespace {

using namespace usb;

// A hub device of the family on `port` of `hub`, with a hub named `name`.
UsbDeviceDouble plugFamily(UsbHubDouble hub, int port, std::u16string name, std::uint16_t productId,
                            std::u16string serial) {
    return hub.plugHub(port, std::move(name)).ids(0x0424, productId).serial(std::move(serial));
}

std::u16string serialOf(const ScanBuffer& scan, int k) { return scan.serials[k]; }

std::unique_ptr<ScanBuffer> scan(platform::UsbStack& stack) {
    auto buffer = std::make_unique<ScanBuffer>();
    ScanUsbTree(stack, *buffer);
    return buffer;
}

using TreeScan = ScanTest;

// Controller 2 is also on the interface list, and scanned once; keys that
// differ only in case belong to two controllers.
TEST_F(TreeScan, IdentitiesFollowNumberedControllersDownwardsThenTheListDepthFirst) {
    UsbHubDouble two =
        stack_.addController({.number = 2, .interfacePath = u"\\\\?\\PCI#2", .driverKey = u"K"}).rootHub(u"R2", 3);
    UsbHubDouble listed = stack_.addController({.interfacePath = u"\\\\?\\L", .driverKey = u"L"}).rootHub(u"RL", 1);
    UsbHubDouble seven = stack_.addController({.number = 7, .driverKey = u"l"}).rootHub(u"R7", 1);
    plugFamily(listed, 1, u"HL", 0x2744, u"LISTED");
    plugFamily(seven, 1, u"H7", 0x2744, u"SEVEN");
    // On controller 2: a hub of another make on port 1 with a family hub
    // below it, which has a family hub below itself; a family hub on port 2;
    // a device with the family's ids that is no hub on port 3.
    UsbHubDouble other = two.plugHub(1, u"OTHER").ids(0x05E3, 0x0608).hub();
    UsbHubDouble outer = plugFamily(other, 3, u"OUTER", 0x2744, u"OUTER").hub();
    plugFamily(outer, 4, u"INNER", 0x2744, u"INNER");
    plugFamily(two, 2, u"LAST", 0x5744, u"LAST");
    two.plug(3).ids(0x0424, 0x2744).serial(u"NOHUB");

    const auto s = scan(stack_);
    ASSERT_EQ(s->identityCount, 5);
    const std::u16string order[] = {u"SEVEN", u"OUTER", u"INNER", u"LAST", u"LISTED"};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(serialOf(*s, k), order[k]);
    EXPECT_EQ(s->count2744, 4);
    EXPECT_EQ(s->count5744, 1);
    EXPECT_EQ(s->ports2744[1 * 4 + 3].productId, 0x2744);  // the outer hub records the inner one
    EXPECT_TRUE(controllerListed(u"K"));
    EXPECT_EQ(Hub_CleanupInfoList(), 1);
    EXPECT_FALSE(controllerListed(u"K"));
}

TEST_F(TreeScan, FamilyHubGetsFourRecordsWhateverPortCountItReports) {
    UsbHubDouble hub = plugFamily(stack_.addController({.number = 0}).rootHub(u"R", 1), 1, u"L", 0x2744, u"A").hub();
    hub->portCount = 7;
    hub.plug(4).ids(0x1111, 0x0004);
    hub.plug(5).ids(0x1111, 0x0005);
    plugFamily(hub, 6, u"BEYOND", 0x5744, u"B");  // not a recorded port, but walked
    const auto s = scan(stack_);
    ASSERT_EQ(s->identityCount, 2);
    EXPECT_EQ(s->ports2744[3].productId, 0x0004);
    EXPECT_EQ(s->ports2744[4].connectionStatus, 0u);  // nothing spills into the next identity
}

TEST_F(TreeScan, EqualSerialsShareOneIdentityAndTheLaterHubReplacesTheEarlier) {
    UsbHubDouble root = stack_.addController({.number = 0}).rootHub(u"R", 4);
    UsbHubDouble first = plugFamily(root, 1, u"FIRST", 0x2744, u"SAME").hub();
    first.plug(1).manufacturer(u"Earlier");
    first.plug(2);
    UsbHubDouble second = plugFamily(root, 2, u"SECOND", 0x2744, u"SAME").hub();
    second.plug(1).ids(0x2222, 0x0001);
    second->portCount = 1;  // its port 2 cannot be asked
    // Hub devices without a readable serial share the empty one, whatever
    // their product.
    root.plugHub(3, u"NOSERIAL1").ids(0x0424, 0x2744);
    root.plugHub(4, u"NOSERIAL2").ids(0x0424, 0x5744).serial(u"S").languages({});

    const auto s = scan(stack_);
    EXPECT_EQ(s->identityCount, 2);
    EXPECT_EQ(s->count2744, 3);
    EXPECT_EQ(s->count5744, 1);
    EXPECT_EQ(serialOf(*s, 1), u"");
    EXPECT_EQ(s->ports2744[0].vendorId, 0x2222);
    EXPECT_EQ(s->ports2744[0].manufacturer[0], u'\0');  // nothing of the earlier hub is left
    EXPECT_EQ(s->ports2744[1].vendorId, 0);
}

TEST_F(TreeScan, OnlyTheFirst32IdentitiesAndHubDevicesPerProductAreRecorded) {
    auto hubs = stack_.addFamilyHubs(34, Link::Usb3);  // each shows one of its hub devices only
    for (std::size_t i = 0; i < hubs.size(); ++i) (i % 2 ? hubs[i].device5744 : hubs[i].device2744)->ids(1, 1);
    auto s = scan(stack_);
    EXPECT_EQ(s->identityCount, 32);
    EXPECT_EQ(s->count5744, 16);
    EXPECT_EQ(s->count2744, 16);
    EXPECT_EQ(serialOf(*s, 31), u"VH0032");

    UsbStackDouble same;  // 33 hub devices under one serial
    for (FamilyHub& hub : same.addFamilyHubs(33, Link::Usb2)) hub.device2744->serial(u"ONE");
    s = scan(same);
    EXPECT_EQ(s->identityCount, 1);
    EXPECT_EQ(s->count2744, 32);
}

// Opening "R" or "W" finds the root hub again: a chain of hubs without end,
// and a hub of 255 ports, each a hub like itself.
TEST_F(TreeScan, HubsThatReportThemselvesBelowThemselvesEndTheWalk) {
    stack_.addController({.number = 0, .driverKey = u"0"}).rootHub(u"R", 1).plugHub(1, u"R");
    UsbHubDouble wide = stack_.addController({.number = 1, .driverKey = u"1"}).rootHub(u"W", 255);
    for (int port = 1; port <= 255; ++port) wide.plugHub(port, u"W");
    scan(stack_);
    EXPECT_LE(stack_.openCount(), 10u + (1 + kMaxHubDepth) + kMaxHubsPerController);
}

TEST_F(TreeScan, FailuresLeaveTheirItemOut) {
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

    const auto s = scan(stack_);
    ASSERT_EQ(s->identityCount, 1);
    EXPECT_EQ(serialOf(*s, 0), u"");  // recorded under the empty serial
    EXPECT_EQ(s->count2744, 1);
}

// A caller that hands over a table gets each working device's serial at the
// place of its record, on both sides of a hub; the scan asks nothing more
// for it. Without a table the scan keeps none.
TEST_F(TreeScan, KeepsTheDevicesSerialsOnlyWhenGivenATable) {
    FamilyHub hub = stack_.addFamilyHubs(1, Link::Usb3)[0];
    hub.plug(0).serial(u"USB2-SIDE");
    hub.plug(2, Side::SuperSpeed).serial(u"SS-SIDE").product(u"Drive");
    hub.plug(3).product(u"No serial");
    hub.plug(1).serial(u"BROKEN").status(DeviceFailedEnumeration);

    const auto plain = scan(stack_);
    const std::uint64_t questions = stack_.ioctlCount();
    EXPECT_EQ(plain->deviceSerials, nullptr);

    DeviceSerials serials;
    serials.ports2744[3] = u"stale";
    auto kept = std::make_unique<ScanBuffer>();
    kept->deviceSerials = &serials;
    ScanUsbTree(stack_, *kept);
    EXPECT_EQ(stack_.ioctlCount(), 2 * questions);
    EXPECT_EQ(serials.ports2744[0], u"USB2-SIDE");
    EXPECT_EQ(serials.ports5744[2], u"SS-SIDE");
    EXPECT_EQ(serials.ports2744[3], u"");  // cleared: the device names none
    EXPECT_EQ(serials.ports2744[1], u"");  // strings are read from working devices only
    EXPECT_EQ(serials.ports5744[0], u"");
    EXPECT_EQ(std::memcmp(plain->ports2744, kept->ports2744, sizeof plain->ports2744), 0);
}

// The walk asks each question it needs once, and no other. A device costs
// its connection and its configuration in two steps, then, when it names any
// string, the language list and each string in each language.
TEST_F(TreeScan, AsksEachQuestionOnce) {
    UsbHubDouble root = stack_.addController({.number = 0}).rootHub(u"R", 2);
    root.plug(1);  // 3
    UsbDeviceDouble hubDevice = plugFamily(root, 2, u"H", 0x2744, u"S").manufacturer(u"M").product(u"P");  // 7
    hubDevice.hub().plug(1).languages({0x0409, 0x0407}).manufacturer(u"M").product(u"P");              // 8
    hubDevice.hub().plug(2).string(4, u"I").configuration(UsbDeviceDouble::configurationWith(0, 4));   // 5
    scan(stack_);
    // The controller's two names in two steps and the root hub's node
    // information; the family hub's name in two steps and node information;
    // its ports asked for its records, then walked, two of them empty.
    EXPECT_EQ(stack_.ioctlCount(), 5u + 3 + 7 + 3 + 2 * (8 + 5 + 2));
}

}  // namespace
}  // namespace vostrel::test
