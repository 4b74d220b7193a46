// The native vendor library on umockdev test beds: hubs numbered as the
// hub library's scan numbers them, ports switched through the kernel's
// `disable` attributes on both hub devices of a hub, and the failures a
// caller must be able to tell apart.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <vostrel/hub_api.h>

#include "child_process.h"
#include "core/descriptors.h"
#include "loaded_library.h"
#include "emulated_hubs.h"
#include "native_bed.h"
#include "backends/bus_sources.h"
#include "native_library.h"
#include "platform/usbfs.h"
#include <vostrel/pt2lib_errors.h>
#include "test_benches.h"
#include "usbbus/family_hubs.h"
#include "usbbus/utf.h"

namespace vostrel::test {
namespace {

namespace fs = std::filesystem;

// The serial strings of the hubs as the hub library numbers them, reading
// the bed through its own Linux stack.
std::vector<std::string> scannedSerials() {
    std::vector<std::string> serials;
    for (const usbbus::FamilyHub& hub : usbbus::walkFamilyHubs(*backends::makeHostBusSource()->read())) {
        serials.push_back(usbbus::utf16ToUtf8(hub.serial));
    }
    return serials;
}

// The serials in MchpUsbGetAllHubs's list, checking each line's index.
std::vector<std::string> listedSerials() {
    char list[2048];
    std::memset(list, 'x', sizeof list);
    EXPECT_EQ(native::getAllHubs(list), 1);
    std::vector<std::string> serials;
    std::string text(list, strnlen(list, sizeof list));
    for (std::size_t start = 0; start < text.size();) {
        const std::string line = text.substr(start, text.find('\n', start) - start);
        start += line.size() + 1;
        EXPECT_EQ(line.substr(0, line.find(' ')), std::to_string(serials.size())) << line;
        const std::size_t open = line.find('"');
        serials.push_back(line.substr(open + 1, line.find('"', open + 1) - open - 1));
    }
    return serials;
}

class NativeOnBed : public ::testing::Test {
protected:
    void TearDown() override {
        for (const Pt2Handle handle : handles_) native::close(handle);
    }

    // The bed of `bench`, its family hubs' nodes answering as hubs that
    // switch their ports' power as `characteristics` says.
    void load(const std::string& bench, sim::BedOptions options = {},
              std::uint16_t characteristics = kEachPortSwitched) {
        bus_.load(bedOf(bench, options));
        hubs_.attachFamilyHubs(bus_, characteristics);
    }

    Pt2Handle openHub(std::uint32_t index) {
        const Pt2Handle handle = native::open(index);
        EXPECT_NE(handle, -1) << "hub " << index;
        handles_.push_back(handle);
        return handle;
    }

    static std::uint32_t pinState(Pt2Handle hub, std::uint32_t pin) {
        std::uint32_t state = 7;
        EXPECT_EQ(native::getPin(hub, pin, &state), 1) << "pin " << pin << " error " << native::lastError(hub);
        return state;
    }

