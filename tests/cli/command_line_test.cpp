// The vostrel program run as a user runs it, on simulated benches.
#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "cli_test_support.h"
#include "log_line_cases.h"

namespace vostrel::cli::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The names of the files in `folder`, with their contents.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        contents[entry.path().filename().string()] = readText(entry.path().string());
    }
    return contents;
}

json port(const char* power, const char* status, int statusCode, const char* vendorId, const char* productId,
          const char* manufacturer, const char* product, const char* serial, bool watched) {
    const auto text = [](const char* value) { return value != nullptr ? json(value) : json(nullptr); };
    return {{"power", text(power)},       {"status", status},       {"statusCode", statusCode},
            {"vendorId", text(vendorId)}, {"productId", text(productId)}, {"manufacturer", text(manufacturer)},
            {"product", text(product)},   {"serial", text(serial)}, {"watched", watched}};
}

using CommandLine = CliTest;

TEST_F(CommandLine, ListMatchesTheBench) {
    ASSERT_EQ(vostrel("watch add " + state_ + " 0 1").exitCode, 0);
    const json expected[2][4] = {
        {port("on", "DeviceConnected", 1, "7E57", "0C31", "Lumen Labs", "HD Camera", "CAM-7731", true),
         // SuperSpeed: the serial read on the hub's other side
         port("on", "DeviceConnected", 1, "7E57", "0B30", "Orrin Storage", "Portable SSD", "S3X0000917", false),
         port(nullptr, "NoDeviceConnected", 0, nullptr, nullptr, nullptr, nullptr, nullptr, false),
         port(nullptr, "NoDeviceConnected", 0, nullptr, nullptr, nullptr, nullptr, nullptr, false)},
        {port("on", "DeviceConnected", 1, "7E57", "0F10", "Quill Devices", "Serial Adapter", nullptr, false),
         // after an overcurrent the hub may have cut the port: unknown
         port(nullptr, "DeviceCausedOvercurrent", 4, "7E57", "0F20", nullptr, nullptr, nullptr, false),
         port(nullptr, "NoDeviceConnected", 0, nullptr, nullptr, nullptr, nullptr, nullptr, false),
         port("on", "DeviceConnected", 1, "7E57", "0F40", nullptr, "Power Meter", nullptr, false)}};

    const json list = listed(state_);
    ASSERT_EQ(list["hubCount"], 2);
    ASSERT_EQ(list["hubs"].size(), 2u);
    EXPECT_EQ(list["hubs"][0]["serial"], "VH0002A");
    EXPECT_EQ(list["hubs"][0]["location"], "0-1");
    EXPECT_EQ(list["hubs"][1]["serial"], "VH0002B");
    EXPECT_EQ(list["hubs"][1]["location"], "0-2.3");
    for (int hub = 0; hub < 2; ++hub) {
        EXPECT_EQ(list["hubs"][hub]["hub"], hub);
        for (int p = 0; p < 4; ++p) {
            json shown = list["hubs"][hub]["ports"][p];
            EXPECT_EQ(shown["port"], p + 1);
            shown.erase("port");
            EXPECT_EQ(shown, expected[hub][p]) << "hub " << hub << " port " << p + 1;
        }
    }
    EXPECT_FALSE(listed()["hubs"][0]["ports"][0]["watched"]);  // the current folder watches nothing

    useBench("32-hubs.json");
    const json big = listed();
    ASSERT_EQ(big["hubCount"], 32);
    std::set<std::string> serials;
    for (const json& hub : big["hubs"]) {
        for (const json& each : hub["ports"]) {
            EXPECT_EQ(each["power"], "on");
            if (each["serial"].is_string()) serials.insert(each["serial"].get<std::string>());
        }
    }
    EXPECT_EQ(serials.size(), 128u);
}

