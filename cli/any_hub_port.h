// Switching a port of any hub, named by the hub's location, for `vostrel
// port`: on, off, a cycle, a toggle; and finding a device on any hub that is
// not the family's.
#pragma once

#include <chrono>
#include <optional>

#include "commands.h"
#include "hub_library.h"
#include "hub_listing.h"
#include "platform/termination_signals.h"
#include "port_choice.h"

namespace vostrel::cli {

// How long the hub library's monitor keeps a failed port off: its stored
// off time plus one tick.
std::chrono::milliseconds storedOffTime(const HubLibrary& hub);

// The host's hubs, read; a failure (1) where this system has none to offer.
std::unique_ptr<anyhub::HubListing> hostHubs(const char* what);

// Carries out `action` on `port`, printing what was done; throws a failure
// (1) with the hub's reason when it refuses or fails. A cycle keeps the port
// off for `pause`, or until `signals` brings a request to finish.
void switchAnyHubPort(anyhub::HubListing& hubs, const anyhub::PortAddress& port, PortAction action,
                      std::chrono::milliseconds pause, platform::TerminationSignals* signals);

// The port of the device that `name` (--serial or --device, with --index)
// names on the hubs that are not the family's; nothing when none shows it.
// Fails (1) when several fit and no --index picks one.
std::optional<anyhub::PortAddress> findOnOtherHubs(anyhub::HubListing& hubs, const PortName& name);

}  // namespace vostrel::cli