    MockBus bus_;
    EmulatedHubs hubs_;
    std::vector<Pt2Handle> handles_;
};

using HubNumbering = NativeOnBed;

// What keeps the orders equal: the hub library's scan, the native library
// (its list and its opening) and the simulator name hub k alike, by serial,
// on every bench the tests scan.
TEST(HubNumberingOnEveryBed, TheScanTheNativeLibraryAndTheSimulatorNumberHubsAlike) {
    const struct {
        const char* label;
        std::string bench;
    } beds[] = {
        {"one-hub-usb2", exampleBench("one-hub-usb2.json")},
        {"two-hubs-usb3", exampleBench("two-hubs-usb3.json")},
        {"32-hubs", exampleBench("32-hubs.json")},
        {"special", kSpecialBench},
        {"one hub", kOneHub},
        {"a USB 2.0 controller first", kUsb2OnlyBench},
        {"no USB", R"({"controllers": []})"},
    };
    for (const auto& [label, bench] : beds) {
        MockBus bus;
        bus.load(bedOf(bench));
        std::vector<std::string> simulated;
        const sim::BusView view = benchView(bench);
        for (const sim::Device* hub : view.familyHubs()) simulated.push_back(usbbus::utf16ToUtf8(sim::serialAsRead(*hub)));

        const std::vector<std::string> scanned = scannedSerials();
        EXPECT_EQ(listedSerials(), scanned) << label;
        EXPECT_EQ(simulated, scanned) << label;
        for (std::uint32_t k = 0; k < scanned.size(); ++k) {
            const Pt2Handle handle = native::open(k);
            EXPECT_NE(handle, -1) << label << ": hub " << k;
            native::close(handle);
        }
        EXPECT_EQ(native::open(static_cast<std::uint32_t>(scanned.size())), -1) << label;
        EXPECT_EQ(native::lastError(-1), PT2_ERROR_HUB_GONE) << label;
    }
}

TEST_F(HubNumbering, BothHubDevicesOfAUsb3HubAreOneHubAndAUsb2LinkHasOne) {
    load(kUsb2OnlyBench);
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 2u);
    ASSERT_EQ(hubs[0].sides.size(), 1u);
    EXPECT_FALSE(hubs[0].sides[0].superSpeed);
    ASSERT_EQ(hubs[1].sides.size(), 2u);
    EXPECT_FALSE(hubs[1].sides[0].superSpeed);
    EXPECT_TRUE(hubs[1].sides[1].superSpeed);
    const std::string& folder = hubs[1].sides[1].device;
    const std::string name = folder.substr(folder.rfind('/') + 1);
    EXPECT_EQ(hubs[1].sides[1].ports[2], folder + "/" + name + ":1.0/" + name + "-port3");
    char list[2048];
    ASSERT_EQ(native::getAllHubs(list), 1);
    EXPECT_STREQ(list, "0 \"HUB-7\" 1-2\n1 \"HUB-70\" 2-1 3-1\n");
}

using PortSwitching = NativeOnBed;

// Pin 17 + p is port p + 1 on both hub devices; no other port's switch moves.
TEST_F(PortSwitching, EachPinSwitchesItsPortOnBothHubDevicesAndNoOther) {
    load(exampleBench("two-hubs-usb3.json"));
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 2u);
    const auto before = portSwitches();
    for (std::uint32_t k = 0; k < hubs.size(); ++k) {
        ASSERT_EQ(hubs[k].sides.size(), 2u);
        const Pt2Handle hub = openHub(k);
        for (std::uint32_t pin = 17; pin <= 20; ++pin) {
            const std::size_t port = pin - 17;
            ASSERT_EQ(native::configurePin(hub, pin), 1);
            ASSERT_EQ(native::setPin(hub, pin, 0), 1) << native::lastError(hub);
            auto expected = before;
            for (const native::HubSide& side : hubs[k].sides) expected[side.ports[port]] = "1\n";
            EXPECT_EQ(portSwitches(), expected) << "hub " << k << " pin " << pin;
            EXPECT_EQ(pinState(hub, pin), 0u);

            ASSERT_EQ(native::setPin(hub, pin, 2), 1) << native::lastError(hub);  // any nonzero state is on
            for (const native::HubSide& side : hubs[k].sides) expected[side.ports[port]] = "0\n";
            EXPECT_EQ(portSwitches(), expected);
            EXPECT_EQ(pinState(hub, pin), 1u);
        }
    }
}

// A port counts as powered while either hub device's port has power.
TEST_F(PortSwitching, APortIsPoweredWhileEitherHubDevicesPortIs) {
    load(kOneHub);
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 1u);
    const Pt2Handle hub = openHub(0);
    const std::string usb2 = hubs[0].sides[0].ports[1] + "/disable";
    const std::string superSpeed = hubs[0].sides[1].ports[1] + "/disable";
    const struct {
        const char *usb2, *superSpeed;
        std::uint32_t state;
    } cases[] = {{"0\n", "0\n", 1}, {"1\n", "0\n", 1}, {"0\n", "1\n", 1}, {"1\n", "1\n", 0}};
    for (const auto& [usb2Value, superSpeedValue, state] : cases) {
        std::ofstream(usb2, std::ios::trunc) << usb2Value;
        std::ofstream(superSpeed, std::ios::trunc) << superSpeedValue;
        EXPECT_EQ(pinState(hub, 18), state) << usb2Value << superSpeedValue;
    }
}

