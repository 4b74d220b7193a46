// What callers and the monitor read: the block of Hub_GetDeviceInfo, one
// port of its cache, and the monitor's snapshot.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/text.h"
#include "scan/monitor_view.h"
#include "scan_fixture.h"

namespace vostrel::test {
namespace {

using namespace usb;

class DeviceInfo : public ScanTest {
protected:
    DeviceInfoRecord cached(int hub, int port, std::int32_t* result = nullptr) {
        DeviceInfoRecord record;
        std::memset(&record, 0xA5, sizeof record);
        const std::int32_t r = Hub_GetDeviceInfo_Index_and_Port(&record, hub, port);
        if (result != nullptr) *result = r;
        return record;
    }
    DeviceInfoRecord monitored(int hub, int port, std::int32_t* result = nullptr) {
        DeviceInfoRecord record;
        std::memset(&record, 0xA5, sizeof record);
        const std::int32_t r = GetMonitorPortInfo(hub, &record, port);
        if (result != nullptr) *result = r;
        return record;
    }
    void monitorPass() {
        auto out = std::make_unique<DeviceInfoBlock>();
        EXPECT_EQ(BuildMonitorSnapshot(out.get()), 1);
    }
};

template <typename T>
bool allZero(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    return std::all_of(bytes, bytes + sizeof value, [](unsigned char b) { return b == 0; });
}

TEST_F(DeviceInfo, BusWithoutFamilyHubsGivesAZeroBlockAndNoPorts) {
    stack_.addController({.number = 0}).rootHub(u"R", 2).plug(1).product(u"Keyboard");
    auto block = std::make_unique<DeviceInfoBlock>();
    std::memset(block.get(), 0xA5, sizeof *block);
    EXPECT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    EXPECT_TRUE(allZero(*block));
    std::int32_t result = -1;
    EXPECT_TRUE(allZero(cached(0, 0, &result)));
    EXPECT_EQ(result, 0);
}

// One hub on a USB 3 link: a SuperSpeed disk with strings in two languages,
// an unconfigured USB 2 device, a device that failed enumeration, and an
// empty port. The block is compared whole, byte for byte.
TEST_F(DeviceInfo, BlockHoldsExactlyTheMergedPorts) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb3);
    hubs[0]
        .plug(0, Side::SuperSpeed)
        .ids(0x0BC2, 0x2344, 0x0708)
        .deviceClass(0, 0)
        .languages({0x0409, 0x0411})
        .manufacturer(u"Seagull")
        .string(1, 0x0411, u"シーガル")
        .product(u"Portable Disk")
        .serial(u"NA9X");
    hubs[0].plug(1).ids(0x04D8, 0x000A).deviceClass(2, 1).speed(UsbFullSpeed).configured(0).product(u"Serial");
    hubs[0].plug(2).ids(0x0000, 0x0000).status(DeviceFailedEnumeration).product(u"Never read");

    auto block = std::make_unique<DeviceInfoBlock>();
    std::memset(block.get(), 0xA5, sizeof *block);
    ASSERT_EQ(Hub_GetDeviceInfo(block.get()), 1);

    auto expected = std::make_unique<DeviceInfoBlock>();
    std::memset(expected.get(), 0, sizeof *expected);
    expected->hubCount = 1;
    for (int p = 0; p < 4; ++p) {
        expected->port(0, p).hubIndex = 0;
        expected->port(0, p).portIndex = p;
    }
    PortInfoRecord& disk = expected->port(0, 0);
    disk.vendorId = 0x0BC2;
    disk.productId = 0x2344;
    disk.deviceRelease = 0x0708;
    disk.configurationValue = 1;
    disk.speed = UsbSuperSpeed;
    copyText(disk.product, u"Portable Disk");
    copyText(disk.manufacturer, u"Seagull");
    disk.connectionStatus = DeviceConnected;
    PortInfoRecord& serial = expected->port(0, 1);
    serial.deviceClass = 2;
    serial.deviceSubClass = 1;
    serial.vendorId = 0x04D8;
    serial.productId = 0x000A;
    serial.deviceRelease = 0x0100;
    serial.speed = UsbFullSpeed;
    copyText(serial.product, u"Serial");
    serial.connectionStatus = DeviceConnected;
    expected->port(0, 2).speed = UsbHighSpeed;
    expected->port(0, 2).deviceRelease = 0x0100;
    expected->port(0, 2).configurationValue = 1;
    expected->port(0, 2).connectionStatus = DeviceFailedEnumeration;

