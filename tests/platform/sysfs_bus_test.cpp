// The host's own USB stack on Linux, scanning umockdev test beds made from
// simulator benches: the same bench as the simulator's bus and through sysfs
// gives the same block, hot plugging shows at the next scan, and
// failures of the operating system are reported only when asked for.
#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <vostrel/hub_api.h>

#include "core/bench_file.h"
#include "core/bus_view.h"
#include "core/description.h"
#include "core/umockdev_bed.h"
#include "loaded_library.h"
#include "mock_bus.h"
#include "backends/bus_sources.h"
#include "backends/sysfs_usb.h"
#include "platform/usbfs.h"
#include "test_benches.h"
#include "usbbus/kernel_attributes.h"

namespace vostrel::test {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<DeviceInfoBlock> scanWith(backends::BusSource& source) {
    backends::useBusSource(&source);
    auto block = std::make_unique<DeviceInfoBlock>();
    Hub_GetDeviceInfo(block.get());
    backends::useBusSource(nullptr);
    return block;
}

// The bus of a bench as the simulator shows it.
class BenchBus final : public backends::BusSource {
public:
    explicit BenchBus(const std::string& bench)
        : view_(std::make_shared<const sim::BusView>(
              std::make_shared<const sim::Bench>(sim::buildBench(sim::parseDocument(bench, "bench"), "bench")),
              sim::wallClockMs())) {}
    std::shared_ptr<const usbbus::Bus> read() override { return {view_, &view_->model()}; }

private:
    std::shared_ptr<const sim::BusView> view_;
};

std::string bedOf(const std::string& bench, sim::BedOptions options = {}) {
    const auto built = std::make_shared<const sim::Bench>(sim::buildBench(sim::parseDocument(bench, "bench"), "bench"));
    return sim::umockdevBed(sim::BusView(built, sim::wallClockMs()), options);
}

// What the kernel shows of a port for which the simulated stack reports
// `port`: a device that failed (2, 3) is seen to fail its enumeration, with
// nothing known of it; an over-current (4) leaves the port empty; a device
// short of power (5) is enumerated but not configured.
PortInfoRecord kernelSees(const PortInfoRecord& port) {
    PortInfoRecord seen = port;
    if (port.connectionStatus == 2 || port.connectionStatus == 3 || port.connectionStatus == 4) {
        seen = PortInfoRecord{};
        seen.hubIndex = port.hubIndex;
        seen.portIndex = port.portIndex;
        seen.connectionStatus = port.connectionStatus == 4 ? 0 : 2;
    } else if (port.connectionStatus == 5) {
        seen.connectionStatus = 1;
    }
    return seen;
}

// The fields of two records that differ, by name.
std::string differences(const PortInfoRecord& want, const PortInfoRecord& got) {
    std::string fields;
    const auto check = [&](const char* name, bool same) {
        if (!same) fields += std::string(fields.empty() ? "" : ", ") + name;
    };
    check("class", want.deviceClass == got.deviceClass && want.deviceSubClass == got.deviceSubClass);
    check("indexes", want.hubIndex == got.hubIndex && want.portIndex == got.portIndex);
    check("ids", want.vendorId == got.vendorId && want.productId == got.productId);
    check("release", want.deviceRelease == got.deviceRelease);
    check("configuration", want.configurationValue == got.configurationValue);
    check("speed", want.speed == got.speed);
    check("product", std::memcmp(want.product, got.product, sizeof want.product) == 0);
    check("manufacturer", std::memcmp(want.manufacturer, got.manufacturer, sizeof want.manufacturer) == 0);
    check("status", want.connectionStatus == got.connectionStatus);
    check("reserved", std::memcmp(&want, &got, sizeof want) == 0 || !fields.empty());
    return fields;
}

class SysfsBus : public LoadedLibrary {
protected:
    void TearDown() override {
        ::unsetenv("VOSTREL_DEBUG");
        LoadedLibrary::TearDown();
    }