// The kernel takes `disable` on any hub, but a hub that switches its ports'
// power all together, or not at all, keeps the port powered: such a hub is
// refused, as its descriptor tells, asked once per hub device.
TEST_F(PortSwitching, AHubThatCannotSwitchEachPortIsRefusedAndLeftAlone) {
    bus_.load(bedOf(exampleBench("two-hubs-usb3.json")));
    const auto found = native::readFamilyHubs();
    ASSERT_EQ(found.size(), 2u);
    const std::uint16_t characteristics[] = {kGangedSwitching, kNoSwitching};
    for (std::size_t k = 0; k < found.size(); ++k) {
        for (const native::HubSide& side : found[k].sides) {
            hubs_.attach(bus_, platform::usbfsNode(side.bus, side.address), side.superSpeed, characteristics[k]);
        }
    }
    const auto before = portSwitches();
    for (std::uint32_t k = 0; k < found.size(); ++k) {
        const Pt2Handle hub = openHub(k);
        for (const std::uint32_t state : {0u, 1u, 0u, 1u}) {
            EXPECT_EQ(native::setPin(hub, 18, state), 0) << "hub " << k;
            EXPECT_EQ(native::lastError(hub), PT2_ERROR_NO_PORT_POWER_CONTROL) << "hub " << k;
        }
        EXPECT_EQ(portSwitches(), before) << "hub " << k;
        // Off asks the USB 2.0 side, on the SuperSpeed side, each once.
        std::vector<std::string> asked;
        for (const native::HubSide& side : found[k].sides) {
            asked.push_back(platform::usbfsNode(side.bus, side.address) + " A0 06 00 " +
                            (side.superSpeed ? "2A" : "29") + " 00 00 0C 00");
        }
        EXPECT_EQ(hubs_.take(), asked) << "hub " << k;
    }
}

// A write the kernel takes but does not act on (the port's power reads back
// unchanged: here the attribute reads back empty) is not reported done.
TEST_F(PortSwitching, ASwitchThatDoesNotReadBackIsNotDone) {
    load(kOneHub);
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 1u);
    const std::string attribute = bus_.root() + hubs[0].sides[0].ports[1] + "/disable";
    fs::remove(attribute);
    fs::create_symlink("/dev/null", attribute);
    const Pt2Handle hub = openHub(0);
    EXPECT_EQ(native::setPin(hub, 18, 0), 0);
    EXPECT_EQ(native::lastError(hub), PT2_ERROR_NOT_WRITTEN);
    EXPECT_EQ(fileText(hubs[0].sides[1].ports[1] + "/disable"), "0\n");
}

// The hub library, bound to the native library, switches ports and reads
// their power back.
class ThroughTheHubLibrary : public LoadedLibrary {
protected:
    MockBus bus_;
    EmulatedHubs hubs_;
};

TEST_F(ThroughTheHubLibrary, PortsSwitchAndReadBack) {
    // Loaded by path first, it is the library that the hub library's
    // dlopen("libpt2lib.so") finds, by its soname.
    void* const native = ::dlopen(NATIVE_PT2LIB, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(native, nullptr) << ::dlerror();
    bus_.load(bedOf(exampleBench("two-hubs-usb3.json")));
    hubs_.attachFamilyHubs(bus_);
    ASSERT_EQ(Hub_InitPt2lib(), 1);
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 2u);

    std::uint8_t status = 7;
    for (int port = 0; port < 4; ++port) ASSERT_EQ(Hub_SetHubPortStatus(1, port, 0), 1);
    ASSERT_EQ(Hub_GetHubPortStatus(1, &status), 1);
    EXPECT_EQ(status, 0);
    for (const native::HubSide& side : hubs[1].sides) {
        for (const std::string& port : side.ports) EXPECT_EQ(fileText(port + "/disable"), "1\n") << port;
    }
    ASSERT_EQ(Hub_SetHubPortStatus(1, 2, 1), 1);
    ASSERT_EQ(Hub_GetHubPortStatus(1, &status), 1);
    EXPECT_EQ(status, 1);
    for (const native::HubSide& side : hubs[1].sides) EXPECT_EQ(fileText(side.ports[2] + "/disable"), "0\n");
    // Hub 0 was never touched.
    ASSERT_EQ(Hub_GetHubPortStatus(0, &status), 1);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(Hub_SetHubPortStatus(2, 0, 0), 0);  // no third hub
    ::dlclose(native);
}

