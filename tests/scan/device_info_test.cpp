// What callers and the monitor read: the block of Hub_GetDeviceInfo, one
// port of its cache, and the monitor's snapshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "scan/monitor_view.h"
#include "scan_fixture.h"

// Expected records name only their nonzero fields.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vostrel::test {
namespace {

using namespace usb;

constexpr bool kMonitor = true;

class DeviceInfo : public ScanTest {
protected:
    // One port of the cache or of the monitor's snapshot; `result` receives
    // the call's result.
    static DeviceInfoRecord port(int hub, int port, std::int32_t* result = nullptr, bool monitor = false) {
        DeviceInfoRecord record;
        std::memset(&record, 0xA5, sizeof record);
        const std::int32_t r = monitor ? GetMonitorPortInfo(hub, &record, port)
                                       : Hub_GetDeviceInfo_Index_and_Port(&record, hub, port);
        if (result != nullptr) *result = r;
        return record;
    }
};

// Met in this order: hub 0 on a USB 3 link, hub 1 on USB 2, hub 2 on USB 3
// without its 0x2744 device, hub 3 on USB 2: three 0x2744 and two 0x5744 hub
// devices under four identities. A port shows its USB 2 side's record when
// that has a device, else its SuperSpeed side's. Hub 2's USB 2 side is no
// hub of the family: the hub is kept with its SuperSpeed side alone, and
// hub 3 after it is not lost.
TEST_F(DeviceInfo, BlockHoldsExactlyTheMergedPorts) {
    std::vector<FamilyHub> hubs;
    for (const Link link : {Link::Usb3, Link::Usb2, Link::Usb3, Link::Usb2}) {
        hubs.push_back(stack_.addFamilyHubs(1, link)[0]);
    }
    hubs[2].device2744->ids(0x0424, 0x2745);
    hubs[2].plug(0, Side::SuperSpeed).ids(0x1111, 0x2222);
    hubs[3].plug(3).ids(0x3333, 0x4444);
    hubs[0].plug(0, Side::SuperSpeed).ids(0x0BC2, 0x2344, 0x0708).languages({0x0409, 0x0411}).serial(u"NA9X");
    hubs[0].device(0, Side::SuperSpeed)->manufacturer(u"Seagull").string(1, 0x0411, u"シーガル").product(u"Portable Disk");
    hubs[0].plug(1, Side::SuperSpeed).product(u"Hidden");
    hubs[0].plug(1).ids(0x04D8, 0x000A).deviceClass(2, 1).speed(UsbFullSpeed).configured(0).product(u"Serial");
    hubs[0].plug(2, Side::SuperSpeed).ids(0, 0).status(DeviceFailedEnumeration).product(u"Never read");

    auto block = std::make_unique<DeviceInfoBlock>();
    std::memset(block.get(), 0xA5, sizeof *block);
    ASSERT_EQ(Hub_GetDeviceInfo(block.get()), 1);

    auto expected = std::make_unique<DeviceInfoBlock>();
    expected->hubCount = 4;
    expected->ports[0] = {.vendorId = 0x0BC2, .productId = 0x2344, .deviceRelease = 0x0708, .configurationValue = 1,
                          .speed = UsbSuperSpeed, .product = u"Portable Disk", .manufacturer = u"Seagull",
                          .connectionStatus = DeviceConnected};
    expected->ports[1] = {.deviceClass = 2, .deviceSubClass = 1, .vendorId = 0x04D8, .productId = 0x000A,
                          .deviceRelease = 0x0100, .speed = UsbFullSpeed, .product = u"Serial",
                          .connectionStatus = DeviceConnected};
    expected->ports[2] = {.deviceRelease = 0x0100, .configurationValue = 1, .speed = UsbSuperSpeed,
                          .connectionStatus = DeviceFailedEnumeration};
    expected->ports[8] = {.vendorId = 0x1111, .productId = 0x2222, .deviceRelease = 0x0100, .configurationValue = 1,
                          .speed = UsbSuperSpeed, .connectionStatus = DeviceConnected};
    expected->ports[15] = {.vendorId = 0x3333, .productId = 0x4444, .deviceRelease = 0x0100, .configurationValue = 1,
                           .speed = UsbHighSpeed, .connectionStatus = DeviceConnected};
    for (int i = 0; i < 4 * kPortsPerHub; ++i) {
        expected->ports[i].hubIndex = i / kPortsPerHub;
        expected->ports[i].portIndex = i % kPortsPerHub;
    }
    const auto* got = reinterpret_cast<const unsigned char*>(block.get());
    const auto* want = reinterpret_cast<const unsigned char*>(expected.get());
    EXPECT_EQ(std::mismatch(got, got + sizeof *block, want).first - got, sizeof *block) << "first differing byte";
}

// The USB 2.0 half of the first of two USB 3 hubs does not answer: that hub
// is kept with its SuperSpeed half, and the second hub, healthy, is still
// hub 1 with its devices, as the vendor library numbers them.
TEST_F(DeviceInfo, AHubWithoutItsUsb2HalfCostsNoOtherHub) {
    auto hubs = stack_.addFamilyHubs(2, Link::Usb3);
    hubs[0].plug(1, Side::SuperSpeed).ids(0x1111, 0x2222);
    hubs[1].plug(2).ids(0x3333, 0x4444);
    (*hubs[0].side(Side::Usb2))->answersNodeInformation = false;
    const auto block = deviceInfo();
    ASSERT_EQ(block->hubCount, 2);
    EXPECT_EQ(portRecord(*block, 0, 1).vendorId, 0x1111);
    EXPECT_EQ(portRecord(*block, 1, 2).vendorId, 0x3333);
    EXPECT_EQ(portRecord(*block, 1, 2).connectionStatus, DeviceConnected);
}

TEST_F(DeviceInfo, OnePortComesFromTheLastCallsCacheWithoutItsConfigurationValue) {
    auto hubs = stack_.addFamilyHubs(2, Link::Usb2);
    hubs[1].plug(3).ids(0x1234, 0xABCD).configured(7).product(u"Widget").manufacturer(u"Maker");
    deviceInfo();
    hubs[1].unplug(3);
    stack_.resetCounts();

    std::int32_t result = -1;
    const DeviceInfoRecord record = port(1, 3, &result);
    EXPECT_EQ(result, 1);
    DeviceInfoRecord expected = makeRecord(1, 3, 0x1234, 0xABCD, u"Widget", u"Maker");
    expected.connectionStatus = DeviceConnected;
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);
    EXPECT_EQ(stack_.ioctlCount(), 0u);