    // Scans `bench` as the simulator's bus, then its bed through sysfs,
    // and expects what the kernel shows of every port, read without a single
    // complaint (an attribute missing or a text not understood).
    void expectSameBlock(const std::string& label, const std::string& bench, sim::BedOptions options = {}) {
        BenchBus benchBus(bench);
        const auto simulated = scanWith(benchBus);

        MockBus bus;
        bus.load(bedOf(bench, options));
        const auto host = backends::makeHostBusSource();
        ::setenv("VOSTREL_DEBUG", "1", 1);
        ::testing::internal::CaptureStderr();
        const auto kernel = scanWith(*host);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << label;
        ::unsetenv("VOSTREL_DEBUG");

        EXPECT_EQ(kernel->hubCount, simulated->hubCount) << label;
        EXPECT_EQ(std::memcmp(kernel->reserved1, simulated->reserved1, sizeof kernel->reserved1), 0) << label;
        for (int i = 0; i < kMaxHubs * kPortsPerHub; ++i) {
            EXPECT_EQ(differences(kernelSees(simulated->ports[i]), kernel->ports[i]), "")
                << label << ": hub " << i / kPortsPerHub << " port " << i % kPortsPerHub;
        }
    }
};

TEST_F(SysfsBus, EveryBenchScansAsTheSimulatorShowsIt) {
    for (const char* example : {"one-hub-usb2.json", "two-hubs-usb3.json", "32-hubs.json"}) {
        expectSameBlock(example, readFile(std::string(SIM_EXAMPLES) + "/" + example));
    }
    expectSameBlock("special", kSpecialBench);
    expectSameBlock("a family hub on a USB 2.0 port only", kUsb2OnlyBench);
    expectSameBlock("a machine without USB", R"({"controllers": []})");
}

// A bed's devices, interfaces and ports carry the attributes a 6.12 kernel
// shows (as seen in the real-kernel tests' guest), so that other programs
// (lsusb -t) read a bed as they read a machine.
TEST_F(SysfsBus, BedsCarryTheAttributesTheKernelShows) {
    const std::vector<std::string> deviceAttributes = {
        "authorized", "avoid_reset_quirk", "bConfigurationValue", "bDeviceClass", "bDeviceProtocol",
        "bDeviceSubClass", "bMaxPacketSize0", "bMaxPower", "bNumConfigurations", "bNumInterfaces", "bcdDevice",
        "bmAttributes", "busnum", "configuration", "descriptors", "devnum", "devpath", "idProduct", "idVendor",
        "ltm_capable", "maxchild", "quirks", "removable", "rx_lanes", "speed", "tx_lanes", "urbnum", "version"};
    const std::vector<std::string> interfaceAttributes = {
        "authorized", "bAlternateSetting", "bInterfaceClass", "bInterfaceNumber", "bInterfaceProtocol",
        "bInterfaceSubClass", "bNumEndpoints", "modalias", "supports_autosuspend"};
    const std::vector<std::string> portAttributes = {"connect_type", "disable", "location", "over_current_count",
                                                     "quirks", "state"};
    MockBus bus;
    bus.load(bedOf(readFile(std::string(SIM_EXAMPLES) + "/two-hubs-usb3.json")));
    int devices = 0, interfaces = 0, ports = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices")) {
        const std::filesystem::path folder = std::filesystem::canonical(entry.path());
        const bool isInterface = entry.path().filename().string().find(':') != std::string::npos;
        (isInterface ? interfaces : devices) += 1;
        for (const std::string& name : isInterface ? interfaceAttributes : deviceAttributes) {
            EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << folder / name;
        }
        if (!isInterface) continue;
        for (const auto& port : std::filesystem::directory_iterator(folder)) {
            if (port.path().filename().string().find("-port") == std::string::npos) continue;
            ++ports;
            for (const std::string& name : portAttributes) {
                EXPECT_TRUE(std::filesystem::is_regular_file(port.path() / name)) << port.path() / name;
            }
        }
    }
    EXPECT_GE(devices, 8);
    EXPECT_GE(interfaces, 8);
    EXPECT_GE(ports, 16);
    // What a kernel shows of the configuration of a hub of the family: the
    // USB 2.0 hub device's maximum power in units of 2 mA.
    const std::string hub = "/sys/bus/usb/devices/1-1/";
    EXPECT_EQ(readFile(hub + "bNumInterfaces"), " 1\n");
    EXPECT_EQ(readFile(hub + "bmAttributes"), "80\n");
    EXPECT_EQ(readFile(hub + "bMaxPower"), "100mA\n");
}