using Failures = NativeOnBed;

// The bed's files and folders as a user without privileges meets them: the
// folders open to all, the attributes writable by all but `readOnly`.
void openBedToAll(const std::string& root, const std::string& readOnly) {
    ::chmod(root.c_str(), 0755);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_symlink()) continue;
        const mode_t mode = entry.is_directory() ? 0755 : entry.path() == readOnly ? 0444 : 0666;
        ::chmod(entry.path().c_str(), mode);
    }
}

// A write the kernel refuses for want of rights (a user outside the udev
// rule's group) is told apart from a hub that is gone, and the side switched
// before the refusing one is switched back: nothing changes.
TEST_F(Failures, ARefusedAttributeGivesPermissionDeniedAndChangesNothing) {
    load(kOneHub);
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 1u);
    const std::string refusing = hubs[0].sides[1].ports[1] + "/disable";
    openBedToAll(bus_.root(), bus_.root() + refusing);
    const auto before = portSwitches();

    // Root writes anything: the case runs as nobody, in a child process.
    const ChildResult result = runInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return std::string("setuid failed");
        std::string problems;
        const Pt2Handle hub = native::open(0);
        if (hub == -1) return std::string("the hub did not open");
        if (native::setPin(hub, 18, 0) != 0) problems += "the switch did not fail; ";
        if (native::lastError(-1) != PT2_ERROR_PERMISSION_DENIED) {
            problems += "thread error " + std::to_string(native::lastError(-1)) + "; ";
        }
        if (native::lastError(hub) != PT2_ERROR_PERMISSION_DENIED) problems += "handle error; ";
        if (portSwitches() != before) problems += "a port's switch changed; ";
        // A port whose attributes may be written still switches.
        if (native::setPin(hub, 17, 0) != 1) problems += "port 1 did not switch; ";
        return problems;
    });
    EXPECT_TRUE(result.finished) << result.errors;
    EXPECT_EQ(result.problems, "");
    auto expected = before;
    for (const native::HubSide& side : hubs[0].sides) expected[side.ports[0]] = "1\n";
    EXPECT_EQ(portSwitches(), expected);
}

// A hub that left the bus after its handle was opened fails every
// operation with PT2_ERROR_HUB_GONE.
TEST_F(Failures, AHubThatWentIsGoneForEveryOperation) {
    load(exampleBench("two-hubs-usb3.json"));
    const auto hubs = native::readFamilyHubs();
    ASSERT_EQ(hubs.size(), 2u);
    const Pt2Handle hub = openHub(1);
    for (const native::HubSide& side : hubs[1].sides) {
        bus_.uevent(side.device, "remove");
        bus_.remove(side.device);
        ASSERT_FALSE(fs::exists(side.device));
    }
    std::uint32_t state = 0;
    const std::pair<const char*, std::int32_t (*)(Pt2Handle)> operations[] = {
        {"configure", [](Pt2Handle h) { return native::configurePin(h, 17); }},
        {"set", [](Pt2Handle h) { return native::setPin(h, 17, 0); }},
        {"get", [](Pt2Handle h) {
             std::uint32_t s = 0;
             return native::getPin(h, 17, &s);
         }},
        {"reset", [](Pt2Handle h) { return native::reset(h); }},
    };
    for (const auto& [name, operation] : operations) {
        EXPECT_EQ(operation(hub), 0) << name;
        EXPECT_EQ(native::lastError(hub), PT2_ERROR_HUB_GONE) << name;
        EXPECT_EQ(native::lastError(-1), PT2_ERROR_HUB_GONE) << name;
    }
    // Hub 0 works on; the list holds one hub now.
    const Pt2Handle other = openHub(0);
    EXPECT_EQ(native::getPin(other, 17, &state), 1);
    EXPECT_EQ(native::open(1), -1);
}

