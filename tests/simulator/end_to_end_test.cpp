// The hub library itself, loaded as a program loads it, on simulated benches:
// its scan through the simulated USB stack, its port switches through the
// stand-in vendor library, its monitor recovering a wedged device.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <stdexcept>
#include <thread>

#include "core/bench_edits.h"
#include "core/bench_file.h"
#include "frame/text.h"
#include "hub_api.h"
#include "scratch_dir.h"
#include "sim_test_support.h"

namespace vostrel::sim {
namespace {

// Real-time waits end at the first sign of success; this only bounds a
// failure.
constexpr auto kPatience = std::chrono::seconds(30);

// The hub library, loaded once for the whole test program, as a program that
// links it has it: its unload steps run at the program's end. The simulated
// USB stack is the one it takes at its first scan, for good; the stand-in,
// loaded first, is the libpt2lib.so it binds, whatever its search would find.
void* hubLibrary() {
    static void* const library = [] {
        ::setenv("VOSTREL_USBSTACK", SIM_STACK_MODULE, 1);
        test::VendorLibrary::load();
        void* loaded = ::dlopen(HUB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (loaded == nullptr) throw std::runtime_error(::dlerror());
        return loaded;
    }();
    return library;
}

// At the program's end the hub library saves its settings into the current
// folder: leave the program in a folder that is gone by then.
class NowhereAtTheEnd : public ::testing::Environment {
public:
    void TearDown() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "vostrel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        std::filesystem::current_path(pattern);
        std::filesystem::remove(pattern);
    }
};

const auto* const kNowhereAtTheEnd = ::testing::AddGlobalTestEnvironment(new NowhereAtTheEnd);

class HubLibraryOnABench : public ::testing::Test {
protected:
    // Puts `example` (copied into the test's folder) before the hub library.
    void load(const std::string& example) {
        bench_ = test::writeText("bench.json", test::example(example));
        ::setenv("VOSTREL_SIM_BENCH", bench_.c_str(), 1);
        library_ = hubLibrary();
    }

    // Leaves the library as the next test expects it: no monitor, nothing watched.
    void TearDown() override {
        if (library_ != nullptr) {
            call<decltype(Hub_StopAutoRecovery)>("Hub_StopAutoRecovery")();
            DeviceInfoRecord record{};
            while (call<decltype(Hub_GetAutoCheckDeviceInfo)>("Hub_GetAutoCheckDeviceInfo")(&record) != 0) {
                call<decltype(Hub_DeleteAutoCheckDeviceInfo)>("Hub_DeleteAutoCheckDeviceInfo")(&record);
            }
        }
        ::unsetenv("VOSTREL_SIM_BENCH");
    }

    template <typename Function>
    Function* call(const char* name) const {
        return test::symbol<Function>(library_, name);
    }

    const DeviceInfoBlock& scan() {
        call<decltype(Hub_GetDeviceInfo)>("Hub_GetDeviceInfo")(block_.get());
        return *block_;
    }

    void edit(const std::string& id, State state) {
        BenchFile(bench_).update([&](Document& document, const BusView& view) {
            forEachDevice(view.bench(), [&](const Device& device) {
                if (device.id == id) setState(document, device, state, view.now());
            });
        });
    }

    State stateOf(const std::string& id) {
        BenchFile file(bench_);
        const auto bench = file.current();
        State state = State::Unplugged;
        forEachDevice(*bench, [&](const Device& device) {
            if (device.id == id) state = device.stateAt(wallClockMs());
        });
        return state;
    }

    vostrel::test::ScratchDir dir_;
    std::string bench_;
    void* library_ = nullptr;
    std::unique_ptr<DeviceInfoBlock> block_ = std::make_unique<DeviceInfoBlock>();
};

std::u16string text(const char16_t (&field)[kTextUnits]) { return {field, textLength(field)}; }

// "2026/12/07 00:09:57": a local date and time as the event log writes it.
bool isLogTime(const std::string& text) {
    const std::string shape = "dddd/dd/dd dd:dd:dd";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i]) return false;
    }
    return true;
}

