// Binding the vendor library, opening and closing the one hub, and the
// release at unload, watched through the recording double.
#include <functional>
#include <ostream>
#include <string>

#include "hub_operations.h"
#include "vendor_double_fixture.h"

namespace vostrel::test {
namespace {

using Binding = VendorDouble;

TEST_F(Binding, ReadsTheVersionListsTheHubsAndTurnsVendorLoggingOff) {
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbGetVersion()", "MchpUsbGetAllHubs()", "MchpEnableLogging(0)"}));
}

TEST_F(Binding, NothingReachesTheVendorLibraryBeforeTheFirstBinding) {
    expectEveryHubOperationFails();
    EXPECT_EQ(pt2double::calls(), Calls{});
}

TEST_F(Binding, VendorLoggingThatCannotBeTurnedOffDoesNotMatter) {
    pt2DoubleFailCall("MchpEnableLogging", 1);
    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_EQ(Hub_Reset_Device(0), 1);
}

TEST_F(Binding, RebindingClosesTheOpenHubFirstAndLeavesNoneOpen) {
    bind();
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleClearLog();

    EXPECT_EQ(Hub_InitPt2lib(), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbClose(h1)", "MchpUsbGetVersion()", "MchpUsbGetAllHubs()",
                                         "MchpEnableLogging(0)"}));
    pt2DoubleClearLog();
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(pt2double::calls(), Calls{});
}

struct FailedStep {
    const char* function;
    Calls calls;  // of the rebinding, with a hub open before it
};

void PrintTo(const FailedStep& step, std::ostream* out) { *out << step.function; }

class FailedBindingStep : public Binding, public ::testing::WithParamInterface<FailedStep> {};

TEST_P(FailedBindingStep, LeavesTheLibraryUnboundEvenAfterAnEarlierBinding) {
    bind();
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleClearLog();
    pt2DoubleFailCall(GetParam().function, 1);

    EXPECT_EQ(Hub_InitPt2lib(), 0);
    EXPECT_EQ(pt2double::calls(), GetParam().calls);
    pt2DoubleClearLog();
    expectEveryHubOperationFails();
    EXPECT_EQ(pt2double::calls(), Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedBindingStep,
    ::testing::Values(FailedStep{"MchpUsbGetVersion", {"MchpUsbClose(h1)", "MchpUsbGetVersion() failed"}},
                      FailedStep{"MchpUsbGetAllHubs",
                                 {"MchpUsbClose(h1)", "MchpUsbGetVersion()", "MchpUsbGetAllHubs() failed"}}),
    [](const auto& info) { return std::string(info.param.function); });

TEST_F(Binding, UnloadClosesTheOpenHubAndTheNextLoadStartsUnbound) {
    bind();
    ASSERT_EQ(Hub_SetHubPortStatus(0, 0, 1), 1);
    pt2DoubleClearLog();

    libraryUnload();
    EXPECT_EQ(pt2double::calls(), Calls{"MchpUsbClose(h1)"});
    libraryLoad();
    pt2DoubleClearLog();
    expectEveryHubOperationFails();
    EXPECT_EQ(pt2double::calls(), Calls{});
}

TEST_F(Binding, UnloadWithoutAnOpenHubCallsNothing) {
    bind();
    libraryUnload();
    EXPECT_EQ(pt2double::calls(), Calls{});
    libraryLoad();
}

using OpenHub = VendorDouble;

TEST_F(OpenHub, EveryOpeningClosesTheOpenHubListsTheHubsAndOpensByIndex) {
    pt2DoubleSetHubCount(3);
    bind();
    EXPECT_EQ(Hub_OpenHubDevice(2), 1);
    EXPECT_EQ(Hub_OpenHubDevice(2), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbGetAllHubs()", "MchpUsbOpen(2)", "MchpUsbClose(h1)",
                                         "MchpUsbGetAllHubs()", "MchpUsbOpen(2)"}));
}

TEST_F(OpenHub, AHubListThatCannotBeReadOpensNothing) {
    bind();
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleFailCall("MchpUsbGetAllHubs", 1);
    pt2DoubleClearLog();

    EXPECT_EQ(Hub_OpenHubDevice(0), 0);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbClose(h1)", "MchpUsbGetAllHubs() failed"}));
}

// A hub index the vendor library does not know, negative ones included
// (handed over unchanged, as an unsigned value), fails every operation once
// the open fails; no pin is touched.
TEST_F(OpenHub, UnknownHubIndexFailsEveryOperation) {
    bind();
    std::uint8_t status = 7;
    const std::function<std::int32_t(std::int32_t)> operations[] = {
        [](std::int32_t hub) { return Hub_OpenHubDevice(hub); },
        [&](std::int32_t hub) { return Hub_GetHubPortStatus(hub, &status); },
        [](std::int32_t hub) { return Hub_InitHubDevice(hub); },
        [](std::int32_t hub) { return Hub_SetHubPortStatus(hub, 0, 1); },
        [](std::int32_t hub) { return Hub_SetHubPortStatus(hub, 4, 1); },
        [](std::int32_t hub) { return Hub_Program_CFG_w_Serial(hub, 1, 2); },
        [](std::int32_t hub) { return Hub_Reset_Device(hub); },
    };
    for (const std::int32_t hub : {1, -1}) {
        const std::string open = "MchpUsbOpen(" + std::to_string(static_cast<std::uint32_t>(hub)) + ") failed";
        for (std::size_t i = 0; i < std::size(operations); ++i) {
            pt2DoubleClearLog();
            EXPECT_EQ(operations[i](hub), 0) << "operation " << i << ", hub " << hub;
            EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbGetAllHubs()", open})) << "operation " << i;
        }
    }
    EXPECT_EQ(status, 7);
}

TEST_F(OpenHub, ClosingClosesOnceAndAFailedCloseKeepsTheHubOpen) {
    bind();
    ASSERT_EQ(Hub_OpenHubDevice(0), 1);
    pt2DoubleFailCall("MchpUsbClose", 1);
    pt2DoubleClearLog();

    EXPECT_EQ(Hub_CloseHubDevice(), 0);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(Hub_CloseHubDevice(), 1);
    EXPECT_EQ(pt2double::calls(), (Calls{"MchpUsbClose(h1) failed", "MchpUsbClose(h1)"}));
}

}  // namespace
}  // namespace vostrel::test
