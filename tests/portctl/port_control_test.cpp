// Binding the vendor library and the hub operations, watched through the
// recording double linked into this executable.
#include <algorithm>
#include <climits>
#include <functional>
#include <thread>
#include <utility>

#include "frame/locks.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "loaded_library.h"
#include "portctl/port_switch.h"
#include "pt2lib_double.h"

namespace vostrel::test {
namespace {

using Calls = std::vector<std::string>;

std::uint8_t g_status;

struct Operation {
    const char* name;
    std::function<std::int32_t(std::int32_t hub)> run;
    Calls calls;  // after opening the hub, H standing for its handle
};

auto port(std::int32_t index, std::int32_t on) {
    return [=](std::int32_t hub) { return Hub_SetHubPortStatus(hub, index, on); };
}

const Operation kOperations[] = {
    {"open", Hub_OpenHubDevice, {}},
    {"status", [](std::int32_t hub) { return Hub_GetHubPortStatus(hub, &g_status); },
     {"MchpUsbGpioGet(H,17)", "MchpUsbGpioGet(H,18)", "MchpUsbGpioGet(H,19)", "MchpUsbGpioGet(H,20)"}},
    {"init", Hub_InitHubDevice,
     {"MchpUsbConfigureGPIO(H,17)", "MchpUsbGpioSet(H,17,1)", "MchpUsbConfigureGPIO(H,18)", "MchpUsbGpioSet(H,18,1)",
      "MchpUsbConfigureGPIO(H,19)", "MchpUsbGpioSet(H,19,1)", "MchpUsbConfigureGPIO(H,20)", "MchpUsbGpioSet(H,20,1)"}},
    {"port 0 off", port(0, 0), {"MchpUsbConfigureGPIO(H,17)", "MchpUsbGpioSet(H,17,0)"}},
    {"port 1 on 1", port(1, 1), {"MchpUsbConfigureGPIO(H,18)", "MchpUsbGpioSet(H,18,1)"}},
    {"port 2 on -1", port(2, -1), {"MchpUsbConfigureGPIO(H,19)", "MchpUsbGpioSet(H,19,1)"}},
    {"port 3 on INT_MIN", port(3, INT_MIN), {"MchpUsbConfigureGPIO(H,20)", "MchpUsbGpioSet(H,20,1)"}},
    {"port 4", port(4, 1), {}},
    {"port -1", port(-1, 1), {}},
    {"monitor's switch",
     [](std::int32_t hub) { LockGuard lock(generalLock); return switchPortLocked(hub, 2, false) ? 1 : 0; },
     {"MchpUsbConfigureGPIO(H,19)", "MchpUsbGpioSet(H,19,0)"}},
    {"program", [](std::int32_t hub) { return Hub_Program_CFG_w_Serial(hub, 0xFFFFFFFFu, 0x80000001u); },
     {"MchpUsbProgramFileWithUsb3Serial(H,4294967295,2147483649,2147483649)"}},
    {"reset", Hub_Reset_Device, {"MchpUsbDeviceReset(H)"}},
};

Calls withHandle(Calls calls, int k) {
    for (std::string& call : calls) call.replace(call.find("(H") + 1, 1, std::string("h").append(std::to_string(k)));
    return calls;
}

// The general lock must be held: another thread cannot take it.
std::size_t g_unlockedCalls;
void checkGeneralLockHeld() {
    bool free = false;
    std::thread([&] {
        if (!generalLock.try_lock()) return;
        free = true;
        generalLock.unlock();
    }).join();
    g_unlockedCalls += free ? 1 : 0;
}

class PortControl : public LoadedLibrary {
protected:
    void SetUp() override {
        pt2DoubleReset();
        pt2DoubleSetHubCount(3);
        LoadedLibrary::SetUp();
    }
    void TearDown() override {
        pt2DoubleSetHook(nullptr);  // the unload steps release the binding without the lock
        LoadedLibrary::TearDown();
    }

    static void bind() {
        ASSERT_EQ(Hub_InitPt2lib(), 1);
        pt2DoubleClearLog();
    }

    // Every operation on `hub` returns 0 after making just `calls`.
    static void expectEveryOperationFails(std::int32_t hub, const Calls& calls) {
        g_status = 7;
        for (const Operation& op : kOperations) {
            pt2DoubleClearLog();
            EXPECT_EQ(op.run(hub), 0) << op.name;
            EXPECT_EQ(pt2double::calls(), calls) << op.name;
        }
        EXPECT_EQ(g_status, 7);
    }

