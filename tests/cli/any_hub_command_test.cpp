// `vostrel hubs` and `vostrel port --location` as child processes on a
// umockdev bed of hubs of every kind, whose hub devices' usbfs nodes umockdev
// answers as hubs that switch each port, all together or nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "emulated_hubs.h"
#include "kernel_hub_bed.h"
#include "mock_bus.h"
#include "run_command.h"
#include "scratch_dir.h"

namespace vostrel::test {
namespace {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AnyHubCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(runtime_);
        std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
        bus_.load(bed_.record());
        emulated_.attach(bus_, bed_.node("1-1"), false, kEachPortSwitched);
        emulated_.attach(bus_, bed_.node("2-1"), true, kEachPortSwitched);
        emulated_.attach(bus_, bed_.node("1-2"), false, kGangedSwitching);
        emulated_.attach(bus_, bed_.node("1-2.3"), false, kNoSwitching);
    }

    // Each run with the test's own runtime folder, so that none keeps
    // anything in the system's.
    Outcome vostrel(const std::string& arguments) {
        const auto result = runCommand("env LD_LIBRARY_PATH='" NATIVE_PT2LIB_FOLDER ":" LIBRARY_FOLDER
                                       "' VOSTREL_STATE_DIR=. XDG_RUNTIME_DIR='" +
                                       runtime_.string() + "' '" VOSTREL_PROGRAM "' " + arguments + " 2>stderr.txt");
        Outcome outcome{result.exitCode, result.output, fileText("stderr.txt")};
        // A sanitizer's report (CI's builds) exits with 1 too, as a refusal does.
        EXPECT_EQ(outcome.err.find("Sanitizer"), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find("runtime error:"), std::string::npos) << outcome.err;
        return outcome;
    }