TEST_F(HubLibraryOnABench, ScansAHubOnAUsb2Port) {
    load("one-hub-usb2.json");
    const DeviceInfoBlock& block = scan();
    ASSERT_EQ(block.hubCount, 1);
    const PortInfoRecord& keyboard = block.port(0, 0);
    EXPECT_EQ(keyboard.connectionStatus, DeviceConnected);
    EXPECT_EQ(keyboard.vendorId, 0x7E57);
    EXPECT_EQ(keyboard.productId, 0x0A01);
    EXPECT_EQ(keyboard.speed, 1);
    EXPECT_EQ(keyboard.configurationValue, 1);
    EXPECT_EQ(text(keyboard.product), u"Compact Keyboard");
    EXPECT_EQ(text(keyboard.manufacturer), u"Kestrel Input");
    const PortInfoRecord& stick = block.port(0, 1);
    EXPECT_EQ(stick.speed, 2);  // a SuperSpeed device on the hub's USB 2.0 side
    EXPECT_EQ(stick.deviceRelease, 0x0110);
    EXPECT_EQ(block.port(0, 2).connectionStatus, NoDeviceConnected);
    EXPECT_EQ(block.port(0, 2).vendorId, 0);
    EXPECT_EQ(block.port(0, 2).portIndex, 2);
    EXPECT_EQ(block.port(0, 3).configurationValue, 2);
    EXPECT_EQ(block.port(1, 0).hubIndex, 0);  // beyond the hub count: zero
}

TEST_F(HubLibraryOnABench, ScansTwoHubsOnUsb3PortsWithAMixOfDevices) {
    load("two-hubs-usb3.json");
    const DeviceInfoBlock& block = scan();
    ASSERT_EQ(block.hubCount, 2);
    EXPECT_EQ(text(block.port(0, 0).product), u"HD Camera");  // the first listed language
    EXPECT_EQ(block.port(0, 0).deviceClass, 0xEF);
    EXPECT_EQ(block.port(0, 1).speed, 3);  // the SuperSpeed side's record
    EXPECT_EQ(text(block.port(0, 1).product), u"Portable SSD");
    EXPECT_EQ(block.port(0, 2).connectionStatus, NoDeviceConnected);  // unplugged
    EXPECT_EQ(block.port(1, 0).speed, 1);
    const PortInfoRecord& printer = block.port(1, 1);
    EXPECT_EQ(printer.connectionStatus, DeviceCausedOvercurrent);
    EXPECT_EQ(printer.productId, 0x0F20);
    EXPECT_EQ(text(printer.product), u"");
    const PortInfoRecord& meter = block.port(1, 3);
    EXPECT_EQ(meter.connectionStatus, DeviceConnected);
    EXPECT_EQ(meter.configurationValue, 0);
    EXPECT_EQ(text(meter.product), u"Power Meter");
    EXPECT_EQ(text(meter.manufacturer), u"");
}

TEST_F(HubLibraryOnABench, ScansThirtyTwoHubsInFileOrder) {
    load("32-hubs.json");
    const DeviceInfoBlock& block = scan();
    ASSERT_EQ(block.hubCount, 32);
    for (int hub = 0; hub < 32; ++hub) {
        for (int port = 0; port < 4; ++port) {
            EXPECT_EQ(block.port(hub, port).connectionStatus, DeviceConnected) << hub << ":" << port;
        }
    }
    // Device products cycle through four kinds, shifted by one per hub.
    EXPECT_EQ(text(block.port(5, 0).product), u"Portable SSD");
}

TEST_F(HubLibraryOnABench, APortSwitchedOffReadsEmptyUntilSwitchedOnAgain) {
    load("32-hubs.json");
    ASSERT_EQ(call<decltype(Hub_InitPt2lib)>("Hub_InitPt2lib")(), 1);
    const auto setPort = call<decltype(Hub_SetHubPortStatus)>("Hub_SetHubPortStatus");
    // Every hub index opens the hub the scan gives that index.
    for (int hub = 0; hub < 32; ++hub) {
        const int port = hub % 4;
        ASSERT_EQ(setPort(hub, port, 0), 1);
        const DeviceInfoBlock& off = scan();
        for (int other = 0; other < 32; ++other) {
            for (int p = 0; p < 4; ++p) {
                const bool expectOff = other == hub && p == port;
                EXPECT_EQ(off.port(other, p).connectionStatus, expectOff ? NoDeviceConnected : DeviceConnected)
                    << "hub " << hub << " switched; hub " << other << " port " << p;
            }
        }
        ASSERT_EQ(setPort(hub, port, 1), 1);
        EXPECT_EQ(scan().port(hub, port).connectionStatus, DeviceConnected);
    }
    std::uint8_t status = 7;
    EXPECT_EQ(call<decltype(Hub_GetHubPortStatus)>("Hub_GetHubPortStatus")(3, &status), 1);
    EXPECT_EQ(status, 1);
}

