// Switches one port of any hub device through the native vendor library's
// own port power code, for the real-kernel tests: QEMU's hubs are no hubs of
// the family, so the library's exports do not reach them.
//   port_switch_probe HUB_FOLDER PORT on|off
// HUB_FOLDER is the hub device's folder under /sys/bus/usb/devices. Prints
// "last error N" (0: done) and exits 0 when the switch was done, else 1;
// 2 for a command line it does not understand.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "family_hub_list.h"
#include "backends/sysfs_usb.h"
#include "port_power.h"
#include "usbbus/kernel_attributes.h"

namespace {

namespace fs = std::filesystem;
using vostrel::platform::IfMissing;

std::optional<std::uint32_t> number(const std::string& path, std::uint32_t largest) {
    std::error_code error;
    const auto text = vostrel::platform::readSysfsAttribute(path, error, IfMissing::Report);
    return text ? vostrel::usbbus::parseDecimal(*text, largest) : std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::string_view(argv[3]) != "on" && std::string_view(argv[3]) != "off")) {
        std::fprintf(stderr, "usage: port_switch_probe HUB_FOLDER PORT on|off\n");
        return 2;
    }
    std::error_code error;
    const std::string folder = fs::canonical(argv[1], error).string();
    const std::string name = fs::path(folder).filename().string();
    const auto bus = number(folder + "/busnum", 0xFFFF);
    const auto address = number(folder + "/devnum", 0xFFFF);
    const auto ports = number(folder + "/maxchild", 255);
    const int port = std::atoi(argv[2]);
    if (error || !bus || !address || !ports || port < 1 || port > static_cast<int>(*ports)) {
        std::fprintf(stderr, "port_switch_probe: %s is no hub with a port %s\n", argv[1], argv[2]);
        return 2;
    }
    std::error_code speedError;
    const auto speed = vostrel::platform::readSysfsAttribute(folder + "/speed", speedError);
    vostrel::native::HubSide side;
    side.superSpeed = speed && vostrel::usbbus::parseSpeed(*speed) == vostrel::usb::UsbSuperSpeed;
    side.device = folder;
    for (std::uint32_t n = 1; n <= *ports; ++n) {
        side.ports.push_back(folder + "/" + name + ":1.0/" + name + "-port" + std::to_string(n));
    }
    side.bus = *bus;
    side.address = static_cast<std::uint16_t>(*address);
    side.identity = vostrel::platform::sysfsFolderIdentity(folder).value_or(0);

    vostrel::native::PortPower power;
    const std::uint32_t result = power.set(side, port, std::string_view(argv[3]) == "on");
    std::printf("last error %u\n", result);
    return result == 0 ? 0 : 1;
}