// Without the ports' `state`, and without a usbfs node that answers, a port
// whose device failed its enumeration shows as empty.
TEST_F(SysfsBus, AKernelWithoutPortStatesShowsAFailedEnumerationAsAnEmptyPort) {
    MockBus bus;
    bus.load(bedOf(kSpecialBench, {.portStates = false}));
    const auto host = backends::makeHostBusSource();
    const auto block = scanWith(*host);
    ASSERT_EQ(block->hubCount, 2);
    EXPECT_EQ(portRecord(*block, 0, 3).connectionStatus, 0u);
    EXPECT_EQ(portRecord(*block, 0, 1).vendorId, 0x1A2B);
}

// A hub that answers GET_STATUS for its ports through usbfs: port 3 has
// something connected, port 4 an over-current, the others nothing.
struct PortStatusHub {
    UMockdevIoctlBase parent;
};
struct PortStatusHubClass {
    UMockdevIoctlBaseClass parent;
};
G_DEFINE_TYPE(PortStatusHub, port_status_hub, UMOCKDEV_TYPE_IOCTL_BASE)

gboolean answerPortStatus(UMockdevIoctlBase*, UMockdevIoctlClient* client) {
    if (umockdev_ioctl_client_get_request(client) != USBDEVFS_CONTROL) return FALSE;
    // The argument is the pointer to the transfer, which points to the data.
    GError* error = nullptr;
    UMockdevIoctlData* request =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_ctrltransfer), &error);
    usbdevfs_ctrltransfer transfer{};
    if (request != nullptr) std::memcpy(&transfer, request->data, sizeof transfer);
    UMockdevIoctlData* data =
        request != nullptr && transfer.wLength >= 4
            ? umockdev_ioctl_data_resolve(request, offsetof(usbdevfs_ctrltransfer, data), transfer.wLength, &error)
            : nullptr;
    g_clear_error(&error);
    if (data == nullptr || transfer.bRequestType != 0xA3 || transfer.bRequest != 0) {
        umockdev_ioctl_client_complete(client, -1, EPIPE);
    } else {
        const std::uint16_t status = transfer.wIndex == 3 ? 0x0101 : transfer.wIndex == 4 ? 0x0109 : 0x0100;
        std::uint8_t answer[4] = {static_cast<std::uint8_t>(status & 0xFF), static_cast<std::uint8_t>(status >> 8)};
        umockdev_ioctl_data_update(data, 0, answer, sizeof answer);
        umockdev_ioctl_client_complete(client, sizeof answer, 0);
    }
    if (data != nullptr) umockdev_ioctl_data_unref(data);
    if (request != nullptr) umockdev_ioctl_data_unref(request);
    return TRUE;
}

void port_status_hub_class_init(PortStatusHubClass* type) {
    UMOCKDEV_IOCTL_BASE_CLASS(type)->handle_ioctl = answerPortStatus;
}
void port_status_hub_init(PortStatusHub*) {}

// A kernel before 6.5, and a process that may open the hub's usbfs node: the
// hub's own port status tells a failed enumeration and an over-current.
TEST_F(SysfsBus, WithoutPortStatesTheHubsPortStatusShowsWhatFailedThere) {
    MockBus bus;
    bus.load(bedOf(kOneHub, {.portStates = false}));
    auto* hub = static_cast<UMockdevIoctlBase*>(g_object_new(port_status_hub_get_type(), nullptr));
    bus.answerIoctls("/dev/bus/usb/001/002", hub);
    const std::uint64_t transfers = platform::usbfsTransfersSent();
    const auto host = backends::makeHostBusSource();
    const auto block = scanWith(*host);
    g_object_unref(hub);

    ASSERT_EQ(block->hubCount, 1);
    const std::uint32_t statuses[] = {0, 1, 2, 4};
    for (int port = 0; port < kPortsPerHub; ++port) {
        EXPECT_EQ(portRecord(*block, 0, port).connectionStatus, statuses[port]) << port;
    }
    EXPECT_EQ(portRecord(*block, 0, 2).vendorId, 0);
    // One for each port without a device, on both sides of the hub.
    EXPECT_EQ(platform::usbfsTransfersSent() - transfers, 3u + 4u);
}

