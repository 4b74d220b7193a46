#include "family_hub_list.h"

#include "backends/sysfs_usb.h"
#include "usbbus/family_hubs.h"
#include "usbbus/utf.h"

namespace vostrel::native {
namespace {

HubSide sideOf(const platform::SysfsUsbBus& read, const usbbus::FamilyHubSide& side, bool superSpeed) {
    const platform::SysfsHubOrigin& origin = read.origins.at(side.hub);
    const std::string& folder = origin.devices.front();
    return {superSpeed, folder, origin.ports, origin.bus, side.device->address,
            platform::sysfsFolderIdentity(folder).value_or(0)};
}

std::vector<NativeHub> familyHubs(const platform::SysfsUsbBus& read) {
    std::vector<NativeHub> hubs;
    for (const usbbus::FamilyHub& found : usbbus::walkFamilyHubs(*read.bus)) {
        NativeHub& hub = hubs.emplace_back();
        hub.serial = found.serial;
        if (found.usb2) hub.sides.push_back(sideOf(read, found.usb2, false));
        if (found.superSpeed) hub.sides.push_back(sideOf(read, found.superSpeed, true));
    }
    return hubs;
}

}  // namespace

std::vector<NativeHub> readFamilyHubs(const std::string& sysfs) { return familyHubs(platform::readSysfsUsbBus(sysfs)); }

std::vector<NativeHub> readFamilyHubs(platform::SysfsUsbReader& reader) { return familyHubs(reader.read()); }

std::string hubListText(const std::vector<NativeHub>& hubs) {
    std::string text;
    for (std::size_t index = 0; index < hubs.size(); ++index) {
        std::string serial = usbbus::utf16ToUtf8(hubs[index].serial);
        for (char& c : serial) {
            if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == 0x7F) c = '?';
        }
        text.append(std::to_string(index)).append(" \"").append(serial).append("\"");
        for (const HubSide& side : hubs[index].sides) {
            text.append(" ").append(side.device, side.device.rfind('/') + 1);
        }
        text.append("\n");
    }
    return text;
}

}  // namespace vostrel::native
