// Port power and hub operations through the exports and the monitor's port
// switch, watched through the recording double.
#include <climits>
#include <functional>
#include <string>

#include "hub_operations.h"
#include "vendor_double_fixture.h"

namespace vostrel::test {
namespace {

const Calls kOpenHub0{"MchpUsbGetAllHubs()", "MchpUsbOpen(0)"};

Calls afterOpening(const Calls& calls) {
    Calls all = kOpenHub0;
    all.insert(all.end(), calls.begin(), calls.end());
    return all;
}

std::string pinCall(const char* function, std::uint32_t pin) {
    return std::string(function) + "(h1," + std::to_string(pin) + ")";
}

std::string setCall(std::uint32_t pin, std::uint32_t state) {
    return "MchpUsbGpioSet(h1," + std::to_string(pin) + "," + std::to_string(state) + ")";
}

class PortSwitch : public VendorDouble, public ::testing::WithParamInterface<int> {};

TEST_P(PortSwitch, ConfiguresThenSetsThePortsPinAndNoOther) {
    const int port = GetParam();
    const std::uint32_t pin = 17 + static_cast<std::uint32_t>(port);
    for (std::uint32_t other = 17; other <= 20; ++other) pt2DoubleSetPinState(0, other, 1);
    bind();

    EXPECT_EQ(Hub_SetHubPortStatus(0, port, 0), 1);
    EXPECT_EQ(pt2double::calls(), afterOpening({pinCall("MchpUsbConfigureGPIO", pin), setCall(pin, 0)}));
    for (std::uint32_t other = 17; other <= 20; ++other) {
        EXPECT_EQ(pt2DoublePinState(0, other), other == pin ? 0u : 1u) << "pin " << other;
    }
}

INSTANTIATE_TEST_SUITE_P(Ports, PortSwitch, ::testing::Range(0, 4));

using PortPower = VendorDouble;

TEST_F(PortPower, AnyNonzeroOnSwitchesThePortOn) {
    bind();
    for (const std::int32_t on : {1, 2, -1, INT_MIN}) {
        pt2DoubleSetPinState(0, 20, 0);
        EXPECT_EQ(Hub_SetHubPortStatus(0, 3, on), 1);
        EXPECT_EQ(pt2DoublePinState(0, 20), 1u) << "on = " << on;
    }
}

TEST_F(PortPower, PortIndexOutsideZeroToThreeSucceedsWithoutTouchingAPin) {
    bind();
    for (const std::int32_t port : {4, -1, INT_MAX, INT_MIN}) {
        pt2DoubleClearLog();
        EXPECT_EQ(Hub_SetHubPortStatus(0, port, 1), 1) << "port " << port;
        EXPECT_EQ(pt2double::calls().back(), "MchpUsbOpen(0)") << "port " << port;
    }
}

TEST_F(PortPower, EverySwitchOpensItsHubAnew) {
    pt2DoubleSetHubCount(3);
    bind();
    EXPECT_EQ(Hub_SetHubPortStatus(2, 0, 1), 1);
    EXPECT_EQ(Hub_SetHubPortStatus(2, 0, 0), 1);
    EXPECT_EQ(pt2double::calls(),
              (Calls{"MchpUsbGetAllHubs()", "MchpUsbOpen(2)", "MchpUsbConfigureGPIO(h1,17)", "MchpUsbGpioSet(h1,17,1)",
                     "MchpUsbClose(h1)", "MchpUsbGetAllHubs()", "MchpUsbOpen(2)", "MchpUsbConfigureGPIO(h2,17)",
                     "MchpUsbGpioSet(h2,17,0)"}));
    EXPECT_EQ(pt2DoublePinState(2, 17), 0u);
}

TEST_F(PortPower, AFailedConfigureSetsNothingAndAFailedSetFails) {
    bind();
    pt2DoubleFailCall("MchpUsbConfigureGPIO", 1);
    EXPECT_EQ(Hub_SetHubPortStatus(0, 1, 1), 0);
    EXPECT_EQ(pt2double::calls(), afterOpening({"MchpUsbConfigureGPIO(h1,18) failed"}));

    pt2DoubleFailCall("MchpUsbGpioSet", 1);
    EXPECT_EQ(Hub_SetHubPortStatus(0, 1, 1), 0);
    EXPECT_EQ(pt2DoublePinState(0, 18), 0u);
}

// The monitor switches ports with the general lock held and binds the same way.
TEST_F(PortPower, TheMonitorsSwitchMakesTheSameCallsUnderTheGeneralLock) {
    std::lock_guard lock(generalLock());
    ASSERT_TRUE(bindVendorLibraryLocked());
    pt2DoubleClearLog();

    EXPECT_TRUE(switchPortLocked(0, 1, false));
    EXPECT_TRUE(switchPortLocked(0, 7, true));
    pt2DoubleFailCall("MchpUsbGpioSet", 1);
    EXPECT_FALSE(switchPortLocked(0, 1, true));
    EXPECT_EQ(pt2double::calls(),
              (Calls{"MchpUsbGetAllHubs()", "MchpUsbOpen(0)", "MchpUsbConfigureGPIO(h1,18)", "MchpUsbGpioSet(h1,18,0)",
                     "MchpUsbClose(h1)", "MchpUsbGetAllHubs()", "MchpUsbOpen(0)", "MchpUsbClose(h2)",
                     "MchpUsbGetAllHubs()", "MchpUsbOpen(0)", "MchpUsbConfigureGPIO(h3,18)",
                     "MchpUsbGpioSet(h3,18,1) failed"}));
}

using PortStatus = VendorDouble;

TEST_F(PortStatus, ReadsTheFourPinsInOrder) {
    bind();
    std::uint8_t status = 7;
    EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 1);
    EXPECT_EQ(pt2double::calls(), afterOpening({pinCall("MchpUsbGpioGet", 17), pinCall("MchpUsbGpioGet", 18),
                                                pinCall("MchpUsbGpioGet", 19), pinCall("MchpUsbGpioGet", 20)}));
    EXPECT_EQ(status, 0);
}

TEST_F(PortStatus, IsOneWhenAnyPortIsOn) {
    bind();
    struct Case {
        std::uint32_t pins[4];  // 17 to 20
        std::uint8_t status;
    };
    for (const Case& c : {Case{{1, 0, 1, 0}, 1}, Case{{0, 0, 0, 1}, 1}, Case{{0, 0, 0, 0}, 0}}) {
        for (std::uint32_t i = 0; i < 4; ++i) pt2DoubleSetPinState(0, 17 + i, c.pins[i]);
        std::uint8_t status = 1 - c.status;
        EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 1);
        EXPECT_EQ(status, c.status) << c.pins[0] << c.pins[1] << c.pins[2] << c.pins[3];
    }
}