TEST_F(SysfsBus, ReadingNamesEveryHubAndPortFolderAndReadsOnlyWhatTheAnswersNeed) {
    MockBus bus;
    bus.load(bedOf(kOneHub));
    const std::uint64_t filesBefore = platform::sysfsFilesRead();
    const std::uint64_t transfersBefore = platform::usbfsTransfersSent();
    const platform::SysfsUsbBus read = platform::readSysfsUsbBus();
    // Root hubs: maxchild and speed each; the hub on the USB 2 side and on
    // the SuperSpeed side: descriptors, speed, devnum, bConfigurationValue,
    // three strings and maxchild each; the high-speed widget: four and two
    // strings; every port without a device: its state (three ports of the
    // USB 2 side, all four of the SuperSpeed side).
    EXPECT_EQ(platform::sysfsFilesRead() - filesBefore, 2 * 2 + 2 * 8 + 6 + 7);
    EXPECT_EQ(platform::usbfsTransfersSent() - transfersBefore, 0u);

    ASSERT_EQ(read.bus->controllers.size(), 1u);
    const usbbus::Hub& root = *read.bus->controllers.front().rootHub;
    ASSERT_EQ(root.portCount, 2);  // the USB 2 root port, then the SuperSpeed one
    const platform::SysfsHubOrigin& rootOrigin = read.origins.at(&root);
    const std::string pci = "/sys/devices/pci0000:00/0000:00:10.0";
    EXPECT_EQ(rootOrigin.devices, (std::vector<std::string>{pci + "/usb1", pci + "/usb2"}));
    EXPECT_EQ(rootOrigin.ports,
              (std::vector<std::string>{pci + "/usb1/1-0:1.0/usb1-port1", pci + "/usb2/2-0:1.0/usb2-port1"}));
    const usbbus::Hub& usb2Side = *root.device(1)->hub;
    const usbbus::Hub& superSpeedSide = *root.device(2)->hub;
    // Nothing named as another system would name it.
    const usbbus::Controller& controller = read.bus->controllers.front();
    EXPECT_FALSE(read.bus->opensByName);
    EXPECT_TRUE(!controller.number && controller.interfacePath.empty() && !controller.driverKey);
    EXPECT_TRUE(root.name.empty() && usb2Side.name.empty());
    EXPECT_EQ(usb2Side.kernelName, "1-1");
    EXPECT_TRUE(superSpeedSide.superSpeed);
    EXPECT_EQ(root.device(2)->descriptor.idProduct, 0x5744);
    EXPECT_EQ(read.origins.at(&usb2Side).ports[1], pci + "/usb1/1-1/1-1:1.0/1-1-port2");
    EXPECT_EQ(read.origins.at(&superSpeedSide).devices.front(), pci + "/usb2/2-1");
}

TEST_F(SysfsBus, APluggedOrUnpluggedDeviceShowsAtTheNextScan) {
    MockBus bus;
    const std::string bed = bedOf(kOneHub);
    bus.load(bed);
    const auto host = backends::makeHostBusSource();
    EXPECT_EQ(std::u16string(portRecord(*scanWith(*host), 0, 1).product), u"Widget");

    // Unplugged: its interface goes, then the device, each announced first.
    const std::string hub = "/sys/devices/pci0000:00/0000:00:10.0/usb1/1-1";
    for (const std::string& gone : {hub + "/1-1.2/1-1.2:1.0", hub + "/1-1.2"}) {
        bus.uevent(gone, "remove");
        bus.remove(gone);
    }
    bus.setAttribute(hub + "/1-1:1.0", "1-1-port2/state", "not attached\n");
    EXPECT_EQ(portRecord(*scanWith(*host), 0, 1).connectionStatus, 0u);

    // The widget's own blocks of the bed, added again.
    const std::size_t start = bed.find("P: " + hub.substr(4) + "/1-1.2\n");
    ASSERT_NE(start, std::string::npos);
    bus.load(bed.substr(start, bed.find("\n\nP: /devices/pci0000:00/0000:00:10.0/usb2", start) + 2 - start));
    bus.setAttribute(hub + "/1-1:1.0", "1-1-port2/state", "configured\n");
    bus.uevent(hub + "/1-1.2", "add");
    const auto block = scanWith(*host);
    EXPECT_EQ(portRecord(*block, 0, 1).connectionStatus, 1u);
    EXPECT_EQ(std::u16string(portRecord(*block, 0, 1).manufacturer), u"Maker");
}

