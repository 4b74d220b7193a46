// Adding and removing entries of the watch list kept by location, checked
// against the bus as the host's hub ports show it.
#pragma once

#include <string>
#include <vector>

#include "hub_ports.h"
#include "location_watch_file.h"

namespace vostrel::cli {

// --location and --port as given: usage errors (2) for a value that is not
// a hub's location or a port number from 1 to 255.
anyhub::PortAddress locationPortFrom(const std::string& location, const std::string& port);

// "1-1.4 port 2"
std::string locationPortText(const anyhub::PortAddress& port);

// Records the device now on `port` at the end of `entries` and returns it.
// Throws a CommandError (1) when the port is watched already, the list is
// full, the hub is missing or the port is empty.
const LocationEntry& addLocationEntry(std::vector<LocationEntry>& entries, const anyhub::PortAddress& port,
                                      anyhub::HubPorts& hubs);

// Throws a CommandError (1) when `port` is not watched.
void removeLocationEntry(std::vector<LocationEntry>& entries, const anyhub::PortAddress& port);

}  // namespace vostrel::cli