    // `arguments` succeeds and prints `printed`.
    void expectDone(const std::string& arguments, const std::string& printed) {
        const Outcome run = vostrel(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments << ": " << run.err;
        EXPECT_EQ(run.out, printed) << arguments;
    }

    // `arguments` fails (1) and says `why`.
    void expectFailure(const std::string& arguments, const std::string& why) {
        const Outcome run = vostrel(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments;
        EXPECT_NE(run.err.find(why), std::string::npos) << arguments << ": " << run.err;
    }

    std::string disable(const std::string& hub, int port) const {
        return fileText(bed_.portFolder(hub, port) + "/disable");
    }

    ScratchDir scratch_;
    const std::filesystem::path runtime_ = scratch_.path() / "run";
    MockBus bus_;
    KernelHubBed bed_ = mixedHubBed();
    EmulatedHubs emulated_;
};

TEST_F(AnyHubCommand, ListsEveryHubAsJsonWithTheFieldsScriptsRelyOn) {
    const Outcome listed = vostrel("hubs --json");
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const auto json = nlohmann::json::parse(listed.out);
    EXPECT_EQ(json["hubCount"], 5);
    ASSERT_EQ(json["hubs"].size(), 5u);
    const auto usb3 = json["hubs"][1];
    EXPECT_EQ(usb3, nlohmann::json::parse(R"({
        "location": "1-1", "vendorId": "0409", "productId": "55AA", "manufacturer": "Maker", "product": "Hub",
        "serial": "H1", "portCount": 4, "powerSwitching": "per-port",
        "halves": {"usb2": "1-1", "superSpeed": "2-1"}, "family": false,
        "ports": [
          {"port": 1, "power": "off", "state": "configured",
           "device": {"location": "1-1.1", "vendorId": "0627", "productId": "0001", "manufacturer": "QEMU",
                      "product": "Tablet", "serial": "42", "configured": true}},
          {"port": 2, "power": "on", "state": "not attached", "device": null},
          {"port": 3, "power": "on", "state": "configured",
           "device": {"location": "2-1.3", "vendorId": "0781", "productId": "5581", "manufacturer": "Disk Maker",
                      "product": "Stick", "serial": "S3", "configured": true}},
          {"port": 4, "power": "on", "state": "not attached", "device": null}]})"));
    // A root hub's node answers no hub request here: unknown, not a failure.
    EXPECT_EQ(json["hubs"][0]["location"], "usb1");
    EXPECT_EQ(json["hubs"][0]["powerSwitching"], "unknown");
    EXPECT_EQ(json["hubs"][0]["halves"], nlohmann::json::parse(R"({"usb2": "usb1", "superSpeed": null})"));
    EXPECT_EQ(json["hubs"][2]["powerSwitching"], "ganged");
    EXPECT_EQ(json["hubs"][3]["powerSwitching"], "none");
    EXPECT_EQ(json["hubs"][3]["ports"][3]["device"]["configured"], false);
    EXPECT_EQ(json["hubs"][3]["ports"][3]["device"]["serial"], "line\nbreak");

    // Filters: by either half's name, by IDs, by serial; none fits.
    for (const auto& [filter, location] : {std::pair{"--location 2-1", "1-1"}, std::pair{"--vid-pid 409:101", "1-2"},
                                           std::pair{"--serial H1", "1-1"}}) {
        const auto one = nlohmann::json::parse(vostrel(std::string("hubs --json ") + filter).out);
        ASSERT_EQ(one["hubCount"], 1) << filter;
        EXPECT_EQ(one["hubs"][0]["location"], location) << filter;
    }
    EXPECT_EQ(nlohmann::json::parse(vostrel("hubs --json --serial nothing").out)["hubCount"], 0);
    EXPECT_EQ(vostrel("hubs --vid-pid 12345").exitCode, 2);
}

TEST_F(AnyHubCommand, ListsHubsAsTextWithoutSendingTheDevicesControlCharacters) {
    const Outcome listed = vostrel("hubs");
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out.find('\x1b'), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("1-1  0409:55AA  Maker  Hub  serial H1  4 ports  power switching per-port  USB 2 1-1 + "
                              "SuperSpeed 2-1\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("  1     off    configured    0627:0001"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("1234:ABCD (not configured)"), std::string::npos) << listed.out;
}

TEST_F(AnyHubCommand, SwitchesAPortOfAHubThatSwitchesEachPortOnBothHalves) {
    expectDone("port --location 1-1 --port 2 off", "hub 1-1 port 2: power off\n");
    EXPECT_EQ(disable("1-1", 2), "1\n");
    EXPECT_EQ(disable("2-1", 2), "1\n");

    expectDone("port --location 1-1 --port 2 toggle", "hub 1-1 port 2: power on\n");
    EXPECT_EQ(disable("1-1", 2), "0\n");
    EXPECT_EQ(disable("2-1", 2), "0\n");

    expectDone("port --location 1-1 --port 1 toggle", "hub 1-1 port 1: power on\n");

    expectDone("port --location 2-1 --port 3 cycle --off-time 0.05",
               "hub 2-1 port 3: power off\nhub 2-1 port 3: power on\n");
    EXPECT_EQ(disable("1-1", 3), "0\n");
    EXPECT_EQ(disable("2-1", 3), "0\n");

    // A device on no hub of the family, named by its serial number.
    expectDone("port --serial 42 off", "hub 1-1 port 1: power off\n");
    EXPECT_EQ(disable("1-1", 1), "1\n");
}

TEST_F(AnyHubCommand, RefusesHubsThatDoNotSwitchEachPortAndSaysWhy) {
    Outcome run = vostrel("port --location 1-2 --port 1 off");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("ganged"), std::string::npos) << run.err;
    EXPECT_EQ(disable("1-2", 1), "0\n");

    run = vostrel("port --location 1-2.3 --port 1 cycle --off-time 0.05");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("does not switch its ports' power"), std::string::npos) << run.err;
    EXPECT_EQ(disable("1-2.3", 1), "0\n");

    run = vostrel("port --location 3-1 --port 1 on");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no hub at 3-1"), std::string::npos) << run.err;

    for (const char* usage : {"port --location 1-1 on", "port --port 2 on", "port --location 1-1 --port 0 on",
                              "port --location 1-1 --port 2 0 1 on", "port --location 1-1 --port 2 flip",
                              "port --location 1-1 --port 2 off --off-time 1"}) {
        EXPECT_EQ(vostrel(usage).exitCode, 2) << usage;
    }
}

// A device named by its serial or IDs that no family hub shows is watched
// by its hub's location, and no longer watched the same way.
TEST_F(AnyHubCommand, WatchesADeviceNamedBySerialOrIdsOnAnyHubByLocation) {
    expectDone("watch add --serial 42", "watching 1-1 port 1: 0627:0001  QEMU  Tablet\n");
    expectDone("watch add --device 0781:5581", "watching 1-1 port 3: 0781:5581  Disk Maker  Stick\n");
    const auto kept = nlohmann::json::parse(fileText("vostrel-watch.json"));
    ASSERT_EQ(kept["entries"].size(), 2u);
    EXPECT_EQ(kept["entries"][0]["location"], "1-1");
    EXPECT_EQ(kept["entries"][0]["port"], 1);
    EXPECT_EQ(kept["entries"][1]["port"], 3);

    expectFailure("watch add --serial nothing", "no serial nothing");

    // Removed the same ways: the serial found on the bus, the IDs among the
    // entries (the device may be gone).
    expectDone("watch remove --device 0781:5581", "no longer watching 1-1 port 3\n");
    expectDone("watch remove --serial 42", "no longer watching 1-1 port 1\n");
    EXPECT_EQ(nlohmann::json::parse(fileText("vostrel-watch.json"))["entries"].size(), 0u);
    expectFailure("watch remove --device 0781:5581", "no device 0781:5581 on the watch list");
}

// The hubs' answers are kept in the session's runtime folder for the next
// run, which shows them; a switch asks the hub all the same.
TEST_F(AnyHubCommand, KeepsTheHubsAnswersForTheNextRunInTheRuntimeFolder) {
    const std::string memo = (runtime_ / "vostrel-hub-power-switching").string();
    ASSERT_EQ(vostrel("hubs --json").exitCode, 0);
    std::string kept = fileText(memo);
    const std::size_t ganged = kept.find(" ganged\n");
    ASSERT_NE(ganged, std::string::npos) << kept;
    EXPECT_NE(kept.find("\n1-1 1 "), std::string::npos) << kept;
    EXPECT_NE(kept.find("\n2-1 2 "), std::string::npos) << kept;

    kept.replace(ganged, 8, " per-port\n");
    std::ofstream(memo, std::ios::trunc) << kept;
    const Outcome listed = vostrel("hubs --json --location 1-2");
    EXPECT_EQ(nlohmann::json::parse(listed.out)["hubs"][0]["powerSwitching"], "per-port");
    expectFailure("port --location 1-2 --port 1 off", "ganged");
    EXPECT_EQ(disable("1-2", 1), "0\n");
}

// A session folder that others may write in is not used. Root without a
// usable one (sudo, a script) keeps the answers in the system's runtime
// folder, here a tmpfs over /run in a mount namespace of the test's own.
TEST_F(AnyHubCommand, KeepsTheAnswersOnlyInAFolderNoOneElseWritesIn) {
    const std::filesystem::path shared = scratch_.path() / "shared";
    std::filesystem::create_directory(shared);
    std::filesystem::permissions(shared, std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    const std::string inNamespace = "unshare --mount sh -c 'mount -t tmpfs tmpfs /run && ";
    if (runCommand(inNamespace + "true' 2>/dev/null").exitCode != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and mount namespaces)";
    }
    const std::string program = "env LD_LIBRARY_PATH=" NATIVE_PT2LIB_FOLDER ":" LIBRARY_FOLDER
                                " VOSTREL_STATE_DIR=. " VOSTREL_PROGRAM " hubs >/dev/null && ";
    const auto run = runCommand(inNamespace + "XDG_RUNTIME_DIR=" + shared.string() + " " + program +
                                "stat -c %a /run/vostrel && grep -c \" per-port$\" "
                                "/run/vostrel/vostrel-hub-power-switching'");
    EXPECT_EQ(run.output, "700\n2\n");
    EXPECT_TRUE(std::filesystem::is_empty(shared));
}

}  // namespace
}  // namespace vostrel::test
