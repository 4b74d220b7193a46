#include "program_core/port_commands.h"

#include "program_core/vendor_diagnostics.h"

namespace vostrel::program {

PortCommands allowedCommands(const PortView& port) {
    PortCommands commands;
    commands.portOn = port.power != PortPower::On;
    commands.portOff = port.power == PortPower::On;
    commands.addToWatchList = !port.watched && port.connectionStatus == HUB_DEVICE_CONNECTED;
    return commands;
}

bool portOffIsUndoneByMonitor(const PortView& port, bool recoveryRunning) { return recoveryRunning && port.watched; }

SwitchOutcome switchPort(const HubLibrary& library, int hubIndex, int portIndex, bool on) {
    SwitchOutcome outcome;
    outcome.done = library.setPortPower(hubIndex, portIndex, on ? 1 : 0) != 0;
    if (!outcome.done) {
        // Asked at once: the vendor library's last error is this thread's last call.
        outcome.refusal = lastVendorErrorText();
        if (lastVendorErrorIsPermission()) outcome.advice = portPermissionAdvice();
    }
    return outcome;
}

bool addToWatchList(const HubLibrary& library, int hubIndex, int portIndex) {
    DeviceInfoRecord record{};
    if (library.getPortInfo(&record, hubIndex, portIndex) == 0) return false;
    // Never an entry without a device: the port may have changed since the menu opened.
    if (record.connectionStatus != HUB_DEVICE_CONNECTED) return false;
    return library.addWatched(&record) != 0;
}

bool removeFromWatchList(const HubLibrary& library, int hubIndex, int portIndex) {
    DeviceInfoRecord entry{};
    if (library.watchedAt(&entry, hubIndex, portIndex) == 0) return false;
    return library.removeWatched(&entry) != 0;
}

}  // namespace vostrel::program