TEST_F(CommandLine, ListShowsItInTextToo) {
    useBench("one-hub-usb2.json");
    const Outcome run = vostrel("list");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "HUB  PORT  POWER    STATUS             DEVICE     MANUFACTURER   PRODUCT           SERIAL   WATCHED\n"
              "0    1     on       DeviceConnected    7E57:0A01  Kestrel Input  Compact Keyboard  -        no\n"
              "0    2     on       DeviceConnected    7E57:0B17  Orrin Storage  Pocket Drive 64   0042A77  no\n"
              "0    3     unknown  NoDeviceConnected  -          -              -                 -        no\n"
              "0    4     on       DeviceConnected    7E57:0C20  Lumen Labs     Light Sensor      -        no\n"
              "\n"
              "HUB  SERIAL   LOCATION\n"
              "0    VH0001A  0-1\n");
}

TEST_F(CommandLine, TheReadmesScriptExampleWorks) {
    const std::string readme = readText(PROJECT_README);
    const auto start = readme.find("\nvostrel list --json | jq ");
    ASSERT_NE(start, std::string::npos);
    const std::string example = readme.substr(start + 1, readme.find('\n', start + 1) - start - 1);
    writeText("example.sh", example + "\n");
    const auto result = vostrel::test::runCommand("PATH='" + fs::path(VOSTREL_PROGRAM).parent_path().string() +
                                                  "':\"$PATH\" bash -eo pipefail example.sh");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "CAM-7731 hub 0 port 1\nS3X0000917 hub 0 port 2\n");
}

TEST_F(CommandLine, PortSwitchesTheBenchAndCycleTurnsItOffThenOn) {
    Outcome run = vostrel("port 0 2 off");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hub 0 port 2: power off\n");
    EXPECT_FALSE(powered(0, 2));
    EXPECT_TRUE(powered(0, 1));
    EXPECT_EQ(listed()["hubs"][0]["ports"][1]["status"], "NoDeviceConnected");
    ASSERT_EQ(vostrel("port 0 2 on").exitCode, 0);
    EXPECT_TRUE(powered(0, 2));
    EXPECT_EQ(listed()["hubs"][0]["ports"][1]["status"], "DeviceConnected");

    // The pause of a cycle shows on the bench, however short the look.
    bool seenOff = false;
    std::thread cycle([&] { run = vostrel("port 1 4 cycle --off-time 1.5"); });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seenOff && std::chrono::steady_clock::now() < end) {
        seenOff = !powered(1, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    cycle.join();
    EXPECT_TRUE(seenOff);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hub 1 port 4: power off\nhub 1 port 4: power on\n");
    EXPECT_TRUE(powered(1, 4));
}

TEST_F(CommandLine, CycleKeepsThePortOffForTheStoredOffTimeAndOneTick) {
    ASSERT_EQ(vostrel("times " + state_ + " 5 1").exitCode, 0);
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = vostrel("port " + state_ + " 0 1 cycle");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(powered(0, 1));
}

struct Naming {
    const char* bench;
    const char* arguments;  // of `port`, switching off
    int exitCode;
    const char* switchedOff;  // "hub:port" on success; else what stderr says after "vostrel: "
};

void PrintTo(const Naming& naming, std::ostream* out) { *out << naming.arguments; }

class ByDevice : public CliTest, public ::testing::WithParamInterface<Naming> {};

TEST_P(ByDevice, FindsTheRightPortAndRefusesAmbiguousOrUnknownNames) {
    const Naming& naming = GetParam();
    const std::string twins = R"({"controllers": [{"number": 0, "devices": [
        {"port": 1, "kind": "family-hub", "serial": "H1", "devices": [
          {"port": 3, "vendorId": 1, "productId": 2, "serial": "TWIN"}]},
        {"port": 2, "kind": "family-hub", "serial": "H2", "devices": [
          {"port": 4, "vendorId": 1, "productId": 3, "serial": "TWIN"}]}]}]})";
    useBench(naming.bench, std::string(naming.bench) == "twins" ? twins : "");
    const std::string before = readText(bench_);
    const Outcome run = vostrel(std::string("port ") + naming.arguments + " off");
    EXPECT_EQ(run.exitCode, naming.exitCode) << run.err;
    if (naming.exitCode == 0) {
        const int hub = std::stoi(naming.switchedOff), p = std::stoi(std::strchr(naming.switchedOff, ':') + 1);
        EXPECT_EQ(run.out, "hub " + std::to_string(hub) + " port " + std::to_string(p) + ": power off\n");
        EXPECT_FALSE(powered(hub, p));
    } else {
        EXPECT_EQ(run.err.rfind(std::string("vostrel: ") + naming.switchedOff, 0), 0u) << run.err;
        EXPECT_EQ(readText(bench_), before);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLine, ByDevice, ::testing::Values(
    Naming{"two-hubs-usb3.json", "--serial CAM-7731", 0, "0:1"},
    Naming{"two-hubs-usb3.json", "--serial S3X0000917", 0, "0:2"},
    Naming{"two-hubs-usb3.json", "--device 7E57:0F10", 0, "1:1"},
    Naming{"two-hubs-usb3.json", "--device 0x7e57:0x0f20", 0, "1:2"},  // a failed device is on its port too
    Naming{"32-hubs.json", "--device 7E57:0C31 --index 3", 0, "3:2"},
    Naming{"twins", "--serial TWIN --index 1", 0, "1:4"},
    Naming{"32-hubs.json", "--device 7E57:0C31", 1,
           "device 7E57:0C31 is on 32 ports on the family's hubs; choose one with --index:\n"
           "  --index 0: hub 0 port 1  7E57:0C31  Lumen Labs  HD Camera\n"
           "  --index 1: hub 1 port 4  7E57:0C31  Lumen Labs  HD Camera\n"},
    Naming{"twins", "--serial TWIN", 1,
           "serial TWIN is on 2 ports on the family's hubs; choose one with --index:\n"
           "  --index 0: hub 0 port 3  0001:0002\n"
           "  --index 1: hub 1 port 4  0001:0003\n"},
    Naming{"twins", "--serial TWIN --index 2", 1,
           "--index 2: serial TWIN is on 2 ports on the family's hubs (--index 0 to 1)\n"},
    Naming{"two-hubs-usb3.json", "--serial NOPE", 1, "no serial NOPE on the family's hubs\n"},
    Naming{"two-hubs-usb3.json", "--serial cam-7731", 1, "no serial cam-7731 on the family's hubs\n"},
    Naming{"two-hubs-usb3.json", "--device 7E57:0D02", 1, "no device 7E57:0D02 on the family's hubs\n"}));  // unplugged

