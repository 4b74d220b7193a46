// Auto recovery on a machine whose bus is a umockdev test bed: the hub
// library scans it through its own Linux stack and switches ports through
// the native vendor library, which writes the kernel's `disable` attributes.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <vostrel/hub_api.h>

#include "emulated_hubs.h"
#include "loaded_library.h"
#include "native_bed.h"
#include "platform/clock.h"
#include "recovery/monitor.h"
#include "stepped_clock.h"
#include "test_benches.h"

namespace vostrel::test {
namespace {

const std::string kHub = "/sys/devices/pci0000:00/0000:00:10.0/usb1/1-1";
const std::string kWidget = kHub + "/1-1.2";
const std::string kUsb2Switch = kHub + "/1-1:1.0/1-1-port2/disable";
const std::string kSuperSpeedSwitch = "/sys/devices/pci0000:00/0000:00:10.0/usb2/2-1/2-1:1.0/2-1-port2/disable";

class MonitorOnBed : public LoadedLibrary {
protected:
    void SetUp() override {
        ::unsetenv("VOSTREL_USBSTACK");
        // Loaded by path first, it is the library that the hub library's
        // dlopen("libpt2lib.so") finds, by its soname.
        native_ = ::dlopen(NATIVE_PT2LIB, RTLD_NOW | RTLD_GLOBAL);
        ASSERT_NE(native_, nullptr) << ::dlerror();
        bus_.load(bedOf(kOneHub));
        hubs_.attachFamilyHubs(bus_);
        useMonitorClock(clock_);
        LoadedLibrary::SetUp();
    }
    void TearDown() override {
        LoadedLibrary::TearDown();
        useMonitorClock(platform::realClock());
        if (native_ != nullptr) ::dlclose(native_);
    }

    // The widget leaves the bus: its interface, then itself, each announced.
    void unplugWidget() {
        for (const std::string& gone : {kWidget + "/1-1.2:1.0", kWidget}) {
            bus_.uevent(gone, "remove");
            bus_.remove(gone);
        }
        bus_.setAttribute(kHub + "/1-1:1.0", "1-1-port2/state", "not attached\n");
    }

    static std::string switches() { return fileText(kUsb2Switch) + fileText(kSuperSpeedSwitch); }

    void* native_ = nullptr;
    MockBus bus_;
    EmulatedHubs hubs_;
    SteppedClock clock_;
};

TEST_F(MonitorOnBed, AVanishedDeviceIsLoggedAndItsPortSwitchedOffOnBothSidesThenOn) {
    // As the control program does it: the scan, then the port's record.
    auto block = std::make_unique<DeviceInfoBlock>();
    ASSERT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    DeviceInfoRecord record{};
    ASSERT_EQ(Hub_GetDeviceInfo_Index_and_Port(&record, 0, 1), 1);
    ASSERT_EQ(std::u16string(record.product), u"Widget");
    ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    Hub_SetAutoCheckTimeInfo(1, 1);
    ASSERT_EQ(Hub_StartAutoRecovery(), 1);

    clock_.tick();
    EXPECT_EQ(fileText("vostrel.log"), "") << "the widget works";
    EXPECT_EQ(switches(), "0\n0\n");

    unplugWidget();
    clock_.tick();
    const std::string log = fileText("vostrel.log");
    EXPECT_NE(log.find(",3,0,2,0x1A2B,0x0002,Maker,Widget\r\n"), std::string::npos) << log;
    EXPECT_EQ(switches(), "1\n1\n") << "off on both sides";

    clock_.tick();
    EXPECT_EQ(switches(), "1\n1\n") << "off for the off time";
    clock_.tick();
    EXPECT_EQ(switches(), "0\n0\n") << "on after the off time";
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

}  // namespace
}  // namespace vostrel::test