// The double still reports a failed read's pin as high: only the result may
// count.
TEST_F(PortStatus, APinThatCannotBeReadCountsAsOff) {
    bind();
    pt2DoubleSetPinState(0, 19, 1);
    pt2DoubleFailCall("MchpUsbGpioGet", 3);
    std::uint8_t status = 1;
    EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 1);
    EXPECT_EQ(status, 0);

    pt2DoubleFailEveryCall("MchpUsbGpioGet");
    status = 1;
    EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 1);
    EXPECT_EQ(status, 0);
}

using HubInit = VendorDouble;

const Calls kInitCalls{
    "MchpUsbConfigureGPIO(h1,17)", "MchpUsbGpioSet(h1,17,1)", "MchpUsbConfigureGPIO(h1,18)", "MchpUsbGpioSet(h1,18,1)",
    "MchpUsbConfigureGPIO(h1,19)", "MchpUsbGpioSet(h1,19,1)", "MchpUsbConfigureGPIO(h1,20)", "MchpUsbGpioSet(h1,20,1)",
};

TEST_F(HubInit, ConfiguresAndPowersEveryPortInOrder) {
    bind();
    EXPECT_EQ(Hub_InitHubDevice(0), 1);
    EXPECT_EQ(pt2double::calls(), afterOpening(kInitCalls));
    for (std::uint32_t pin = 17; pin <= 20; ++pin) EXPECT_EQ(pt2DoublePinState(0, pin), 1u);
}

