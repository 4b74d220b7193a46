// The commands of a port's menu in the main window, whether each may be
// chosen now, and what running one does through the hub library.
#pragma once

#include <string>

#include "program_core/bus_view.h"

namespace vostrel::program {

struct PortCommands {
    bool portOn = false;
    bool portOff = false;
    bool addToWatchList = false;
};

// Port On while the port is not known to be powered, Port Off while it is;
// Add while a working device is attached and the port has no watch-list
// entry yet.
PortCommands allowedCommands(const PortView& port);

// Switching off a watched port while auto recovery runs is undone by the
// monitor at its next check: the user must be asked first.
bool portOffIsUndoneByMonitor(const PortView& port, bool recoveryRunning);

struct SwitchOutcome {
    bool done = false;
    // Why the library refused, in words, when it did.
    std::string refusal;
    // What the vendor library's error tells the user to do about it; empty
    // when there is nothing to do.
    std::string advice;
};

// Hub_SetHubPortStatus for the port, with the vendor library's reason when
// it refuses. What the port is now shows only at the next read of the bus.
SwitchOutcome switchPort(const HubLibrary& library, int hubIndex, int portIndex, bool on);

// Puts the device on the port on the watch list, from the library's last
// scan. False when the port has no working device there now.
bool addToWatchList(const HubLibrary& library, int hubIndex, int portIndex);

// Takes the port's entry off the watch list. False when it has none.
bool removeFromWatchList(const HubLibrary& library, int hubIndex, int portIndex);

}  // namespace vostrel::program
