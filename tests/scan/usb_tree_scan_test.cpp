// The walk over controllers, root hubs and hubs, and how it records the
// family's hubs.
#include <gtest/gtest.h>

#include "scan/controller_list.h"
#include "scan_fixture.h"

namespace vostrel::test {
namespace {

using namespace usb;

// A hub device of the family on `port` of `hub`, with a hub named `name`.
UsbDeviceDouble& plugFamily(UsbHubDouble& hub, int port, std::u16string name, std::uint16_t productId,
                            std::u16string serial) {
    return hub.plugHub(port, std::move(name)).ids(0x0424, productId).serial(std::move(serial));
}

std::u16string serialOf(const ScanBuffer& scan, int k) { return scan.serials[k]; }

class TreeScan : public ScanTest {};

TEST_F(TreeScan, BusWithoutFamilyHubsRecordsNothing) {
    UsbHubDouble& root = stack_.addController({.number = 0}).rootHub(u"R", 4);
    root.plugHub(1, u"OTHER").ids(0x05E3, 0x0610).hub()->plug(1).ids(0x0424, 0x5744);  // not a hub
    root.plug(2).ids(0x0424, 0x2744);                                                    // not a hub either
    const auto s = scan();
    EXPECT_EQ(s->count5744, 0);
    EXPECT_EQ(s->count2744, 0);
    EXPECT_EQ(s->identityCount, 0);
}

TEST_F(TreeScan, HubOnUsb2PortHasOnlyItsUsb2Side) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb2);
    hubs[0].plug(1).product(u"Stick");
    const auto s = scan();
    EXPECT_EQ(s->count5744, 0);
    EXPECT_EQ(s->count2744, 1);
    EXPECT_EQ(s->identityCount, 1);
    EXPECT_EQ(serialOf(*s, 0), u"VH0001");
    EXPECT_EQ(std::u16string(s->ports2744[1].product), u"Stick");
    EXPECT_EQ(s->ports5744[1].connectionStatus, 0u);
}

TEST_F(TreeScan, HubOnUsb3PortJoinsBothSidesUnderOneIdentity) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb3);
    hubs[0].plug(0, Side::SuperSpeed).product(u"Disk");
    hubs[0].plug(2).product(u"Mouse");
    const auto s = scan();
    EXPECT_EQ(s->count5744, 1);
    EXPECT_EQ(s->count2744, 1);
    EXPECT_EQ(s->identityCount, 1);
    EXPECT_EQ(std::u16string(s->ports5744[0].product), u"Disk");
    EXPECT_EQ(s->ports5744[0].speed, UsbSuperSpeed);
    EXPECT_EQ(std::u16string(s->ports2744[2].product), u"Mouse");
    EXPECT_EQ(s->ports2744[0].connectionStatus, 0u);
}

TEST_F(TreeScan, ControllerReachedByNumberAndThroughTheListIsScannedOnce) {
    UsbHubDouble& root = stack_.addController({.number = 4, .interfacePath = u"\\\\?\\PCI#HC4"}).rootHub(u"R", 1);
    plugFamily(root, 1, u"H", 0x2744, u"S");
    const auto s = scan();
    EXPECT_EQ(s->count2744, 1);
    EXPECT_EQ(s->identityCount, 1);
    EXPECT_EQ(stack_.ioctlCount(IOCTL_GET_HCD_DRIVERKEY_NAME), 4u);  // two meetings, two steps each
    // Root hub name (two steps) and the node information of the two hubs
    // share one code: only the first meeting goes on to the root hub.
    EXPECT_EQ(stack_.ioctlCount(IOCTL_USB_GET_ROOT_HUB_NAME), 2u + 2u);
}

TEST_F(TreeScan, ControllerKeysDifferingOnlyInCaseAreTwoControllers) {
    plugFamily(stack_.addController({.number = 1, .driverKey = u"{ab}\\0001"}).rootHub(u"R1", 1), 1, u"H1",
               0x2744, u"S1");
    plugFamily(stack_.addController({.number = 2, .driverKey = u"{AB}\\0001"}).rootHub(u"R2", 1), 1, u"H2",
               0x2744, u"S2");
    EXPECT_EQ(scan()->count2744, 2);
}

