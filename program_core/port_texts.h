// How the programs name hubs, ports and what the library reports of them:
// the tree's labels, the ports' tooltips, the hub driver's status names.
#pragma once

#include <cstdint>
#include <string>

#include "program_core/bus_view.h"

namespace vostrel::program {

// The hub driver's name of a connection status ("DeviceConnected"); a value
// without a name shows as "unknown status N".
std::string connectionStatusName(std::uint32_t status);

// The bus speed of an attached device ("high speed (480 Mbit/s)").
std::string speedName(std::uint8_t speed);

// Manufacturer and product joined by one blank ("%s %s").
std::string deviceName(const std::string& manufacturer, const std::string& product);

// "Orvique [h]", the hub index counted from 0.
std::string hubLabel(int hubIndex);

// A hub row's tooltip: the hub's serial number and where it hangs on the
// bus; empty while the hubs could not be told apart.
std::string hubToolTip(const HubView& hub);

// "[PortN] ..." with N counted from 1: a working device's texts and IDs;
// for an attached device that does not work, its connection status (with
// its IDs when it is not configured); "NoDeviceConnected" for a port with
// nothing on it.
std::string portLabel(const PortView& port);

// Several lines: the state, the connection status by name, an attached
// device's speed and IDs, the port's power as the library tells it, and
// whether the port is on the watch list.
std::string portToolTip(const PortView& port);

}  // namespace vostrel::program
