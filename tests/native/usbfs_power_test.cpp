// The native vendor library on a kernel without the ports' `disable`
// attribute (before 6.0): hub class requests through usbfs, checked byte for
// byte with a recording usbfs behind the seam, and once through the kernel's
// interface itself as umockdev emulates a hub's node.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "emulated_hubs.h"
#include "native_bed.h"
#include "native_library.h"
#include <vostrel/pt2lib_errors.h>
#include "recording_usbfs.h"
#include "test_benches.h"

namespace vostrel::test {
namespace {

using Log = std::vector<std::string>;

// kOneHub's hub: its USB 2.0 hub device on bus 1, its SuperSpeed one on bus 2.
constexpr const char* kUsb2Node = "/dev/bus/usb/001/002";
constexpr const char* kSuperSpeedNode = "/dev/bus/usb/002/002";

// The requests, as their setup packets' bytes.
constexpr const char* kUsb2Descriptor = "A0 06 00 29 00 00 0C 00";
constexpr const char* kSuperSpeedDescriptor = "A0 06 00 2A 00 00 0C 00";
constexpr const char* kPort2PowerOff = "23 01 08 00 02 00 00 00";
constexpr const char* kPort2PowerOn = "23 03 08 00 02 00 00 00";
constexpr const char* kPort2Status = "A3 00 00 00 02 00 04 00";

std::string at(const char* node, const char* request) { return std::string(node) + " " + request; }

class UsbfsPower : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.load(bedOf(kOneHub, {.portSwitches = false}));
        platform::useUsbfs(&usbfs_);
        hub_ = native::open(0);
        ASSERT_NE(hub_, -1);
    }
    void TearDown() override {
        // Ports left off stay claimed on the library's state: switch them on
        // so that no node outlives the recording usbfs.
        for (std::uint32_t pin = 17; pin <= 20; ++pin) native::setPin(hub_, pin, 1);
        native::close(hub_);
        platform::useUsbfs(nullptr);
    }

    MockBus bus_;
    RecordingUsbfs usbfs_;
    Pt2Handle hub_ = -1;
};

// Off: the USB 2.0 side, then the SuperSpeed side; each hub is asked
// (once) whether it switches each port's power, the port is claimed from
// the kernel's hub driver (which would power it again), then its power
// cleared; the nodes stay open, holding the claims. On: the SuperSpeed side
// first, each claim released before the power is set, and the nodes closed.
TEST_F(UsbfsPower, PortPowerIsSwitchedWithClaimsHeldWhileItIsOff) {
    ASSERT_EQ(native::setPin(hub_, 18, 0), 1) << native::lastError(hub_);
    EXPECT_EQ(usbfs_.take(), (Log{"open " + std::string(kUsb2Node), at(kUsb2Node, kUsb2Descriptor),
                                  at(kUsb2Node, "claim 2"), at(kUsb2Node, kPort2PowerOff),
                                  "open " + std::string(kSuperSpeedNode), at(kSuperSpeedNode, kSuperSpeedDescriptor),
                                  at(kSuperSpeedNode, "claim 2"), at(kSuperSpeedNode, kPort2PowerOff)}));
    EXPECT_EQ(usbfs_.openNodes, 2);

    // Off again: the claims are held already.
    ASSERT_EQ(native::setPin(hub_, 18, 0), 1);
    EXPECT_EQ(usbfs_.take(), (Log{at(kUsb2Node, kPort2PowerOff), at(kSuperSpeedNode, kPort2PowerOff)}));

    ASSERT_EQ(native::setPin(hub_, 18, 1), 1) << native::lastError(hub_);
    EXPECT_EQ(usbfs_.take(), (Log{at(kSuperSpeedNode, "release 2"), at(kSuperSpeedNode, kPort2PowerOn),
                                  "close " + std::string(kSuperSpeedNode), at(kUsb2Node, "release 2"),
                                  at(kUsb2Node, kPort2PowerOn), "close " + std::string(kUsb2Node)}));
    EXPECT_EQ(usbfs_.openNodes, 0);
}