    static void expectUnbound() {
        expectEveryOperationFails(0, {});
        EXPECT_EQ(Hub_CloseHubDevice(), 1);
        EXPECT_EQ(pt2double::calls(), Calls{});
    }
};

TEST_F(PortControl, BindingReadsTheVersionListsTheHubsAndTurnsLoggingOff) {
    expectUnbound();
    pt2DoubleFailCall("MchpEnableLogging", 1);  // which does not matter
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_EQ(pt2double::calls(),
              (Calls{"MchpUsbGetVersion()", "MchpUsbGetAllHubs()", "MchpEnableLogging(0) failed"}));
}

TEST_F(PortControl, RebindingClosesTheOpenHubAndAFailedStepLeavesItUnbound) {
    const std::pair<const char*, Calls> steps[] = {
        {"MchpUsbGetVersion", {"MchpUsbClose(h1)", "MchpUsbGetVersion() failed"}},
        {"MchpUsbGetAllHubs", {"MchpUsbClose(h2)", "MchpUsbGetVersion()", "MchpUsbGetAllHubs() failed"}},
    };
    for (const auto& [failing, calls] : steps) {
        bind();
        ASSERT_EQ(Hub_OpenHubDevice(0), 1);
        pt2DoubleClearLog();
        pt2DoubleFailCall(failing, 1);
        EXPECT_EQ(Hub_InitPt2lib(), 0);
        EXPECT_EQ(pt2double::calls(), calls);
        expectUnbound();
    }
}

TEST_F(PortControl, UnloadClosesTheOpenHubAndTheNextLoadStartsUnbound) {
    bind();
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleClearLog();
    libraryUnload();
    EXPECT_EQ(pt2double::calls(), Calls{"MchpUsbClose(h1)"});
    libraryLoad();
    expectUnbound();
}

// Each closes the open hub, lists the hubs and opens its own, all under the
// general lock. The first failed call ends it with 0; else it returns 1 and
// leaves its hub open.
TEST_F(PortControl, OperationsMakeExactlyTheirVendorCalls) {
    pt2DoubleSetHook(checkGeneralLockHeld);
    bind();
    int k = 0;
    for (const Operation& op : kOperations) {
        const bool readsOnly = op.name == std::string("status");  // a failed read counts low
        for (std::size_t failing = readsOnly ? op.calls.size() : 0; failing <= op.calls.size(); ++failing) {
            ASSERT_EQ(Hub_OpenHubDevice(2), 1);
            pt2DoubleClearLog();
            Calls expected = withHandle(op.calls, k + 2);
            if (failing < expected.size()) {
                expected.resize(failing + 1);
                std::string& call = expected.back();
                const std::string function = call.substr(0, call.find('('));
                const auto same = [&](const std::string& c) { return c.starts_with(function + '('); };
                pt2DoubleFailCall(function.c_str(), static_cast<std::uint32_t>(std::ranges::count_if(expected, same)));
                call += " failed";
            }
            EXPECT_EQ(op.run(2), failing < op.calls.size() ? 0 : 1) << op.name << ", failing " << failing;
            expected.insert(expected.begin(), {"MchpUsbClose(h" + std::to_string(k + 1) + ")", "MchpUsbGetAllHubs()",
                                               "MchpUsbOpen(2)"});
            EXPECT_EQ(pt2double::calls(), expected) << op.name << ", failing " << failing;
            k += 2;
        }
        pt2DoubleClearLog();
        EXPECT_EQ(Hub_CloseHubDevice(), 1);
        EXPECT_EQ(pt2double::calls(), Calls{"MchpUsbClose(h" + std::to_string(k) + ")"}) << op.name;
        EXPECT_EQ(std::exchange(g_unlockedCalls, 0), 0u) << op.name;
    }
}

TEST_F(PortControl, AnUnknownHubIndexFailsEveryOperation) {
    bind();
    expectEveryOperationFails(3, {"MchpUsbGetAllHubs()", "MchpUsbOpen(3) failed"});
    expectEveryOperationFails(-1, {"MchpUsbGetAllHubs()", "MchpUsbOpen(4294967295) failed"});
}

// The double reports a failed read's stored state all the same.
TEST_F(PortControl, StatusIsOneWhenAnyPinReadsHighAndAFailedReadCountsLow) {
    bind();
    struct Case {
        std::int32_t ports[4];
        std::uint32_t failingRead;  // 0: none
        std::uint8_t status;
    };
    for (const Case& c : {Case{{1, 0, 1, 0}, 0, 1}, Case{{0, 0, 0, 1}, 0, 1}, Case{{0, 0, 0, 0}, 0, 0},
                          Case{{0, 0, 1, 0}, 3, 0}}) {
        for (int port = 0; port < 4; ++port) ASSERT_EQ(Hub_SetHubPortStatus(0, port, c.ports[port]), 1);
        pt2DoubleFailCall("MchpUsbGpioGet", c.failingRead);
        std::uint8_t status = 1 - c.status;
        EXPECT_EQ(Hub_GetHubPortStatus(0, &status), 1);
        EXPECT_EQ(status, c.status) << c.ports[0] << c.ports[1] << c.ports[2] << c.ports[3] << " " << c.failingRead;
    }
}

TEST_F(PortControl, AFailedCloseKeepsTheHubAndAFailedListOpensNone) {
    bind();
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleFailCall("MchpUsbClose", 1);
    EXPECT_EQ(Hub_CloseHubDevice(), 0);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    pt2DoubleFailCall("MchpUsbGetAllHubs", 1);
    EXPECT_EQ(Hub_OpenHubDevice(0), 0);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbGetAllHubs()", "MchpUsbOpen(0)", "MchpUsbClose(h1) failed",
                                         "MchpUsbClose(h1)", "MchpUsbGetAllHubs() failed"}));
}

}  // namespace
}  // namespace vostrel::test