    for (std::size_t at = 0; at < sizeof *block; ++at) {
        ASSERT_EQ(reinterpret_cast<unsigned char*>(block.get())[at],
                  reinterpret_cast<unsigned char*>(expected.get())[at])
            << "byte " << at;
    }
}

TEST_F(DeviceInfo, EachPortShowsTheSideThatReportsADeviceUsb2First) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb3);
    hubs[0].plug(0, Side::SuperSpeed).ids(0x1111, 0x0003);
    hubs[0].plug(1, Side::SuperSpeed).ids(0x1111, 0x0033);
    hubs[0].plug(1, Side::Usb2).ids(0x2222, 0x0002);
    hubs[0].plug(2, Side::SuperSpeed).ids(0x1111, 0x0333).status(DeviceCausedOvercurrent);
    const auto block = deviceInfo();
    EXPECT_EQ(block->port(0, 0).productId, 0x0003);
    EXPECT_EQ(block->port(0, 1).productId, 0x0002);
    EXPECT_EQ(block->port(0, 2).connectionStatus, DeviceCausedOvercurrent);
    EXPECT_EQ(block->port(0, 3).connectionStatus, 0u);
    EXPECT_EQ(block->port(0, 3).portIndex, 3);
}

// The first hub met hangs on a USB 2 port, the second on a USB 3 port: with
// one 0x5744 hub device counted, only identity 0's SuperSpeed records are
// merged, so the second hub's SuperSpeed device does not show.
TEST_F(DeviceInfo, SuperSpeedRecordsAreMergedOnlyUpToTheirOwnCount) {
    stack_.addFamilyHubs(1, Link::Usb2);
    auto second = stack_.addFamilyHubs(1, Link::Usb3);
    second[0].plug(0, Side::SuperSpeed).ids(0x1111, 0x0003);
    second[0].plug(1, Side::Usb2).ids(0x2222, 0x0002);
    const auto block = deviceInfo();
    EXPECT_EQ(block->hubCount, 2);
    EXPECT_EQ(block->port(1, 0).connectionStatus, 0u);
    EXPECT_EQ(block->port(1, 0).hubIndex, 1);
    EXPECT_EQ(block->port(1, 1).productId, 0x0002);
}

// Hub count comes from the USB 2 side: a hub whose USB 2 device is missing
// is not listed, while its SuperSpeed records still carry their indexes.
TEST_F(DeviceInfo, HubCountIsTheCountOfUsb2HubDevices) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb3);
    hubs[0].device2744->ids(0x0424, 0x2745);
    hubs[0].plug(0, Side::SuperSpeed);
    const auto block = deviceInfo();
    EXPECT_EQ(block->hubCount, 0);
    EXPECT_EQ(block->port(0, 0).connectionStatus, DeviceConnected);
    std::int32_t result = -1;
    cached(0, 0, &result);
    EXPECT_EQ(result, 0);
}