TEST_F(CommandLine, WatchByDeviceAddsTheRightPortAndRemovesByTheList) {
    ASSERT_EQ(vostrel("watch add " + state_ + " --serial S3X0000917").exitCode, 0);
    ASSERT_EQ(vostrel("watch add " + state_ + " --device 7E57:0C31").exitCode, 0);
    Outcome run = vostrel("watch list --json " + state_);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out),
              json::parse(R"({"devices": [
                {"hub": 0, "port": 2, "vendorId": "7E57", "productId": "0B30", "manufacturer": "Orrin Storage",
                 "product": "Portable SSD",
                 "follows": {"onBus": true, "hub": 0, "serial": "VH0002A", "location": "0-1"}},
                {"hub": 0, "port": 1, "vendorId": "7E57", "productId": "0C31", "manufacturer": "Lumen Labs",
                 "product": "HD Camera",
                 "follows": {"onBus": true, "hub": 0, "serial": "VH0002A", "location": "0-1"}}]})"));

    // Gone from the bus, the camera is still found on the list.
    ASSERT_EQ(sim::test::runCli("unplug camera").exitCode, 0);
    run = vostrel("watch remove " + state_ + " --device 7E57:0C31");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "no longer watching hub 0 port 1\n");
    run = vostrel("watch remove " + state_ + " 0 1");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vostrel: hub 0 port 1 is not on the watch list\n");
    run = vostrel("watch list " + state_);
    EXPECT_EQ(run.out, "HUB  PORT  DEVICE     MANUFACTURER   PRODUCT       FOLLOWS\n"
                       "0    2     7E57:0B30  Orrin Storage  Portable SSD  hub 0 (VH0002A at 0-1)\n");

    // Its hub gone, the entry still follows it.
    ASSERT_EQ(sim::test::runCli("unplug hubA").exitCode, 0);
    run = vostrel("watch list " + state_);
    EXPECT_EQ(run.out, "HUB  PORT  DEVICE     MANUFACTURER   PRODUCT       FOLLOWS\n"
                       "0    2     7E57:0B30  Orrin Storage  Portable SSD  a hub that is gone\n");
}

