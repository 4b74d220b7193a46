// The hub library itself, loaded as a program loads it, on simulated benches:
// its scan through the simulated USB stack, its port switches through the
// stand-in vendor library, its monitor recovering a wedged device.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "environment_variables.h"
#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "frame/text.h"
#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

// The hub library, loaded once for the whole program, as a program that links
// it has it. The stand-in, loaded first, is the libpt2lib.so it binds.
void* hubLibrary() {
    static void* const library = [] {
        vostrel::test::setVariable("VOSTREL_USBSTACK", SIM_STACK_MODULE);
        vostrel::test::loadSharedLibrary(SIM_PT2LIB);
        void* loaded = vostrel::test::loadSharedLibrary(HUB_LIBRARY);
        if (loaded == nullptr) throw std::runtime_error("cannot load " HUB_LIBRARY);
        return loaded;
    }();
    return library;
}

// At the program's end the hub library saves its settings into the current
// folder: leave the program in a folder that is gone by then. Windows keeps
// a process's current folder from being removed, so there the library is
// unloaded after the last test instead, in a folder removed afterwards.
class NowhereAtTheEnd : public ::testing::Environment {
public:
    void TearDown() override {
#if defined(_WIN32)
        const vostrel::test::ScratchDir dir;
        vostrel::test::unloadSharedLibrary(hubLibrary());
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "vostrel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        std::filesystem::current_path(pattern);
        std::filesystem::remove(pattern);
#endif
    }
};

const auto* const kNowhereAtTheEnd = ::testing::AddGlobalTestEnvironment(new NowhereAtTheEnd);

#define HUB(name) reinterpret_cast<decltype(&name)>(vostrel::test::sharedLibrarySymbol(hubLibrary(), #name))

class HubLibraryOnABench : public ::testing::Test {
protected:
    void load(const std::string& bench) {
        bench_ = test::writeText("bench.json", bench);
        vostrel::test::setVariable("VOSTREL_SIM_BENCH", bench_.c_str());
    }

    // Leaves the library as the next test expects it: no monitor, nothing watched.
    void TearDown() override {
        HUB(Hub_StopAutoRecovery)();
        DeviceInfoRecord record{};
        while (HUB(Hub_GetAutoCheckDeviceInfo)(&record) != 0) HUB(Hub_DeleteAutoCheckDeviceInfo)(&record);
        vostrel::test::removeVariable("VOSTREL_SIM_BENCH");
    }

    const DeviceInfoBlock& scan() {
        HUB(Hub_GetDeviceInfo)(block_.get());
        return *block_;
    }

    vostrel::test::ScratchDir dir_;
    std::string bench_;
    std::unique_ptr<DeviceInfoBlock> block_ = std::make_unique<DeviceInfoBlock>();
};

// ASCII texts only.
std::string ascii(const char16_t (&text)[kTextUnits]) { return std::string(text, text + textLength(text)); }

// "hub:port status vendor:product release speed configuration class manufacturer|product"
std::string describe(const PortInfoRecord& port) {
    char head[64];
    std::snprintf(head, sizeof head, "%d:%d %u %04X:%04X %04X %u %u %02X ", port.hubIndex, port.portIndex,
                  port.connectionStatus, port.vendorId, port.productId, port.deviceRelease, port.speed,
                  port.configurationValue, port.deviceClass);
    return head + ascii(port.manufacturer) + "|" + ascii(port.product);
}

struct ExampleScan {
    const char* example;
    int hubCount;
    int connected;  // ports reading DeviceConnected
    std::vector<std::string> ports;  // as describe() gives them
};