TEST_F(DeviceInfo, OnePortOfTheCacheWithoutItsConfigurationValue) {
    auto hubs = stack_.addFamilyHubs(2, Link::Usb2);
    hubs[1].plug(3).ids(0x1234, 0xABCD).configured(7).product(u"Widget").manufacturer(u"Maker");
    deviceInfo();

    std::int32_t result = -1;
    const DeviceInfoRecord record = cached(1, 3, &result);
    EXPECT_EQ(result, 1);
    DeviceInfoRecord expected{};
    expected.hubIndex = 1;
    expected.portIndex = 3;
    expected.vendorId = 0x1234;
    expected.productId = 0xABCD;
    copyText(expected.product, u"Widget");
    copyText(expected.manufacturer, u"Maker");
    expected.connectionStatus = DeviceConnected;
    EXPECT_EQ(std::memcmp(&record, &expected, sizeof record), 0);

    for (const auto& [hub, port] : {std::pair{2, 0}, {-1, 0}, {0, 4}, {0, -1}, {INT32_MIN, 0}}) {
        SCOPED_TRACE(::testing::Message() << hub << "," << port);
        EXPECT_TRUE(allZero(cached(hub, port, &result)));
        EXPECT_EQ(result, 0);
    }
}

TEST_F(DeviceInfo, CacheAnswersFromTheLastCallUntilTheNextAndStartsEmptyAtLoad) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb2);
    hubs[0].plug(0).ids(0x1234, 0x0001);
    deviceInfo();
    hubs[0].unplug(0);
    EXPECT_EQ(cached(0, 0).productId, 0x0001);
    deviceInfo();
    EXPECT_EQ(cached(0, 0).connectionStatus, 0u);

    hubs[0].plug(0).ids(0x1234, 0x0002);
    deviceInfo();
    libraryUnload();
    libraryLoad();
    platform::useUsbStack(&stack_);
    std::int32_t result = -1;
    cached(0, 0, &result);
    EXPECT_EQ(result, 0);
    monitored(0, 0, &result);
    EXPECT_EQ(result, 0);
}

TEST_F(DeviceInfo, MonitorSnapshotAndCacheAreIndependent) {
    auto hubs = stack_.addFamilyHubs(1, Link::Usb2);
    hubs[0].plug(2).ids(0x1234, 0x0001).configured(3);
    deviceInfo();
    auto out = std::make_unique<DeviceInfoBlock>();
    hubs[0].device(2)->ids(0x1234, 0x0002);
    ASSERT_EQ(BuildMonitorSnapshot(out.get()), 1);
    EXPECT_EQ(out->port(0, 2).productId, 0x0002);

    std::int32_t result = -1;
    const DeviceInfoRecord watched = monitored(0, 2, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(watched.productId, 0x0002);
    EXPECT_EQ(watched.configurationValue, 3);
    EXPECT_EQ(watched.hubIndex, 0);
    EXPECT_EQ(watched.portIndex, 2);
    EXPECT_EQ(cached(0, 2).productId, 0x0001);

    hubs[0].unplug(2);
    deviceInfo();
    EXPECT_EQ(cached(0, 2).connectionStatus, 0u);
    EXPECT_EQ(monitored(0, 2).productId, 0x0002);

    monitored(1, 0, &result);
    EXPECT_EQ(result, 0);
    monitored(0, 4, &result);
    EXPECT_EQ(result, 0);
}

TEST_F(DeviceInfo, MonitorSeesDevicesVanishFailAndChange) {
    auto hubs = stack_.addFamilyHubs(3, Link::Usb3);
    UsbDeviceDouble& camera = hubs[2].plug(1).ids(0x1234, 0x0042).product(u"Camera");
    monitorPass();
    EXPECT_EQ(monitored(2, 1).connectionStatus, DeviceConnected);
    camera.status(DeviceGeneralFailure);
    monitorPass();
    EXPECT_EQ(monitored(2, 1).connectionStatus, DeviceGeneralFailure);
    EXPECT_EQ(monitored(2, 1).product[0], u'\0');
    camera.status(DeviceConnected).configured(0);
    monitorPass();
    EXPECT_EQ(monitored(2, 1).configurationValue, 0);
    camera.configured(1).ids(0x9999, 0x0001);
    monitorPass();
    EXPECT_EQ(monitored(2, 1).vendorId, 0x9999);
    hubs[2].unplug(1);
    monitorPass();
    EXPECT_EQ(monitored(2, 1).connectionStatus, NoDeviceConnected);
}

}  // namespace
}  // namespace vostrel::test