TEST_F(SysfsBus, AnUnreadableAttributeIsReportedOnlyWithVostrelDebug) {
    MockBus bus;
    bus.load(bedOf(kOneHub));
    // A folder where the widget's descriptors should be: it opens, but
    // cannot be read.
    const std::string descriptors = bus.root() + "/sys/devices/pci0000:00/0000:00:10.0/usb1/1-1/1-1.2/descriptors";
    std::filesystem::remove(descriptors);
    std::filesystem::create_directory(descriptors);
    const auto host = backends::makeHostBusSource();

    for (const bool debug : {false, true}) {
        if (debug) ::setenv("VOSTREL_DEBUG", "1", 1);
        ::testing::internal::CaptureStderr();
        const auto block = scanWith(*host);
        const std::string written = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(portRecord(*block, 0, 1).connectionStatus, 0u);
        EXPECT_EQ(portRecord(*block, 0, 0).connectionStatus, 0u);
        if (debug) {
            EXPECT_EQ(written, "vostrel: read /sys/devices/pci0000:00/0000:00:10.0/usb1/1-1/1-1.2/descriptors: "
                               "Is a directory (errno 21)\n");
        } else {
            EXPECT_EQ(written, "");
        }
    }
}

// A reader that keeps what cannot change between its readings, on the bed of
// kOneHub: the widget on port 2 of the USB 2 side's hub (1-1), and what it
// shows of it.
class SysfsReader : public SysfsBus {
protected:
    static constexpr const char* kHub = "/sys/devices/pci0000:00/0000:00:10.0/usb1/1-1";

    struct Seen {
        std::uint16_t productId = 0;
        std::u16string product;
        std::uint16_t address = 0;
        std::uint8_t configurationValue = 0;
    };

    // What the reading shows on port `port` of hub 1-1; nothing when empty.
    std::optional<usbbus::Device> port(int port) {
        const platform::SysfsUsbBus read = reader_.read();
        const usbbus::Device* found = read.bus->controllers.front().rootHub->device(1)->hub->device(port);
        if (found == nullptr) return std::nullopt;
        usbbus::Device copy;
        copy.connectionStatus = found->connectionStatus;
        copy.descriptor = found->descriptor;
        copy.address = found->address;
        copy.configurationValue = found->configurationValue;
        copy.strings = found->strings;
        return copy;
    }
    Seen widget() {
        const auto device = port(2);
        if (!device) return {};
        const usbbus::Bytes* product = device->string(device->descriptor.iProduct, usbbus::kPresentedLanguage);
        std::u16string text;
        for (std::size_t at = 2; product != nullptr && at + 1 < product->size(); at += 2) {
            text += static_cast<char16_t>((*product)[at] | (*product)[at + 1] << 8);
        }
        return {device->descriptor.idProduct, text, device->address, device->configurationValue};
    }

    // Unplugs the widget and plugs in the device of `bed`'s port 2 of 1-1,
    // with `edit` applied to its blocks.
    void replaceWidget(const std::string& bed, const std::function<void(std::string&)>& edit = {}) {
        const std::string widget = std::string(kHub) + "/1-1.2";
        for (const std::string& gone : {widget + "/1-1.2:1.0", widget}) bus_.remove(gone);
        const std::size_t start = bed.find("P: " + widget.substr(4) + "\n");
        ASSERT_NE(start, std::string::npos);
        std::string blocks = bed.substr(start, bed.find("\n\nP: /devices/pci0000:00/0000:00:10.0/usb2", start) + 2 - start);
        if (edit) edit(blocks);
        bus_.load(blocks);
    }

    MockBus bus_;
    platform::SysfsUsbReader reader_;
};

