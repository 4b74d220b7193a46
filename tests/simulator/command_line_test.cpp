#include <gtest/gtest.h>

#include <string>

#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

class CommandLine : public ::testing::Test {
protected:
    vostrel::test::ScratchDir dir_;
    std::string bench_ = test::writeText("bench.json", test::example("two-hubs-usb3.json"));
    std::string broken_ = test::writeText("broken.json", R"({"controllers": [{"number": "zero"}]})");
};

TEST_F(CommandLine, EachCommandChangesWhatItSays) {
    const std::pair<const char*, const char*> kSteps[] = {
        {"wedge 0:2", "drive (hub 0 port 2): wedged: not configured until its port is power-cycled\n"},
        {"power hubA 2 off", "hub 0 port 2: power off\ndrive (hub 0 port 2): wedged: not configured until its port "
                             "is power-cycled; not on the bus: its port has no power\n"},
        {"power VH0002A 2 on", "hub 0 port 2: power on\ndrive (hub 0 port 2): working\n"},
        {"fail 0-1.2 DeviceGeneralFailure", "drive (hub 0 port 2): failed, status 3 (DeviceGeneralFailure)\n"},
        {"heal drive", "drive (hub 0 port 2): working\n"},
        {"unplug mouse", "mouse (at 1-1): unplugged\n"},
    };
    for (const auto& [arguments, output] : kSteps) {
        EXPECT_EQ(test::runCli(std::string("--bench bench.json ") + arguments).output, output) << arguments;
    }
}

struct Refusal {
    const char* arguments;
    int exitCode;
    const char* message;  // after "vostrel-sim: "
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.arguments; }

class CommandLineRefusals : public CommandLine, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CommandLineRefusals, SayWhyAndChangeNothing) {
    const std::string before = test::readText(bench_);
    const auto result = test::runCli(GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.output;
    EXPECT_EQ(result.output.rfind(std::string("vostrel-sim: ") + GetParam().message, 0), 0u) << result.output;
    EXPECT_EQ(test::readText(bench_), before);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, CommandLineRefusals, ::testing::Values(
    Refusal{"--bench bench.json unplug nothing", 1, "no device \"nothing\" on the bench (ids: hubA, camera"},
    Refusal{"--bench bench.json unplug 5:1", 1, "no hub 5: the bus shows hubs 0 to 1"},
    Refusal{"--bench bench.json unplug 0:7", 1, "no port 7 on hub 0: ports are 1 to 4"},
    Refusal{"--bench bench.json unplug 0:4", 1, "nothing is attached to port 4 of hub 0"},
    Refusal{"--bench bench.json wedge 0-3.1", 1, "no device \"0-3.1\""},
    Refusal{"--bench bench.json power nohub 1 off", 1, "no hub \"nohub\" on the bench (ids: hubA, hubB)"},
    Refusal{"--bench bench.json power dock 1 off", 1, "dock is not a hub of the family"},
    Refusal{"--bench bench.json power 0 5 off", 2, "no port 5: ports are 1 to 4"},
    Refusal{"--bench bench.json fail camera 1", 2, "unknown status 1"},
    Refusal{"--bench bench.json explode", 2, "unknown command explode"},
    Refusal{"show", 2, "no bench: give --bench FILE or set VOSTREL_SIM_BENCH"},
    Refusal{"--bench missing.json show", 1, "missing.json: cannot read the bench description: no such file\n"},
    Refusal{"--bench broken.json unplug camera", 1,
            "broken.json: at /controllers/0/number: expected an integer 0 to 9, found \"zero\"\n"}));

}  // namespace
}  // namespace vostrel::sim