TEST_F(TreeScan, IdentitiesFollowNumberedControllersDownwardsThenTheListDepthFirst) {
    UsbHubDouble& listed = stack_.addController({.interfacePath = u"\\\\?\\PCI#L", .driverKey = u"L"}).rootHub(u"RL", 1);
    UsbHubDouble& two = stack_.addController({.number = 2, .driverKey = u"2"}).rootHub(u"R2", 2);
    UsbHubDouble& seven = stack_.addController({.number = 7, .driverKey = u"7"}).rootHub(u"R7", 1);
    plugFamily(listed, 1, u"HL", 0x2744, u"LISTED");
    plugFamily(seven, 1, u"H7", 0x2744, u"SEVEN");
    // On controller 2: a hub of another make on port 1 with a family hub
    // below it, which has a family hub below itself; a family hub on port 2.
    UsbHubDouble& other = *two.plugHub(1, u"OTHER").ids(0x05E3, 0x0608).hub();
    UsbHubDouble& outer = *plugFamily(other, 3, u"OUTER", 0x2744, u"OUTER").hub();
    plugFamily(outer, 4, u"INNER", 0x2744, u"INNER");
    plugFamily(two, 2, u"LAST", 0x5744, u"LAST");

    const auto s = scan();
    ASSERT_EQ(s->identityCount, 5);
    EXPECT_EQ(serialOf(*s, 0), u"SEVEN");
    EXPECT_EQ(serialOf(*s, 1), u"OUTER");
    EXPECT_EQ(serialOf(*s, 2), u"INNER");
    EXPECT_EQ(serialOf(*s, 3), u"LAST");
    EXPECT_EQ(serialOf(*s, 4), u"LISTED");
    EXPECT_EQ(s->count2744, 4);
    EXPECT_EQ(s->count5744, 1);
    // The outer family hub records the inner one on its port 4.
    EXPECT_EQ(s->ports2744[1 * 4 + 3].productId, 0x2744);
    EXPECT_EQ(s->ports5744[3 * 4 + 0].connectionStatus, 0u);
}

TEST_F(TreeScan, FamilyHubGetsFourRecordsWhateverPortCountItReports) {
    UsbHubDouble& root = stack_.addController({.number = 0}).rootHub(u"R", 2);
    UsbHubDouble& small = *plugFamily(root, 1, u"SMALL", 0x2744, u"A").hub();
    small.reportedPorts(2);
    small.plug(2);
    UsbHubDouble& large = *plugFamily(root, 2, u"LARGE", 0x2744, u"B").hub();
    large.reportedPorts(7);
    large.plug(4).ids(0x1111, 0x0004);
    plugFamily(large, 6, u"BEYOND", 0x2744, u"C");  // not a recorded port, but walked

    const auto s = scan();
    ASSERT_EQ(s->identityCount, 3);
    EXPECT_EQ(s->ports2744[1].connectionStatus, DeviceConnected);
    EXPECT_EQ(s->ports2744[2].connectionStatus, 0u);
    EXPECT_EQ(s->ports2744[3].connectionStatus, 0u);
    EXPECT_EQ(s->ports2744[4 + 3].productId, 0x0004);
    EXPECT_EQ(serialOf(*s, 2), u"C");
}

TEST_F(TreeScan, EqualSerialsShareOneIdentityAndTheLaterHubReplacesTheEarlier) {
    UsbHubDouble& root = stack_.addController({.number = 0}).rootHub(u"R", 4);
    UsbHubDouble& first = *plugFamily(root, 1, u"FIRST", 0x2744, u"SAME").hub();
    first.plug(1).ids(0x1111, 0x0001).manufacturer(u"Earlier");
    first.plug(2).ids(0x1111, 0x0002);
    UsbHubDouble& second = *plugFamily(root, 2, u"SECOND", 0x2744, u"SAME").hub();
    second.plug(1).ids(0x2222, 0x0001);
    second.reportedPorts(1);  // its port 2 cannot be asked
    // Two hubs without any serial string share the empty serial.
    root.plugHub(3, u"NOSERIAL1").ids(0x0424, 0x2744);
    root.plugHub(4, u"NOSERIAL2").ids(0x0424, 0x2744).serial(u"").languages({});

    const auto s = scan();
    EXPECT_EQ(s->identityCount, 2);
    EXPECT_EQ(s->count2744, 4);
    EXPECT_EQ(serialOf(*s, 1), u"");
    EXPECT_EQ(s->ports2744[0].vendorId, 0x2222);
    EXPECT_EQ(s->ports2744[0].manufacturer[0], u'\0');  // nothing of the earlier hub is left
    EXPECT_EQ(s->ports2744[1].vendorId, 0);
}