// wPortStatus's power bit is bit 8 on the USB 2.0 hub and bit 9 on the
// SuperSpeed hub; the port counts as powered while either side has power.
TEST_F(UsbfsPower, PortStatusReadsEachSidesOwnPowerBit) {
    const struct {
        bool usb2Powered, superSpeedPowered;
        std::uint32_t state;
    } cases[] = {{true, true, 1}, {false, true, 1}, {true, false, 1}, {false, false, 0}};
    for (const auto& [usb2Powered, superSpeedPowered, state] : cases) {
        usbfs_.powerless.clear();
        if (!usb2Powered) usbfs_.powerless.insert({kUsb2Node, 2});
        if (!superSpeedPowered) usbfs_.powerless.insert({kSuperSpeedNode, 2});
        std::uint32_t read = 7;
        ASSERT_EQ(native::getPin(hub_, 18, &read), 1) << native::lastError(hub_);
        EXPECT_EQ(read, state) << usb2Powered << superSpeedPowered;
        const Log log = usbfs_.take();
        EXPECT_EQ(log.at(1), at(kUsb2Node, kPort2Status));
    }
}

// A hub that switches its ports' power all together is refused without a
// power request; its descriptor is asked once per hub device.
TEST_F(UsbfsPower, AHubThatDoesNotSwitchEachPortIsRefused) {
    usbfs_.hubCharacteristics = 0x0008;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(native::setPin(hub_, 18, 0), 0);
        EXPECT_EQ(native::lastError(-1), PT2_ERROR_NO_PORT_POWER_CONTROL);
        EXPECT_EQ(usbfs_.openNodes, 0);
    }
    EXPECT_EQ(usbfs_.take(), (Log{"open " + std::string(kUsb2Node), at(kUsb2Node, kUsb2Descriptor),
                                  "close " + std::string(kUsb2Node), "open " + std::string(kUsb2Node),
                                  "close " + std::string(kUsb2Node)}));
}

// What the hub or usbfs refuses, as the last error tells it; a switch that
// fails leaves no claim and no node behind.
TEST_F(UsbfsPower, RefusalsAreToldAndLeaveNoClaim) {
    const auto refuse = [](std::errc error) {
        return [error](RecordingUsbfs& u) { u.refused[1] = std::make_error_code(error); };
    };
    const struct {
        const char* label;
        std::function<void(RecordingUsbfs&)> arrange;
        std::uint32_t error;
        int powerRequests;  // CLEAR_FEATURE(PORT_POWER) sent
    } cases[] = {
        {"the hub stalls the request", refuse(std::errc::broken_pipe), PT2_ERROR_NO_PORT_POWER_CONTROL, 1},
        {"no rights on the node",
         [](RecordingUsbfs& u) { u.openError = std::make_error_code(std::errc::permission_denied); },
         PT2_ERROR_PERMISSION_DENIED, 0},
        {"the transfer times out", refuse(std::errc::timed_out), PT2_ERROR_NOT_WRITTEN, 1},
        {"the hub went meanwhile", refuse(std::errc::no_such_device), PT2_ERROR_HUB_GONE, 1},
    };
    for (const auto& [label, arrange, error, powerRequests] : cases) {
        usbfs_.answerNormally();
        arrange(usbfs_);
        EXPECT_EQ(native::setPin(hub_, 18, 0), 0) << label;
        EXPECT_EQ(native::lastError(-1), error) << label;
        EXPECT_EQ(usbfs_.openNodes, 0) << label;
        const Log log = usbfs_.take();
        EXPECT_EQ(std::count(log.begin(), log.end(), at(kUsb2Node, kPort2PowerOff)), powerRequests) << label;
        EXPECT_EQ(std::count(log.begin(), log.end(), at(kSuperSpeedNode, kPort2PowerOff)), 0) << label;
        EXPECT_EQ(std::count(log.begin(), log.end(), at(kUsb2Node, "claim 2")),
                  std::count(log.begin(), log.end(), at(kUsb2Node, "release 2")))
            << label;
    }
}

