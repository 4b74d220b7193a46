// A hub that leaves a real bus renumbers the hubs after it. On a umockdev
// bed of the two-hub bench, with the native vendor library writing the
// kernel's `disable` attributes, neither the monitor nor `vostrel port …
// cycle` may then switch a port of the hub that took the gone hub's number.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <vostrel/hub_api.h>

#include "loaded_library.h"
#include "native_bed.h"
#include "platform/clock.h"
#include "recovery/monitor.h"
#include "run_command.h"
#include "stepped_clock.h"

namespace vostrel::test {
namespace {

class HubIdentityOnBed : public LoadedLibrary {
protected:
    void SetUp() override {
        ::unsetenv("VOSTREL_USBSTACK");
        native_ = ::dlopen(NATIVE_PT2LIB, RTLD_NOW | RTLD_GLOBAL);
        ASSERT_NE(native_, nullptr) << ::dlerror();
        bus_.load(bedOf(exampleBench("two-hubs-usb3.json")));
        hubs_ = native::readFamilyHubs();
        ASSERT_EQ(hubs_.size(), 2u);
        ASSERT_EQ(hubs_[0].serial, u"VH0002A");
        useMonitorClock(clock_);
        LoadedLibrary::SetUp();
    }
    void TearDown() override {
        LoadedLibrary::TearDown();
        useMonitorClock(platform::realClock());
        if (native_ != nullptr) ::dlclose(native_);
    }

    // Hub A leaves the bus, both of its hub devices with everything below.
    void unplugHubA() {
        for (const native::HubSide& side : hubs_[0].sides) {
            bus_.uevent(side.device, "remove");
            bus_.remove(side.device);
        }
        ASSERT_EQ(native::readFamilyHubs().size(), 1u);
    }

    // Port `port` (1 to 4) of hub B's USB 2.0 hub device: "1" while switched off.
    std::string hubBDisable(int port) const {
        return fileText(hubs_[1].sides.front().ports.at(static_cast<std::size_t>(port - 1)) + "/disable");
    }
    std::string hubADisable(int port) const {
        return fileText(hubs_[0].sides.front().ports.at(static_cast<std::size_t>(port - 1)) + "/disable");
    }

    void* native_ = nullptr;
    MockBus bus_;
    std::vector<native::NativeHub> hubs_;
    SteppedClock clock_;
};

// The monitor: hub A's watched camera and SSD are missing once hub A has
// gone; hub B, now hub 0, keeps its serial adapter powered throughout.
TEST_F(HubIdentityOnBed, TheMonitorNeverCyclesTheHubThatTookAGoneHubsNumber) {
    auto block = std::make_unique<DeviceInfoBlock>();
    ASSERT_EQ(Hub_GetDeviceInfo(block.get()), 1);
    for (const int port : {0, 1}) {
        DeviceInfoRecord record{};
        ASSERT_EQ(Hub_GetDeviceInfo_Index_and_Port(&record, 0, port), 1);
        ASSERT_EQ(Hub_SetAutoCheckDeviceInfo(&record), 1);
    }
    Hub_SetAutoCheckTimeInfo(1, 2);
    ASSERT_EQ(Hub_StartAutoRecovery(), 1);
    clock_.tick();
    ASSERT_EQ(fileText("vostrel.log"), "");

    unplugHubA();
    std::string sampled;
    for (int tick = 0; tick < 12; ++tick) {
        clock_.tick();
        sampled += hubBDisable(1) == "1\n" ? '1' : '0';
    }
    EXPECT_EQ(sampled, "000000000000") << "hub B's port 1, one sample a tick";
    EXPECT_EQ(hubBDisable(2), "0\n");
    const std::string log = fileText("vostrel.log");
    EXPECT_NE(log.find(",3,0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n"), std::string::npos) << log;
    EXPECT_EQ(Hub_StopAutoRecovery(), 1);
}

#ifdef VOSTREL_PROGRAM
// `vostrel port 0 1 cycle`: hub A goes during the pause; hub B's port 1,
// switched off on purpose, stays off, and the program says why it switched
// nothing on.
TEST_F(HubIdentityOnBed, ACycleDoesNotSwitchOnThePortOfTheHubThatTookItsNumber) {
    const std::string environment = "env LD_LIBRARY_PATH='" NATIVE_PT2LIB_FOLDER ":" LIBRARY_FOLDER "' ";
    auto run = runCommand(environment + "'" VOSTREL_PROGRAM "' port 1 1 off 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(hubBDisable(1), "1\n");

    // In the background; it ends its pause at SIGTERM.
    run = runCommand(environment + "sh -c 'echo $$ >cycle.pid; exec \"$0\" \"$@\" >cycle.out 2>&1' '" VOSTREL_PROGRAM
                                   "' port 0 1 cycle --off-time 600 & echo $! >cycle.started");
    ASSERT_EQ(run.exitCode, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (hubADisable(1) != "1\n" && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(hubADisable(1), "1\n") << "the cycle switched hub A's port 1 off";
    unplugHubA();
    const int pid = std::stoi(fileText("cycle.pid"));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(hubBDisable(1), "1\n") << "hub B's port 1 stays off";
    EXPECT_EQ(fileText("cycle.out"), "hub 0 port 1: power off\nvostrel: hub 0 (VH0002A at 1-1) has gone from the "
                                     "bus during the pause; port 1 was not switched on again\n");
}
#endif

}  // namespace
}  // namespace vostrel::test
