// What the commands print: aligned text for people, JSON for scripts. Field
// names of the JSON are part of the program's interface (see the README).
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

#include "any_hub.h"
#include "bus.h"
#include "location_watch_file.h"
#include "watch_list.h"

namespace vostrel::cli {

std::string hexId(std::uint16_t id);  // "7E57"

void printBusText(const Bus& bus, std::ostream& out);
nlohmann::ordered_json busJson(const Bus& bus);

// Every hub, family or not: a line for the hub, then one for each port.
void printHubsText(const std::vector<anyhub::AnyHub>& hubs, std::ostream& out);
nlohmann::ordered_json hubsJson(const std::vector<anyhub::AnyHub>& hubs);

// Each entry with the hub it follows, as `bus` shows that hub now.
void printWatchListText(const std::vector<WatchEntry>& entries, const Bus& bus, std::ostream& out);
nlohmann::ordered_json watchListJson(const std::vector<WatchEntry>& entries, const Bus& bus);

// The devices watched by their hub's location, in file order.
void printLocationWatchListText(const std::vector<LocationEntry>& entries, std::ostream& out);
nlohmann::ordered_json locationWatchListJson(const std::vector<LocationEntry>& entries);

// One line of the event log, read as every program reads it: its event by
// name, or the line as it stands when its formatted fields are not the
// library's.
std::string logLineText(const std::string& line);
nlohmann::ordered_json logLineJson(const std::string& line);

// Compact, one line; bytes that are not UTF-8 (the log's texts are in the
// writer's locale) become U+FFFD.
void printJson(const nlohmann::ordered_json& value, std::ostream& out);

}  // namespace vostrel::cli