TEST_F(TreeScan, OnlyTheFirst32IdentitiesAndHubDevicesPerProductAreRecorded) {
    stack_.addFamilyHubs(34, Link::Usb3);
    auto s = scan();
    EXPECT_EQ(s->identityCount, 32);
    EXPECT_EQ(s->count5744, 32);
    EXPECT_EQ(s->count2744, 32);
    EXPECT_EQ(serialOf(*s, 31), u"VH0032");

    // 33 hub devices under one serial: the 33rd is not counted.
    UsbStackDouble same;
    platform::useUsbStack(&same);
    for (FamilyHub& hub : same.addFamilyHubs(33, Link::Usb2)) hub.device2744->serial(u"ONE");
    s = scan();
    EXPECT_EQ(s->identityCount, 1);
    EXPECT_EQ(s->count2744, 32);
    EXPECT_EQ(same.openHandles(), 0u);
    platform::useUsbStack(&stack_);
}

TEST_F(TreeScan, HubsThatReportThemselvesBelowThemselvesEndTheWalk) {
    UsbHubDouble& deep = stack_.addController({.number = 0}).rootHub(u"R", 1);
    deep.plugHub(1, u"R");  // opening "R" finds the root hub again
    scan();
    EXPECT_LE(stack_.openCount(), 10u + 1u + kMaxHubDepth);

    UsbStackDouble wide;
    platform::useUsbStack(&wide);
    UsbHubDouble& root = wide.addController({.number = 0}).rootHub(u"W", 255);
    for (int port = 1; port <= 255; ++port) root.plugHub(port, u"W");
    scan();
    EXPECT_LE(wide.openCount(), 10u + kMaxHubsPerController + 1u);
    EXPECT_EQ(wide.openHandles(), 0u);
    platform::useUsbStack(&stack_);
}

TEST_F(TreeScan, FailuresLeaveTheirItemOut) {
    UsbHubDouble& root = stack_.addController({.number = 0}).rootHub(u"R", 4);
    UsbHubDouble& closed = *plugFamily(root, 1, u"CLOSED", 0x2744, u"A").hub();
    plugFamily(closed, 1, u"BELOW", 0x2744, u"B");
    stack_.failOpen(u"\\\\.\\CLOSED");
    plugFamily(root, 2, u"MUTE", 0x2744, u"C").hub()->failNodeInformation();
    plugFamily(root, 3, u"UNREAD", 0x2744, u"D").refuseString(3, 0x0409);  // serial unreadable
    plugFamily(stack_.addController({.number = 1, .driverKey = std::nullopt}).rootHub(u"NOKEY", 1), 1, u"E",
               0x2744, u"E");
    stack_.addController({.number = 2, .driverKey = u"NOROOT"});
    plugFamily(stack_.addController({.interfacePath = u"\\\\?\\LISTED", .driverKey = u"L"}).rootHub(u"RL", 1),
               1, u"F", 0x2744, u"F");
    stack_.interfaceListFails();

    const auto s = scan();
    ASSERT_EQ(s->identityCount, 1);
    EXPECT_EQ(serialOf(*s, 0), u"");  // recorded under the empty serial
    EXPECT_EQ(s->count2744, 1);
}

TEST_F(TreeScan, ControllerListHoldsTheKeysOfThisScanOnly) {
    stack_.addController({.number = 3, .driverKey = u"K3"}).rootHub(u"R", 0);
    scan();
    EXPECT_TRUE(controllerListed(u"K3"));
    EXPECT_EQ(Hub_CleanupInfoList(), 1);
    EXPECT_FALSE(controllerListed(u"K3"));
    scan();
    EXPECT_TRUE(controllerListed(u"K3"));
}

// The walk asks each question the algorithm needs once, and no other.
TEST_F(TreeScan, AsksEachQuestionOnce) {
    UsbHubDouble& root = stack_.addController({.number = 0}).rootHub(u"R", 2);
    root.plug(1);  // names no strings
    UsbHubDouble& family = *plugFamily(root, 2, u"H", 0x2744, u"S").manufacturer(u"M").product(u"P").hub();
    family.plug(1).languages({0x0409, 0x0407}).manufacturer(u"M").product(u"P");
    scan();

    const std::uint64_t controller = 2 + 2;      // driver key, root hub name
    const std::uint64_t rootHub = 1;             // node information
    const std::uint64_t plain = 1 + 2;           // connection, configuration twice
    const std::uint64_t familyDevice = 1 + 2 + 1 + 3;  // ... languages, three strings in one language
    const std::uint64_t hubName = 2;
    const std::uint64_t familyHub = 1;           // node information
    const std::uint64_t stringDevice = 1 + 2 + 1 + 2 * 2;  // two strings in two languages
    const std::uint64_t emptyPorts = 3;          // connection only
    // Ports 1 to 4 of a family hub are asked for its record, then walked.
    const std::uint64_t expected = controller + rootHub + plain + familyDevice + hubName + familyHub +
                                   2 * (stringDevice + emptyPorts);
    EXPECT_EQ(stack_.ioctlCount(), expected);
}

}  // namespace
}  // namespace vostrel::test