TEST_F(HubLibraryOnABench, ScansTheExampleBenches) {
    const ExampleScan kScans[] = {
        {"one-hub-usb2.json", 1, 3, {
            "0:0 1 7E57:0A01 0100 1 1 00 Kestrel Input|Compact Keyboard",
            "0:1 1 7E57:0B17 0110 2 1 00 Orrin Storage|Pocket Drive 64",  // SuperSpeed, on the USB 2.0 side
            "0:2 0 0000:0000 0000 0 0 00 |",
            "0:3 1 7E57:0C20 0100 1 2 00 Lumen Labs|Light Sensor"}},
        {"two-hubs-usb3.json", 2, 4, {
            "0:0 1 7E57:0C31 0200 2 1 EF Lumen Labs|HD Camera",  // the first listed language
            "0:1 1 7E57:0B30 0100 3 1 00 Orrin Storage|Portable SSD",
            "0:2 0 0000:0000 0000 0 0 00 |",  // unplugged
            "1:1 4 7E57:0F20 0100 2 0 00 |",  // failed: no strings
            "1:3 1 7E57:0F40 0100 1 0 00 |Power Meter"}},  // not configured
        {"32-hubs.json", 32, 128, {}},
    };
    for (const ExampleScan& expected : kScans) {
        SCOPED_TRACE(expected.example);
        load(test::example(expected.example));
        const DeviceInfoBlock& block = scan();
        ASSERT_EQ(block.hubCount, expected.hubCount);
        const auto isConnected = [](const PortInfoRecord& port) { return port.connectionStatus == DeviceConnected; };
        EXPECT_EQ(std::count_if(block.ports, block.ports + block.hubCount * 4, isConnected), expected.connected);
        for (const std::string& port : expected.ports) {
            EXPECT_EQ(describe(portRecord(block, std::stoi(port), std::stoi(port.substr(port.find(':') + 1)))), port);
        }
    }
}

// A family hub with a device whose product id is `tag` on ports 1 and 2, and
// `more` on its other ports.
std::string familyHub(int port, const std::string& serial, int tag, const std::string& more = "") {
    const std::string device = R"(, "vendorId": 1, "productId": )" + std::to_string(tag) + "}";
    return R"({"port": )" + std::to_string(port) + R"(, "kind": "family-hub", "serial": ")" + serial +
           R"(", "devices": [{"port": 1)" + device + R"(, {"port": 2)" + device + more + "]}";
}

// The scan takes HCD7 before HCD2, depth first, ports ascending; then the
// interface list, skipping controllers whose driver key it has met: hub k
// has devices tagged k + 1.
std::string numberingBench() {
    return R"({"controllers": [
      {"number": 2, "driverKey": "k2", "devices": [)" + familyHub(1, "C", 4) + R"(]},
      {"interfacePath": "if-dup", "driverKey": "k2", "devices": [)" + familyHub(1, "E", 6) + R"(]},
      {"interfacePath": "if-d", "driverKey": "kd", "devices": [)" + familyHub(1, "D", 5) + R"(]},
      {"number": 7, "interfacePath": "if-b", "driverKey": "k7", "devices": [
        {"port": 1, "kind": "hub", "vendorId": 1, "productId": 9, "devices": [)" + familyHub(3, "B2", 1) + R"(]},
        )" + familyHub(2, "B1", 2, ", " + familyHub(3, "B1A", 3)) + "]}]}";
}

TEST_F(HubLibraryOnABench, APortSwitchedOffReadsEmptyOnItsHubOnlyUntilSwitchedOn) {
    load(numberingBench());
    ASSERT_EQ(HUB(Hub_InitPt2lib)(), 1);
    ASSERT_EQ(scan().hubCount, 5);
    for (int hub = 0; hub < 5; ++hub) {
        EXPECT_EQ(portRecord(scan(), hub, 0).productId, hub + 1);
        // Port 1 through the vendor library's hub index, port 2 through the hub library.
        const Pt2Handle opened = PT2(MchpUsbOpen)(hub);
        ASSERT_EQ(PT2(MchpUsbGpioSet)(opened, 17, 0), 1);
        PT2(MchpUsbClose)(opened);
        ASSERT_EQ(HUB(Hub_SetHubPortStatus)(hub, 1, 0), 1);
        const DeviceInfoBlock& off = scan();
        for (int other = 0; other < 5; ++other) {
            for (int port : {0, 1}) {
                EXPECT_EQ(portRecord(off, other, port).connectionStatus, other == hub ? NoDeviceConnected : DeviceConnected)
                    << "hub " << hub << " switched off; hub " << other << " port " << port;
            }
        }
        for (int port : {0, 1}) ASSERT_EQ(HUB(Hub_SetHubPortStatus)(hub, port, 1), 1);
    }
}