// A hub named by its serial number or location acts on that hub whatever
// its number; a name that fits no hub, or several, changes nothing.
TEST_F(CommandLine, HubNamesTheHubBySerialOrLocation) {
    Outcome run = vostrel("port --hub VH0002B 1 off");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hub 1 port 1: power off\n");
    EXPECT_FALSE(powered(1, 1));
    ASSERT_EQ(sim::test::runCli("unplug hubA").exitCode, 0);
    run = vostrel("port --hub 0-2.3 1 on");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hub 0 port 1: power on\n");
    EXPECT_TRUE(powered(0, 1));

    run = vostrel("watch add " + state_ + " --hub VH0002B 4");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "watching hub 0 port 4: 7E57:0F40  Power Meter\n");
    run = vostrel("port --hub VH0002A 1 off");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "vostrel: no hub VH0002A on the bus;\n  hub 0 (VH0002B at 0-2.3)\n");
    run = vostrel("watch remove " + state_ + " --hub VH0002B 4");
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

// The fifth fault on the simulator: a cycle whose hub goes during the pause
// must not switch on the port of the hub that took its number.
TEST_F(CommandLine, ACycleSwitchesOnOnlyTheHubItSwitchedOff) {
    ASSERT_EQ(vostrel("port 1 1 off").exitCode, 0);  // hub B's port 1, off on purpose
    Outcome run;
    std::thread cycle([&] {
        run = vostrel("port 0 1 cycle --off-time 600", "sh -c 'echo $$ >cycle.pid; exec \"$0\" \"$@\"' ");
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (powered(0, 1) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(sim::test::runCli("unplug hubA").exitCode, 0);
    ::kill(std::stoi(readText("cycle.pid")), SIGTERM);  // ends the pause now
    cycle.join();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "hub 0 port 1: power off\n");
    EXPECT_EQ(run.err, "vostrel: hub 0 (VH0002A at 0-1) has gone from the bus during the pause; port 1 was not "
                       "switched on again\n");
    EXPECT_EQ(listed()["hubs"][0]["ports"][0]["status"], "NoDeviceConnected") << "hub B's port 1 stays off";

    // A hub that only moved: switched on again where it is now.
    ASSERT_EQ(sim::test::runCli("plug hubA").exitCode, 0);
    fs::remove("cycle.pid");
    std::thread again([&] {
        run = vostrel("port 1 4 cycle --off-time 600", "sh -c 'echo $$ >cycle.pid; exec \"$0\" \"$@\"' ");
    });
    while (powered(1, 4) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(sim::test::runCli("unplug hubA").exitCode, 0);
    ::kill(std::stoi(readText("cycle.pid")), SIGTERM);
    again.join();
    EXPECT_EQ(run.out, "hub 1 port 4: power off\nhub 1 (VH0002B at 0-2.3) is hub 0 now\nhub 0 port 4: power on\n");
    EXPECT_EQ(run.err, "vostrel: interrupted: hub 0 port 4 was switched on again early\n");
    EXPECT_EQ(listed()["hubs"][0]["ports"][3]["status"], "DeviceConnected");
}

struct Refusal {
    const char* arguments;
    int exitCode;
    const char* message;  // the start of stderr, after "vostrel: "
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.arguments; }

class BadInput : public CliTest, public ::testing::WithParamInterface<Refusal> {
protected:
    void SetUp() override {
        CliTest::SetUp();
        std::ofstream("file.txt") << "not a folder";
    }
};

TEST_P(BadInput, SaysWhatIsWrongAndChangesNothing) {
    ASSERT_EQ(vostrel("watch add " + state_ + " 0 1").exitCode, 0);
    const std::string bench = readText(bench_);
    const auto stored = folderContents("state");
    const Outcome run = vostrel(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_EQ(run.err.rfind(std::string("vostrel: ") + GetParam().message, 0), 0u) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readText(bench_), bench);
    EXPECT_EQ(folderContents("state"), stored);
    EXPECT_FALSE(fs::exists("vostrel.dat"));
}

INSTANTIATE_TEST_SUITE_P(CommandLine, BadInput, ::testing::Values(
    Refusal{"port 99 1 off", 2, "hub 99: hubs are numbered 0 to 31\n"},
    Refusal{"port -1 1 off", 2, "hub -1: hubs are numbered 0 to 31\n"},
    Refusal{"port 0 0 off", 2, "port 0: ports are numbered 1 to 4\n"},
    Refusal{"port 0 5 off", 2, "port 5: ports are numbered 1 to 4\n"},
    Refusal{"port 0 2x off", 2, "port 2x: ports are numbered 1 to 4\n"},
    Refusal{"port 0 off", 2, "give both HUB and PORT\n"},
    Refusal{"port 0 1 dance", 2, "unknown port action dance: expected on, off, cycle or toggle\n"},
    Refusal{"port 0 1 off --off-time 2", 2, "--off-time goes with cycle\n"},
    Refusal{"port 0 1 cycle --off-time 0", 2, "--off-time 0: expected seconds above 0 and at most 3600"},
    Refusal{"port 0 1 cycle --off-time 1e3", 2, "--off-time 1e3: expected seconds"},
    Refusal{"port off", 2, "name the port: HUB PORT, --hub HUB PORT, --serial TEXT or --device VID:PID\n"},
    Refusal{"port --hub VH0002A off", 2, "--hub names the hub: give PORT alone\n"},
    Refusal{"port --hub VH0002A 1 off --serial CAM-7731", 2, "name the port one way only"},
    Refusal{"port --hub VH 1 off", 1, "no hub VH on the bus;\n  hub 0 (VH0002A at 0-1)\n  hub 1 (VH0002B at 0-2.3)\n"},
    Refusal{"port 0 1 off --serial CAM-7731", 2, "name the port one way only"},
    Refusal{"port 0 1 off --index 1", 2, "--index picks among devices named by --serial or --device\n"},
    Refusal{"port --device 7E57-0C31 off", 2, "--device 7E57-0C31: expected VENDOR:PRODUCT, two hexadecimal IDs"},
    Refusal{"port --device 7E57:10000 off", 2, "--device 7E57:10000: expected VENDOR:PRODUCT"},
    Refusal{"port --device :0C31 off", 2, "--device :0C31: expected VENDOR:PRODUCT"},
    Refusal{"port --device 7E57:0C31 --index x off", 2, "--index x: expected a number from 0\n"},
    Refusal{"explode", 2, "unknown command explode: the commands are list, hubs, port, watch, times, recovery, log, "
                          "monitor or version\n"},
    Refusal{"", 2, "give a command: list, hubs, port, watch, times, recovery, log, monitor or version\n"},
    Refusal{"watch", 2, "watch needs one of add, remove or list\n"},
    Refusal{"recovery maybe", 2, "unknown command recovery maybe: recovery takes on, off or status\n"},
    Refusal{"list --colour", 2, "The following argument was not expected: --colour"},
    Refusal{"times --state-dir state 0 3", 2, "interval 0: expected 1 to 255 ticks"},
    Refusal{"times --state-dir state 5 256", 2, "off time 256: expected 1 to 255 ticks"},
    Refusal{"times --state-dir state 5", 2, "times: give both INTERVAL and OFFTIME, or neither\n"},
    Refusal{"watch add --state-dir state 0", 2, "give both HUB and PORT\n"},
    Refusal{"port 5 1 off", 1, "no hub 5: the bus shows hubs 0 to 1\n"},
    Refusal{"watch add --state-dir state 0 1", 1, "hub 0 port 1 is on the watch list already\n"},
    Refusal{"watch add --state-dir state 0 3", 1, "hub 0 port 3 has no working device to watch (NoDeviceConnected)\n"},
    Refusal{"watch add --state-dir state 1 2", 1, "hub 1 port 2 has no working device to watch "
                                                  "(DeviceCausedOvercurrent)\n"},
    Refusal{"watch remove --state-dir state 1 1", 1, "hub 1 port 1 is not on the watch list\n"},
    Refusal{"monitor --state-dir missing", 1, "the state folder "},
    Refusal{"watch add --state-dir file.txt 0 2", 1, "the state folder "},
    Refusal{"list --state-dir missing", 1, "the state folder "},
    Refusal{"log --state-dir missing", 1, "the state folder "}));

TEST_F(CommandLine, AStateFolderThatCannotBeWrittenIsRefusedByName) {
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    // Root may write anywhere: run as nobody, in reach of the scratch folder.
    std::string prefix;
    if (::geteuid() == 0) {
        fs::permissions(dir_.path(), fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const std::string locked = (dir_.path() / "locked").string();
    for (const char* command : {"monitor", "watch add 0 1", "times 1 1", "recovery on"}) {
        const Outcome run = vostrel(std::string(command) + " --state-dir " + locked, prefix);
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_EQ(run.err, "vostrel: cannot write in the state folder " + locked + ": permission denied\n") << command;
    }
    EXPECT_TRUE(fs::is_empty("locked"));
}

struct VendorFailure {
    const char* libraryPath;  // first in LD_LIBRARY_PATH
    int error;                // what the refusing vendor library reports
    const char* message;
};

TEST_F(CommandLine, SaysWhyThePortCouldNotBeSwitched) {
    const VendorFailure kFailures[] = {
        {REFUSING_PT2LIB_FOLDER, 6,
         "vostrel: cannot switch hub 0 port 2 off: permission denied (run as root, or install the udev rule "
         "udev/60-vostrel-hubs.rules so that your user may switch the hubs' ports)\n"},
        {REFUSING_PT2LIB_FOLDER, 8, "vostrel: cannot switch hub 0 port 2 off: the kernel cannot switch this hub's "
                                    "ports\n"},
        {REFUSING_PT2LIB_FOLDER, 2, "vostrel: cannot switch hub 0 port 2 off: the hub is no longer on the bus\n"},
        {REFUSING_PT2LIB_FOLDER, 77, "vostrel: cannot switch hub 0 port 2 off: the vendor library reports error 77\n"},
        {INCOMPLETE_PT2LIB_FOLDER, 0, "vostrel: the vendor library libpt2lib.so could not be loaded "
                                      "(Hub_InitPt2lib returned 0)\n"},
    };
    for (const VendorFailure& failure : kFailures) {
        const Outcome run = vostrel("port 0 2 off", std::string("env LD_LIBRARY_PATH=") + failure.libraryPath + ":" +
                                                    LIBRARY_FOLDER ":" SIM_PT2LIB_FOLDER " VOSTREL_TEST_PT2_ERROR=" +
                                                    std::to_string(failure.error) + " ");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, failure.message);
        EXPECT_TRUE(powered(0, 2));
    }
}

// Which vendor library was loaded, found by the ordinary search: the
// simulator's stand-in where its folder comes first, the native library
// where that folder does; a library that cannot be bound is named.
TEST_F(CommandLine, VersionNamesTheLibrariesItLoadedAndTheVendorLibrarysOwnText) {
    const std::string head = "vostrel " VOSTREL_VERSION "\nhub library: " + fs::canonical(HUB_LIBRARY).string() + "\n";
    const struct {
        std::string libraryPath;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {LIBRARY_FOLDER ":" SIM_PT2LIB_FOLDER, 0,
         head + "vendor library: " + fs::canonical(SIM_PT2LIB).string() + "\n  Vostrel simulator pt2lib stand-in 1.0\n",
         ""},
#if defined(NATIVE_PT2LIB)
        {LIBRARY_FOLDER ":" NATIVE_PT2LIB_FOLDER, 0,
         head + "vendor library: " + fs::canonical(NATIVE_PT2LIB).string() +
             "\n  Vostrel native pt2lib " VOSTREL_VERSION " for Linux: port power through the kernel's port disable "
             "attributes (sysfs, Linux 6.0 and later), else hub port power requests through usbfs\n",
         ""},
#endif
        {LIBRARY_FOLDER ":" INCOMPLETE_PT2LIB_FOLDER, 1, head,
         "vostrel: the vendor library libpt2lib.so could not be loaded (Hub_InitPt2lib returned 0)\n"},
    };
    for (const auto& [libraryPath, exitCode, out, err] : cases) {
        const Outcome run = vostrel("version " + state_, "env LD_LIBRARY_PATH=" + libraryPath + " ");
        EXPECT_EQ(run.exitCode, exitCode) << libraryPath;
        EXPECT_EQ(run.out, out) << libraryPath;
        EXPECT_EQ(run.err, err) << libraryPath;
    }
}

// Commands that change nothing leave the library nothing to save when it
// unloads: no attempt to write in their private folder, which is gone by
// then, and nothing said of one under VOSTREL_DEBUG=1.
TEST_F(CommandLine, CommandsThatChangeNothingSaveNothing) {
    ASSERT_EQ(vostrel("watch add 0 1 " + state_).exitCode, 0);
    const auto stored = folderContents("state");
    for (const char* command : {"list", "list --json", "watch list", "version", "times", "recovery status"}) {
        const Outcome run = vostrel(std::string(command) + " " + state_, "env VOSTREL_DEBUG=1 ");
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.err, "") << command;
    }
    EXPECT_EQ(folderContents("state"), stored);
}

TEST_F(CommandLine, FindsTheHubLibraryByItsRunPathAndTakesAllOfItOrNothing) {
    const fs::path alone = dir_.path() / "alone", beside = dir_.path() / "beside", impostor = dir_.path() / "impostor";
    for (const fs::path& folder : {alone, beside, impostor}) fs::create_directory(folder);
    fs::copy_file(VOSTREL_PROGRAM, alone / "vostrel");
    fs::copy_file(VOSTREL_PROGRAM, beside / "vostrel");
    fs::copy_file(HUB_LIBRARY, beside / "libVostrel_4.so");
    fs::copy_file(SIM_PT2LIB, beside / "libpt2lib.so");
    fs::copy_file(SIM_PT2LIB, impostor / "libVostrel_4.so");

    const auto list = [](const fs::path& program, const std::string& environment) {
        const auto result = vostrel::test::runCommand(environment + " '" + program.string() + "' list 2>&1");
        return std::to_string(result.exitCode) + " " + result.output.substr(0, result.output.find('\n'));
    };
    EXPECT_EQ(list(alone / "vostrel", "env -u LD_LIBRARY_PATH"),
              "1 vostrel: cannot load the hub library: libVostrel_4.so: cannot open shared object file: No such file "
              "or directory");
    EXPECT_EQ(list(VOSTREL_PROGRAM, "env LD_LIBRARY_PATH=" + impostor.string()),
              "1 vostrel: libVostrel_4.so lacks Hub_InitPt2lib: it is not this version's hub library");
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The sanitizers' dlopen searches their own run path, not the program's.
    EXPECT_EQ(list(beside / "vostrel", "env -u LD_LIBRARY_PATH"), "0 HUB  PORT  POWER    STATUS                   "
                                                                  "DEVICE     MANUFACTURER   PRODUCT         SERIAL "
                                                                  "     WATCHED");
#endif
}

TEST_F(CommandLine, SettingsChangeOnlyInTheStateFolderAndOnlyWhenNoOtherProgramHoldsIt) {
    // Commands that only read leave the state folder and the current folder as they were.
    for (const char* command : {"list", "watch list", "times", "recovery status", "log", "port 0 1 on"}) {
        const Outcome run = vostrel(std::string(command) + " " + state_);
        EXPECT_EQ(run.exitCode, 0) << command << ": " << run.err;
    }
    EXPECT_TRUE(fs::is_empty("state"));
    EXPECT_FALSE(fs::exists("vostrel.dat"));

    ASSERT_EQ(vostrel("times " + state_ + " 2 1").exitCode, 0);
    EXPECT_EQ(fs::file_size("state/vostrel.dat"), 33672u);
    EXPECT_EQ(vostrel("times --json " + state_).out, "{\"interval\":2,\"offTime\":1}\n");
    EXPECT_EQ(vostrel("times --json", "env VOSTREL_STATE_DIR=state ").out, "{\"interval\":2,\"offTime\":1}\n");
    const std::pair<const char*, const char*> kChanges[] = {{"on", "on\n"}, {"off", "off\n"}, {"off", "off\n"}};
    for (const auto& [change, status] : kChanges) {
        const Outcome run = vostrel(std::string("recovery ") + change + " " + state_);
        EXPECT_EQ(run.out, std::string("auto recovery: ") + status);
        EXPECT_EQ(vostrel("recovery status " + state_).out, status);
    }

    // Held by another program, as a running monitor holds it.
    const int held = ::open("state", O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::string stored = readText("state/vostrel.dat");
    const Outcome refused = vostrel("watch add " + state_ + " 0 1");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("another vostrel program is using the state folder"), std::string::npos)
        << refused.err;
    EXPECT_EQ(vostrel("list " + state_).exitCode, 0);
    EXPECT_EQ(readText("state/vostrel.dat"), stored);
    ::close(held);
}

TEST_F(CommandLine, LogNamesEachEvent) {
    writeText("state/vostrel.log",
              "2017/04/05 01:07:09,3,0,3,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n"
              "2017/04/05 01:07:10,1,1,4,0x0001,0x0A2B,,\r\n"
              "2025/12/31 23:59:59,2,31,1,0xBEEF,0x0002,Acme, Inc.,Widget\r\n"
              "not an event\r\n"
              "2017/04/05 01:07:11,3,0,3,0x7E57");  // still being written
    Outcome run = vostrel("log " + state_);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "2017/04/05 01:07:09  missing (3)  hub 0 port 3  7E57:0C31  Lumen Labs  HD Camera\n"
              "2017/04/05 01:07:10  not configured (1)  hub 1 port 4  0001:0A2B\n"
              "2025/12/31 23:59:59  other device (2)  hub 31 port 1  BEEF:0002  Acme, Inc.  Widget\n"
              "not an event\n");
    run = vostrel("log --json " + state_);
    const json first = json::parse(run.out.substr(0, run.out.find('\n')));
    EXPECT_EQ(first, json::parse(R"({"time": "2017-04-05T01:07:09", "event": "missing", "code": 3, "hub": 0,
        "port": 3, "vendorId": "7E57", "productId": "0C31", "manufacturer": "Lumen Labs", "product": "HD Camera"})"));
    EXPECT_NE(run.out.find(R"({"unparsed":"not an event"})"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("event":"not configured","code":1)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(R"("manufacturer":null,"product":null)"), std::string::npos) << run.out;
}

// The lines every program reads alike: an event's fields as Talvern's log
// viewer shows them, a line whose formatted fields are not the library's as
// it stands.
TEST_F(CommandLine, LogReadsTheSharedLinesAsEveryProgramDoes) {
    std::string log;
    for (const auto& lineCase : vostrel::test::kLogLineCases) log += lineCase.line + "\r\n";
    writeText("state/vostrel.log", log);
    const Outcome run = vostrel("log --json " + state_);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    for (const auto& lineCase : vostrel::test::kLogLineCases) {
        std::string printed;
        ASSERT_TRUE(std::getline(lines, printed)) << lineCase.name;
        const json event = json::parse(printed);
        if (!lineCase.wellFormed) {
            EXPECT_EQ(event, json({{"unparsed", lineCase.line}})) << lineCase.name;
            continue;
        }
        const auto text = [](const std::string& field) { return field.empty() ? json(nullptr) : json(field); };
        EXPECT_EQ(event["code"], std::stoi(lineCase.fields[1])) << lineCase.name;
        EXPECT_EQ(event["hub"], std::stoi(lineCase.fields[2])) << lineCase.name;
        EXPECT_EQ(event["port"], std::stoi(lineCase.fields[3])) << lineCase.name;
        EXPECT_EQ("0x" + event["vendorId"].get<std::string>(), lineCase.fields[4]) << lineCase.name;
        EXPECT_EQ("0x" + event["productId"].get<std::string>(), lineCase.fields[5]) << lineCase.name;
        EXPECT_EQ(event["manufacturer"], text(lineCase.fields[6])) << lineCase.name;
        EXPECT_EQ(event["product"], text(lineCase.fields[7])) << lineCase.name;
    }
}

}  // namespace
}  // namespace vostrel::cli::test