TEST_F(SysfsReader, ADeviceThatCameAgainInItsFolderIsReadAfresh) {
    const std::string bed = bedOf(kOneHub);
    bus_.load(bed);
    const Seen first = widget();
    ASSERT_EQ(first.product, u"Widget");

    // Another device with the widget's number: only its folder is new (on
    // many file systems with the widget folder's inode number).
    std::string gadgetBench = kOneHub;
    for (const auto& [from, to] : {std::pair{"0x0002", "0x0003"}, std::pair{"Widget", "Gadget"}}) {
        gadgetBench.replace(gadgetBench.find(from), std::string(from).size(), to);
    }
    replaceWidget(bedOf(gadgetBench));
    const Seen gadget = widget();
    EXPECT_EQ(gadget.address, first.address);
    EXPECT_EQ(gadget.productId, 0x0003);
    EXPECT_EQ(gadget.product, u"Gadget");

    // The widget again, with a number of its own.
    const std::string number = std::to_string(first.address + 5);
    replaceWidget(bed, [&](std::string& blocks) {
        const std::string devnum = "A: devnum=" + std::to_string(first.address) + "\\";  // the text's escaped newline
        blocks.replace(blocks.find(devnum), devnum.size(), "A: devnum=" + number + "\\");
    });
    const Seen again = widget();
    EXPECT_EQ(again.address, first.address + 5);
    EXPECT_EQ(again.productId, 0x0002);
    EXPECT_EQ(again.product, u"Widget");
}

// As the kernel sets a configuration: the old one's interfaces go, the value
// changes, the new one's interfaces come.
TEST_F(SysfsReader, AChangedConfigurationAndPortStateShowAtTheNextReading) {
    const std::string bed = bedOf(kOneHub);
    bus_.load(bed);
    ASSERT_EQ(widget().configurationValue, 1);
    const std::string widgetFolder = std::string(kHub) + "/1-1.2";
    const std::string interface = widgetFolder + "/1-1.2:1.0";
    bus_.remove(interface);
    bus_.setAttribute(widgetFolder, "bConfigurationValue", "\n");
    EXPECT_EQ(widget().configurationValue, 0);
    bus_.setAttribute(widgetFolder, "bConfigurationValue", "1\n");
    const std::size_t start = bed.find("P: " + interface.substr(4) + "\n");
    ASSERT_NE(start, std::string::npos);
    bus_.load(bed.substr(start, bed.find("\n\n", start) + 2 - start));
    const Seen configured = widget();
    EXPECT_EQ(configured.configurationValue, 1);
    EXPECT_EQ(configured.product, u"Widget");
    // Set again, to the same value: the same device, with interfaces made anew.
    bus_.remove(interface);
    bus_.load(bed.substr(start, bed.find("\n\n", start) + 2 - start));
    EXPECT_EQ(widget().configurationValue, 1);
    EXPECT_EQ(widget().product, u"Widget");

    EXPECT_FALSE(port(3));
    bus_.setAttribute(std::string(kHub) + "/1-1:1.0", "1-1-port3/state", "powered\n");
    const auto failed = port(3);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->connectionStatus, usbbus::kDeviceFailedEnumeration);
    bus_.setAttribute(std::string(kHub) + "/1-1:1.0", "1-1-port3/state", "not attached\n");
    EXPECT_FALSE(port(3));
}

// A configured device seen before costs no file (a look at its interface
// folder), a port without a device one; what is kept is dropped with the
// device. The library's stack reads so too.
TEST_F(SysfsReader, ALaterReadingReadsOnlyWhatCanChangeAndKeepsOnlyWhatItFound) {
    bus_.load(bedOf(kOneHub));
    reader_.read();
    EXPECT_EQ(reader_.devicesKept(), 2u + 3u);  // two root hubs, the hub's two sides, the widget
    std::uint64_t files = platform::sysfsFilesRead();
    reader_.read();
    EXPECT_EQ(platform::sysfsFilesRead() - files, 7u);

    const auto host = backends::makeHostBusSource();
    scanWith(*host);
    files = platform::sysfsFilesRead();
    EXPECT_EQ(portRecord(*scanWith(*host), 0, 1).vendorId, 0x1A2B);
    EXPECT_EQ(platform::sysfsFilesRead() - files, 7u);

    for (const std::string& gone : {std::string(kHub) + "/1-1.2/1-1.2:1.0", std::string(kHub) + "/1-1.2"}) {
        bus_.remove(gone);
    }
    reader_.read();
    EXPECT_EQ(reader_.devicesKept(), 2u + 2u);
}

}  // namespace
}  // namespace vostrel::test