TEST_F(HubLibraryOnABench, SeesAnotherProcessUnplugAndPlugADevice) {
    load("two-hubs-usb3.json");
    EXPECT_EQ(scan().port(0, 0).connectionStatus, DeviceConnected);
    ASSERT_EQ(test::runCli("unplug camera").exitCode, 0);
    EXPECT_EQ(scan().port(0, 0).connectionStatus, NoDeviceConnected);
    ASSERT_EQ(test::runCli("plug 0:1").exitCode, 0);
    EXPECT_EQ(scan().port(0, 0).connectionStatus, DeviceConnected);
}

struct Wedging {
    const char* name;
    const char* wedgedAs;
    int eventCode;  // the line the monitor writes for it
};

class MonitorRecovers : public HubLibraryOnABench, public ::testing::WithParamInterface<Wedging> {};

TEST_P(MonitorRecovers, AWedgedWatchedDeviceByPowerCyclingItsPort) {
    load("two-hubs-usb3.json");
    BenchFile(bench_).update([&](Document& document, const BusView&) {
        document["controllers"][0]["devices"][0]["devices"][0]["wedgedAs"] = GetParam().wedgedAs;
    });
    scan();
    DeviceInfoRecord camera{};
    ASSERT_EQ(call<decltype(Hub_GetDeviceInfo_Index_and_Port)>("Hub_GetDeviceInfo_Index_and_Port")(&camera, 0, 0), 1);
    ASSERT_EQ(call<decltype(Hub_SetAutoCheckDeviceInfo)>("Hub_SetAutoCheckDeviceInfo")(&camera), 1);
    ASSERT_EQ(call<decltype(Hub_SetAutoCheckTimeInfo)>("Hub_SetAutoCheckTimeInfo")(1, 1), 1);
    ASSERT_EQ(call<decltype(Hub_StartAutoRecovery)>("Hub_StartAutoRecovery")(), 1);
    edit("camera", State::Wedged);

    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (stateOf("camera") != State::Present && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(stateOf("camera"), State::Present) << "not recovered";
    ASSERT_EQ(call<decltype(Hub_StopAutoRecovery)>("Hub_StopAutoRecovery")(), 1);

    // One line: the time of the event, then what it was and whom it hit.
    const std::string log = test::readText("vostrel.log");
    EXPECT_TRUE(isLogTime(log.substr(0, 19))) << log;
    EXPECT_EQ(log.substr(std::min<std::size_t>(19, log.size())),
              "," + std::to_string(GetParam().eventCode) + ",0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\r\n");
    const DeviceInfoBlock& block = scan();
    EXPECT_EQ(block.port(0, 0).connectionStatus, DeviceConnected);
    EXPECT_NE(block.port(0, 0).configurationValue, 0);
}

void PrintTo(const Wedging& wedging, std::ostream* out) { *out << wedging.name; }

const Wedging kWedgings[] = {{"Unconfigured", "unconfigured", 1}, {"Failing", "failed", 3}};

INSTANTIATE_TEST_SUITE_P(EndToEnd, MonitorRecovers, ::testing::ValuesIn(kWedgings),
                         [](const ::testing::TestParamInfo<Wedging>& info) { return info.param.name; });

TEST(Demo, ShowsTheMonitorRecoveringAWedgedDevice) {
    vostrel::test::ScratchDir dir;
    const auto result = test::runCli("demo");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    // The story, in this order.
    std::size_t at = 0;
    for (const char* step : {"camera: wedged", "vostrel.log: ", ",1,0,1,0x7E57,0x0C31,Lumen Labs,HD Camera\n",
                             "hub 0 port 1: power off\n", "hub 0 port 1: power on\n", "Recovered in "}) {
        const std::size_t found = result.output.find(step, at);
        ASSERT_NE(found, std::string::npos) << "missing \"" << step << "\" in:\n" << result.output;
        at = found;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // the demo leaves nothing behind
}

}  // namespace
}  // namespace vostrel::sim