// When the second hub device refuses, the first is switched back.
TEST_F(UsbfsPower, ASideThatRefusesHasTheOtherSwitchedBack) {
    usbfs_.refused[1] = std::make_error_code(std::errc::broken_pipe);
    usbfs_.refusingNode = kSuperSpeedNode;
    EXPECT_EQ(native::setPin(hub_, 18, 0), 0);
    EXPECT_EQ(native::lastError(hub_), PT2_ERROR_NO_PORT_POWER_CONTROL);
    EXPECT_EQ(usbfs_.take(),
              (Log{"open " + std::string(kUsb2Node), at(kUsb2Node, kUsb2Descriptor), at(kUsb2Node, "claim 2"),
                   at(kUsb2Node, kPort2PowerOff), "open " + std::string(kSuperSpeedNode),
                   at(kSuperSpeedNode, kSuperSpeedDescriptor), at(kSuperSpeedNode, "claim 2"),
                   at(kSuperSpeedNode, kPort2PowerOff), at(kSuperSpeedNode, "release 2"),
                   "close " + std::string(kSuperSpeedNode), at(kUsb2Node, "release 2"), at(kUsb2Node, kPort2PowerOn),
                   "close " + std::string(kUsb2Node)}));
    EXPECT_EQ(usbfs_.openNodes, 0);
}

// A port another program holds already is switched without a claim of our
// own, and nothing is released for it later.
TEST_F(UsbfsPower, APortHeldByAnotherProgramIsSwitchedWithoutAClaim) {
    usbfs_.claimError = std::make_error_code(std::errc::device_or_resource_busy);
    ASSERT_EQ(native::setPin(hub_, 18, 0), 1) << native::lastError(hub_);
    EXPECT_EQ(usbfs_.openNodes, 0);
    ASSERT_EQ(native::setPin(hub_, 18, 1), 1);
    const Log log = usbfs_.take();
    const auto releases = [](const std::string& line) { return line.ends_with("release 2"); };
    EXPECT_EQ(std::count_if(log.begin(), log.end(), releases), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), at(kUsb2Node, kPort2PowerOn)), 1);
}

TEST_F(UsbfsPower, AResetResetsBothHubDevices) {
    ASSERT_EQ(native::reset(hub_), 1);
    EXPECT_EQ(usbfs_.take(), (Log{"open " + std::string(kUsb2Node), at(kUsb2Node, "reset"),
                                  "close " + std::string(kUsb2Node), "open " + std::string(kSuperSpeedNode),
                                  at(kSuperSpeedNode, "reset"), "close " + std::string(kSuperSpeedNode)}));
    usbfs_.openError = std::make_error_code(std::errc::permission_denied);
    EXPECT_EQ(native::reset(hub_), 0);
    EXPECT_EQ(native::lastError(hub_), PT2_ERROR_PERMISSION_DENIED);
}

// USB 2.0 only, so that one node answers for the hub.
TEST(UsbfsThroughTheKernelInterface, TheHubReceivesTheRequestsAndTheClaim) {
    MockBus bus;
    bus.load(bedOf(kUsb2OnlyBench, {.portSwitches = false}));
    EmulatedHubs emulated;
    emulated.attach(bus, kUsb2Node, false, kEachPortSwitched);
    const Pt2Handle hub = native::open(0);
    ASSERT_NE(hub, -1);
    EXPECT_EQ(native::setPin(hub, 20, 0), 1) << native::lastError(hub);
    EXPECT_EQ(native::setPin(hub, 20, 1), 1) << native::lastError(hub);
    native::close(hub);
    EXPECT_EQ(emulated.take(), (Log{at(kUsb2Node, kUsb2Descriptor), at(kUsb2Node, "claim 4"),
                                    at(kUsb2Node, "23 01 08 00 04 00 00 00"), at(kUsb2Node, "release 4"),
                                    at(kUsb2Node, "23 03 08 00 04 00 00 00")}));
}

}  // namespace
}  // namespace vostrel::test