TEST_F(Failures, WrongArgumentsAreToldApart) {
    load(kOneHub);
    const Pt2Handle hub = openHub(0);
    const Pt2Handle other = openHub(0);
    std::uint32_t state = 0;
    const struct {
        const char* label;
        std::function<std::int32_t()> call;
        Pt2Handle handle;
        std::uint32_t error;
    } cases[] = {
        {"pin 16", [&] { return native::configurePin(hub, 16); }, hub, PT2_ERROR_NO_SUCH_PIN},
        {"pin 21", [&] { return native::setPin(hub, 21, 1); }, hub, PT2_ERROR_NO_SUCH_PIN},
        {"no state", [&] { return native::getPin(hub, 17, nullptr); }, hub, PT2_ERROR_BAD_ARGUMENT},
        {"unknown handle", [&] { return native::getPin(12345, 17, &state); }, -1, PT2_ERROR_INVALID_HANDLE},
        {"programming", [&] { return native::program(hub); }, hub, PT2_ERROR_NOT_SUPPORTED},
        {"another handle's success", [&] { return native::configurePin(other, 20); }, other, PT2_OK},
    };
    for (const auto& [label, call, handle, error] : cases) {
        EXPECT_EQ(call(), error == PT2_OK ? 1 : 0) << label;
        EXPECT_EQ(native::lastError(-1), error) << label;
        if (handle != -1) {
            EXPECT_EQ(native::lastError(handle), error) << label;
        }
    }
    // Each handle keeps its own last error; the thread's is the last call's.
    EXPECT_EQ(native::lastError(hub), PT2_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(native::lastError(-1), PT2_OK);
    EXPECT_EQ(native::lastError(999999), PT2_ERROR_INVALID_HANDLE);
    EXPECT_EQ(native::close(hub), 1);
    EXPECT_EQ(native::close(hub), 0);
    handles_.erase(std::find(handles_.begin(), handles_.end(), hub));
}

// The library's exports, as the hub library resolves them.
TEST(NativeExports, TheTwelveFunctionsResolveAndTheVersionNamesTheMechanism) {
    void* const library = ::dlopen(NATIVE_PT2LIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    for (const char* name : {"MchpUsbGetAllHubs", "MchpUsbOpen", "MchpUsbClose", "MchpEnableLogging",
                             "MchpUsbGetLastErr", "MchpUsbGetVersion", "MchpUsbDeviceReset", "MchpUsbConfigureGPIO",
                             "MchpUsbGpioGet", "MchpUsbGpioSet", "MchpProgramFileWithSerial",
                             "MchpUsbProgramFileWithUsb3Serial"}) {
        EXPECT_NE(::dlsym(library, name), nullptr) << name;
    }
    const auto getVersion = reinterpret_cast<MchpUsbGetVersion_t>(::dlsym(library, "MchpUsbGetVersion"));
    ASSERT_NE(getVersion, nullptr);
    char text[2048];
    ASSERT_EQ(getVersion(text), 1);
    EXPECT_NE(std::string(text).find("native"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("disable"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("usbfs"), std::string::npos) << text;
    const auto program = reinterpret_cast<MchpUsbProgramFileWithUsb3Serial_t>(
        ::dlsym(library, "MchpUsbProgramFileWithUsb3Serial"));
    const auto lastError = reinterpret_cast<MchpUsbGetLastErr_t>(::dlsym(library, "MchpUsbGetLastErr"));
    EXPECT_EQ(program(-1, 1, 2, 2), 0);
    EXPECT_EQ(lastError(-1), PT2_ERROR_INVALID_HANDLE);
    ::dlclose(library);
}

}  // namespace
}  // namespace vostrel::test
