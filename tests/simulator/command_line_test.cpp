#include <gtest/gtest.h>

#include <string>

#include "core/bench_file.h"
#include "reference_walk.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

using test::runCli;

class CommandLine : public ::testing::Test {
protected:
    vostrel::test::ScratchDir dir_;
    std::string bench_ = test::writeText("bench.json", test::example("two-hubs-usb3.json"));
    std::string option_ = "--bench '" + bench_ + "' ";

    bool contains(const test::CommandResult& result, const std::string& text) const {
        return result.output.find(text) != std::string::npos;
    }
};

TEST_F(CommandLine, ShowsTheBenchAsATree) {
    const auto result = runCli(option_ + "show");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result, "  port 1: hubA [0-1] hub 0, family hub, serial \"VH0002A\", working\n"))
        << result.output;
    EXPECT_TRUE(contains(result, "port 2 (on): printer [0-2.3.2] 0x7E57:0x0F20 \"Quill Devices\" \"Label Printer\", "
                                 "high speed, failed, status 4 (DeviceCausedOvercurrent)\n"))
        << result.output;
    EXPECT_TRUE(contains(result, "2 hubs of the family on the bus\n"));
}

TEST_F(CommandLine, ChangesMadeHereShowInAnotherProcessAndTheOtherWayRound) {
    test::BenchVariable variable(bench_);
    const test::UsbStack& stack = test::UsbStack::load();
    EXPECT_EQ(+test::Walker(stack).walk().port(0, 0x2744, 1)->ConnectionStatus, 1u);
    auto result = runCli("unplug camera");  // the bench named by the variable
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "camera (hub 0 port 1): unplugged\n");
    EXPECT_EQ(+test::Walker(stack).walk().port(0, 0x2744, 1)->ConnectionStatus, 0u);

    const test::VendorLibrary& vendor = test::VendorLibrary::load();
    const Pt2Handle hub = vendor.open(1);
    ASSERT_NE(vendor.set(hub, 18, 0), 0);
    vendor.close(hub);
    result = runCli("show");
    EXPECT_TRUE(contains(result, "port 2 (off): printer")) << result.output;
}

TEST_F(CommandLine, EachCommandChangesWhatItSays) {
    EXPECT_EQ(runCli(option_ + "wedge 0:2").output,
              "drive (hub 0 port 2): wedged: not configured until its port is power-cycled\n");
    EXPECT_EQ(runCli(option_ + "power hubA 2 off").output,
              "hub 0 port 2: power off\n"
              "drive (hub 0 port 2): wedged: not configured until its port is power-cycled; not on the bus: its "
              "port has no power\n");
    EXPECT_EQ(runCli(option_ + "power VH0002A 2 on").output,
              "hub 0 port 2: power on\ndrive (hub 0 port 2): working\n");
    EXPECT_EQ(runCli(option_ + "fail 0-1.2 DeviceGeneralFailure").output,
              "drive (hub 0 port 2): failed, status 3 (DeviceGeneralFailure)\n");
    EXPECT_EQ(runCli(option_ + "unconfigure drive").output, "drive (hub 0 port 2): not configured\n");
    EXPECT_EQ(runCli(option_ + "heal drive").output, "drive (hub 0 port 2): working\n");
    EXPECT_EQ(runCli(option_ + "plug scanner").output, "scanner (hub 0 port 3): working\n");
    EXPECT_EQ(runCli(option_ + "unplug mouse").output, "mouse (at 1-1): unplugged\n");
}

struct Refusal {
    const char* name;
    const char* arguments;  // after --bench
    int exitCode;
    const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class CommandLineRefusals : public CommandLine, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CommandLineRefusals, SayWhyAndExitNonzero) {
    const std::string before = test::readText(bench_);
    const auto result = runCli(option_ + GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.output;
    EXPECT_EQ(result.output.rfind(std::string("vostrel-sim: ") + GetParam().message, 0), 0u) << result.output;
    EXPECT_EQ(test::readText(bench_), before);
}

const Refusal kRefusals[] = {
    {"UnknownDevice", "unplug nothing", 1, "no device \"nothing\" on the bench (ids: hubA, camera"},
    {"UnknownHubIndex", "unplug 5:1", 1, "no hub 5: the bus shows hubs 0 to 1"},
    {"UnknownPort", "unplug 0:7", 1, "no port 7 on hub 0: ports are 1 to 4"},
    {"EmptyPort", "unplug 0:4", 1, "nothing is attached to port 4 of hub 0"},
    {"UnknownLocation", "wedge 0-3.1", 1, "no device \"0-3.1\""},
    {"UnknownHub", "power nohub 1 off", 1, "no hub \"nohub\" on the bench (ids: hubA, hubB)"},
    {"HubOfAnotherMake", "power dock 1 off", 1, "dock is not a hub of the family"},
    {"PortOutOfRange", "power 0 5 off", 2, "no port 5: ports are 1 to 4"},
    {"NeitherOnNorOff", "power 0 1 maybe", 2, "expected on or off, found maybe"},
    {"UnknownStatus", "fail camera 1", 2, "unknown status 1"},
    {"MissingDevice", "wedge", 2, "missing a device"},
    {"ExtraArgument", "show more", 2, "unexpected argument more"},
    {"UnknownCommand", "explode", 2, "unknown command explode"},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, CommandLineRefusals, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(CommandLine, ABenchThatIsMissingOrBrokenIsReportedWithWhere) {
    auto result = runCli("--bench missing.json show");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "vostrel-sim: missing.json: cannot read the bench description: no such file\n");

    test::writeText("broken.json", "{\n  \"controllers\": [\n    {\"number\": \"zero\"}\n  ]\n}\n");
    result = runCli("--bench broken.json unplug camera");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output,
              "vostrel-sim: broken.json: at /controllers/0/number: expected an integer 0 to 9, found \"zero\"\n");

    test::writeText("broken.json", "{\n  \"controllers\": [\n    {\"number\": 0,,}\n");
    result = runCli("--bench broken.json show");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output.rfind("vostrel-sim: broken.json:3:18: syntax error", 0), 0u) << result.output;
}

TEST_F(CommandLine, WithoutABenchItSaysHowToNameOne) {
    const auto result = runCli("show");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output.rfind("vostrel-sim: no bench: give --bench FILE or set VOSTREL_SIM_BENCH", 0), 0u);
    EXPECT_EQ(runCli("--help").exitCode, 0);
}

}  // namespace
}  // namespace vostrel::sim