TEST_F(HubLibraryOnABench, SeesTheChangesOfAnotherProcessAndShowsItsOwn) {
    load(test::example("two-hubs-usb3.json"));
    ASSERT_EQ(test::runCli("unplug camera").exitCode, 0);  // the bench named by the variable
    EXPECT_EQ(portRecord(scan(), 0, 0).connectionStatus, NoDeviceConnected);
    ASSERT_EQ(test::runCli("plug 0:1").exitCode, 0);
    EXPECT_EQ(portRecord(scan(), 0, 0).connectionStatus, DeviceConnected);

    ASSERT_EQ(HUB(Hub_InitPt2lib)(), 1);
    ASSERT_EQ(HUB(Hub_SetHubPortStatus)(1, 1, 0), 1);
    const auto shown = test::runCli("show");
    for (const char* line : {"  port 1: hubA [0-1] hub 0, family hub, serial \"VH0002A\", working\n",
                             "port 2 (off): printer [0-2.3.2] 0x7E57:0x0F20 \"Quill Devices\" \"Label Printer\", "
                             "high speed, failed, status 4 (DeviceCausedOvercurrent); not on the bus: its port has no "
                             "power\n",
                             "2 hubs of the family on the bus\n"}) {
        EXPECT_NE(shown.output.find(line), std::string::npos) << line << " in:\n" << shown.output;
    }
}

struct Wedging {
    const char* name;
    const char* wedgedAs;
    int eventCode;  // the line the monitor writes for it
};

class MonitorRecovers : public HubLibraryOnABench, public ::testing::WithParamInterface<Wedging> {};

TEST_P(MonitorRecovers, AWedgedWatchedDeviceByPowerCyclingItsPort) {
    load(test::example("two-hubs-usb3.json"));
    scan();
    DeviceInfoRecord camera{};
    ASSERT_EQ(HUB(Hub_GetDeviceInfo_Index_and_Port)(&camera, 0, 0), 1);
    ASSERT_EQ(HUB(Hub_SetAutoCheckDeviceInfo)(&camera), 1);
    ASSERT_EQ(HUB(Hub_SetAutoCheckTimeInfo)(1, 1), 1);
    ASSERT_EQ(HUB(Hub_StartAutoRecovery)(), 1);
    BenchFile file(bench_);
    file.update([&](Document& document, const BusView& view) {
        document["controllers"][0]["devices"][0]["devices"][0]["wedgedAs"] = GetParam().wedgedAs;
        setState(document, test::named(view.bench(), "camera"), State::Wedged, view.now());
    });

    // Real time: the wait ends at the first sign of success; the bound only ends a failure.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto cameraState = [&] { return test::named(*file.current(), "camera").stateAt(wallClockMs()); };
    while (cameraState() != State::Present && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(cameraState(), State::Present) << "not recovered";
    ASSERT_EQ(HUB(Hub_StopAutoRecovery)(), 1);

    // One line: the local time of the event, then what it was and whom it hit.
    std::string log = test::readText("vostrel.log");
    const auto time = log.begin() + std::min<std::ptrdiff_t>(19, std::ssize(log));
    std::replace_if(log.begin(), time, [](unsigned char c) { return std::isdigit(c) != 0; }, 'd');
    EXPECT_EQ(log, "dddd/dd/dd dd:dd:dd," + std::to_string(GetParam().eventCode) +
                       ",0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n");
    EXPECT_EQ(describe(portRecord(scan(), 0, 0)), "0:0 1 7E57:0C31 0200 2 1 EF Lumen Labs|HD Camera");
}

void PrintTo(const Wedging& wedging, std::ostream* out) { *out << wedging.name; }

const Wedging kWedgings[] = {{"Unconfigured", "unconfigured", 1}, {"Failing", "failed", 3}};

INSTANTIATE_TEST_SUITE_P(EndToEnd, MonitorRecovers, ::testing::ValuesIn(kWedgings),
                         [](const ::testing::TestParamInfo<Wedging>& info) { return info.param.name; });

TEST(Demo, ShowsTheMonitorRecoveringAWedgedDevice) {
    vostrel::test::ScratchDir dir;
    const auto result = test::runCli("demo");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::size_t at = 0;
    for (const char* step : {"camera: wedged", "vostrel.log: ", ",1,0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\n",
                             "hub 0 port 1: power off\n", "hub 0 port 1: power on\n", "Recovered in "}) {
        at = result.output.find(step, at);
        ASSERT_NE(at, std::string::npos) << "missing \"" << step << "\" in order in:\n" << result.output;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // the demo leaves nothing behind
}

}  // namespace
}  // namespace vostrel::sim