class HubInitFailure : public VendorDouble, public ::testing::WithParamInterface<std::size_t> {};

// Call k of the eight fails: the ports before it stay powered, the rest are
// not touched.
TEST_P(HubInitFailure, StopsAtTheFirstFailedCall) {
    const std::size_t failing = GetParam();
    bind();
    pt2DoubleFailCall(failing % 2 == 0 ? "MchpUsbConfigureGPIO" : "MchpUsbGpioSet",
                      static_cast<std::uint32_t>(failing / 2 + 1));

    EXPECT_EQ(Hub_InitHubDevice(0), 0);
    Calls made(kInitCalls.begin(), kInitCalls.begin() + static_cast<std::ptrdiff_t>(failing) + 1);
    made.back() += " failed";
    EXPECT_EQ(pt2double::calls(), afterOpening(made));
    for (std::uint32_t port = 0; port < 4; ++port) {
        EXPECT_EQ(pt2DoublePinState(0, 17 + port), port < failing / 2 ? 1u : 0u) << "port " << port;
    }
}

INSTANTIATE_TEST_SUITE_P(EachCall, HubInitFailure, ::testing::Range<std::size_t>(0, 8));

using HubCommands = VendorDouble;

TEST_F(HubCommands, ProgrammingPassesTheValuesThroughWithTheSerialTwice) {
    bind();
    EXPECT_EQ(Hub_Program_CFG_w_Serial(0, 0xFFFFFFFFu, 0x80000001u), 1);
    EXPECT_EQ(pt2double::calls(),
              afterOpening({"MchpUsbProgramFileWithUsb3Serial(h1,4294967295,2147483649,2147483649)"}));
    pt2DoubleFailCall("MchpUsbProgramFileWithUsb3Serial", 1);
    EXPECT_EQ(Hub_Program_CFG_w_Serial(0, 1, 2), 0);
}

TEST_F(HubCommands, ResetResetsTheOpenHub) {
    bind();
    EXPECT_EQ(Hub_Reset_Device(0), 1);
    EXPECT_EQ(pt2double::calls(), afterOpening({"MchpUsbDeviceReset(h1)"}));
    pt2DoubleFailCall("MchpUsbDeviceReset", 1);
    EXPECT_EQ(Hub_Reset_Device(0), 0);
}

TEST_F(HubCommands, TheHubStaysOpenAfterEverySuccessfulOperation) {
    bind();
    std::uint8_t status = 0;
    const std::function<std::int32_t()> operations[] = {
        [] { return Hub_OpenHubDevice(0); },
        [&] { return Hub_GetHubPortStatus(0, &status); },
        [] { return Hub_InitHubDevice(0); },
        [] { return Hub_SetHubPortStatus(0, 0, 1); },
        [] { return Hub_SetHubPortStatus(0, 4, 1); },
        [] { return Hub_Program_CFG_w_Serial(0, 1, 2); },
        [] { return Hub_Reset_Device(0); },
    };
    int handle = 0;
    for (std::size_t i = 0; i < std::size(operations); ++i) {
        ASSERT_EQ(operations[i](), 1) << "operation " << i;
        ++handle;
        pt2DoubleClearLog();
        EXPECT_EQ(Hub_CloseHubDevice(), 1);
        EXPECT_EQ(pt2double::calls(), Calls{"MchpUsbClose(h" + std::to_string(handle) + ")"}) << "operation " << i;
    }
}

}  // namespace
}  // namespace vostrel::test