    const DeviceInfoRecord zero{};
    for (const auto& [hub, p] : {std::pair{2, 0}, {-1, 0}, {0, 4}, {0, -1}, {INT32_MIN, 0}}) {
        const DeviceInfoRecord refused = port(hub, p, &result);
        EXPECT_EQ(std::memcmp(&refused, &zero, sizeof zero), 0) << hub << "," << p;
        EXPECT_EQ(result, 0);
    }
    libraryUnload();
    libraryLoad();
    port(1, 3, &result);
    EXPECT_EQ(result, 0);  // the cache starts empty at load
}

TEST_F(DeviceInfo, MonitorSnapshotAndCacheAreIndependent) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb2);
    hubs[0].plug(2).ids(0x1234, 0x0001).configured(3);
    deviceInfo();
    hubs[0].device(2)->ids(0x1234, 0x0002);
    auto out = std::make_unique<DeviceInfoBlock>();
    ASSERT_EQ(BuildMonitorSnapshot(out.get()), 1);
    EXPECT_EQ(portRecord(*out, 0, 2).productId, 0x0002);

    std::int32_t result = -1;
    const DeviceInfoRecord watched = port(0, 2, &result, kMonitor);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(watched.productId, 0x0002);
    EXPECT_EQ(watched.configurationValue, 3);
    EXPECT_EQ(watched.portIndex, 2);
    EXPECT_EQ(port(0, 2).productId, 0x0001);

    hubs[0].unplug(2);
    deviceInfo();
    EXPECT_EQ(port(0, 2).connectionStatus, 0u);
    EXPECT_EQ(port(0, 2, nullptr, kMonitor).productId, 0x0002);
    port(1, 0, &result, kMonitor);
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace vostrel::test
