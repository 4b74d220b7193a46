#include "output_format.h"

#include <algorithm>
#include <cstdio>

#include "location_watch_list.h"
#include "port_choice.h"
#include "program_core/log_line.h"
#include "program_core/port_texts.h"
#include "text/visible_text.h"
#include "utf8_text.h"

namespace vostrel::cli {
namespace {

using json = nlohmann::ordered_json;

// Rows of cells, each column as wide as its widest cell, two blanks apart,
// each line after `indent`.
void printTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out,
                const std::string& indent = "") {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], characterCount(row[c]));
    }
    for (const auto& row : rows) {
        std::string line = indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - characterCount(row[c]) + 2, ' ');
        }
        out << line << '\n';
    }
}

json textOrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

// A device's text, with its control characters shown rather than sent to
// the terminal.
std::string cell(const std::string& text) { return text.empty() ? "-" : text::visibleText(text); }

std::string timeText(const program::LogEvent& e, char dateSeparator, char between) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d%c%02d%c%02d%c%02d:%02d:%02d", e.year, dateSeparator, e.month,
                  dateSeparator, e.day, between, e.hour, e.minute, e.second);
    return text;
}

// The index of the hub on `bus` that the entry follows, -1 when none is it.
int followedHub(const WatchEntry& entry, const Bus& bus) {
    for (std::size_t k = 0; k < bus.hubs.size(); ++k) {
        if (bus.hubs[k].serialHash == entry.hubSerial) return static_cast<int>(k);
    }
    return -1;
}

std::string onOff(const std::optional<bool>& powered) {
    if (!powered) return "unknown";
    return *powered ? "on" : "off";
}

std::string halvesText(const anyhub::AnyHub& hub) {
    if (hub.usb2Half.empty() || hub.superSpeedHalf.empty()) {
        return hub.usb2Half.empty() ? "SuperSpeed only" : "USB 2 only";
    }
    return "USB 2 " + cell(hub.usb2Half) + " + SuperSpeed " + cell(hub.superSpeedHalf);
}

}  // namespace

std::string hexId(std::uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", id);
    return text;
}

void printBusText(const Bus& bus, std::ostream& out) {
    if (bus.hubCount == 0) {
        out << "No hub of the family is on the bus.\n";
        return;
    }
    std::vector<std::vector<std::string>> rows{
        {"HUB", "PORT", "POWER", "STATUS", "DEVICE", "MANUFACTURER", "PRODUCT", "SERIAL", "WATCHED"}};
    for (const BusPort& port : bus.ports) {
        const bool device = showsDevice(port);
        rows.push_back({std::to_string(port.place.hub), std::to_string(port.place.port),
                        knownPowered(port) ? "on" : "unknown", program::connectionStatusName(port.status),
                        device ? deviceIdText(port.id) : "-", cell(port.manufacturer), cell(port.product),
                        cell(port.serial.value_or("")), port.watched ? "yes" : "no"});
    }
    printTable(rows, out);
    out << '\n';
    std::vector<std::vector<std::string>> hubRows{{"HUB", "SERIAL", "LOCATION"}};
    for (int h = 0; h < bus.hubCount; ++h) {
        const HubSighting* hub = bus.hub(h);
        hubRows.push_back({std::to_string(h), hub ? cell(hub->serial) : "?", hub ? cell(hub->location) : "?"});
    }
    printTable(hubRows, out);
}

json busJson(const Bus& bus) {
    json hubs = json::array();
    for (int h = 0; h < bus.hubCount; ++h) {
        json ports = json::array();
        for (int p = 1; p <= kPortNumbers; ++p) {
            const BusPort& port = bus.at({h, p});
            const bool device = showsDevice(port);
            ports.push_back({{"port", p},
                             {"power", knownPowered(port) ? json("on") : json(nullptr)},
                             {"status", program::connectionStatusName(port.status)},
                             {"statusCode", port.status},
                             {"vendorId", device ? json(hexId(port.id.vendorId)) : json(nullptr)},
                             {"productId", device ? json(hexId(port.id.productId)) : json(nullptr)},
                             {"manufacturer", textOrNull(port.manufacturer)},
                             {"product", textOrNull(port.product)},
                             {"serial", port.serial ? json(*port.serial) : json(nullptr)},
                             {"watched", port.watched}});
        }
        const HubSighting* hub = bus.hub(h);
        hubs.push_back({{"hub", h},
                        {"serial", hub ? json(hub->serial) : json(nullptr)},
                        {"location", hub ? json(hub->location) : json(nullptr)},
                        {"ports", std::move(ports)}});
    }
    return {{"hubCount", bus.hubCount}, {"hubs", std::move(hubs)}};
}

void printHubsText(const std::vector<anyhub::AnyHub>& hubs, std::ostream& out) {
    if (hubs.empty()) {
        out << "No hub is on the bus.\n";
        return;
    }
    for (const anyhub::AnyHub& hub : hubs) {
        printTable({{cell(hub.location), deviceIdText({hub.vendorId, hub.productId}), cell(hub.manufacturer),
                     cell(hub.product), "serial " + cell(hub.serial),
                     std::to_string(hub.portCount) + (hub.portCount == 1 ? " port" : " ports"),
                     std::string("power switching ") + anyhub::powerSwitchingName(hub.powerSwitching),
                     halvesText(hub) + (hub.family ? ", the family's" : "")}},
                   out);
        std::vector<std::vector<std::string>> rows{
            {"PORT", "POWER", "STATE", "DEVICE", "LOCATION", "MANUFACTURER", "PRODUCT", "SERIAL"}};
        for (const anyhub::ListedPort& port : hub.ports) {
            std::vector<std::string> row{std::to_string(port.number), onOff(port.powered), cell(port.state)};
            if (port.device) {
                const anyhub::DeviceOnPort& device = port.device->device;
                row.insert(row.end(), {deviceIdText({device.vendorId, device.productId}) +
                                           (device.configured ? "" : " (not configured)"),
                                       cell(port.device->location), cell(device.manufacturer), cell(device.product),
                                       cell(device.serial)});
            } else {
                row.insert(row.end(), {"-", "-", "-", "-", "-"});
            }
            rows.push_back(std::move(row));
        }
        printTable(rows, out, "  ");
    }
}

json hubsJson(const std::vector<anyhub::AnyHub>& hubs) {
    json list = json::array();
    for (const anyhub::AnyHub& hub : hubs) {
        json ports = json::array();
        for (const anyhub::ListedPort& port : hub.ports) {
            json device(nullptr);
            if (port.device) {
                const anyhub::DeviceOnPort& on = port.device->device;
                device = {{"location", port.device->location},
                          {"vendorId", hexId(on.vendorId)},
                          {"productId", hexId(on.productId)},
                          {"manufacturer", textOrNull(on.manufacturer)},
                          {"product", textOrNull(on.product)},
                          {"serial", textOrNull(on.serial)},
                          {"configured", on.configured}};
            }
            ports.push_back({{"port", port.number},
                             {"power", port.powered ? json(*port.powered ? "on" : "off") : json(nullptr)},
                             {"state", textOrNull(port.state)},
                             {"device", std::move(device)}});
        }
        list.push_back({{"location", hub.location},
                        {"vendorId", hexId(hub.vendorId)},
                        {"productId", hexId(hub.productId)},
                        {"manufacturer", textOrNull(hub.manufacturer)},
                        {"product", textOrNull(hub.product)},
                        {"serial", textOrNull(hub.serial)},
                        {"portCount", hub.portCount},
                        {"powerSwitching", anyhub::powerSwitchingName(hub.powerSwitching)},
                        {"halves", {{"usb2", textOrNull(hub.usb2Half)}, {"superSpeed", textOrNull(hub.superSpeedHalf)}}},
                        {"family", hub.family},
                        {"ports", std::move(ports)}});
    }
    return {{"hubCount", list.size()}, {"hubs", std::move(list)}};
}

void printWatchListText(const std::vector<WatchEntry>& entries, const Bus& bus, std::ostream& out) {
    if (entries.empty()) {
        out << "The watch list is empty.\n";
        return;
    }
    std::vector<std::vector<std::string>> rows{{"HUB", "PORT", "DEVICE", "MANUFACTURER", "PRODUCT", "FOLLOWS"}};
    for (const WatchEntry& entry : entries) {
        std::string follows = "-";
        if (entry.hubSerial != 0) {
            const int now = followedHub(entry, bus);
            follows = now < 0 ? "a hub that is gone" : hubText(now, *bus.hub(now));
        }
        rows.push_back({std::to_string(entry.place.hub), std::to_string(entry.place.port), deviceIdText(entry.id),
                        cell(entry.manufacturer), cell(entry.product), follows});
    }
    printTable(rows, out);
}

json watchListJson(const std::vector<WatchEntry>& entries, const Bus& bus) {
    json list = json::array();
    for (const WatchEntry& entry : entries) {
        json follows(nullptr);
        if (entry.hubSerial != 0) {
            const int now = followedHub(entry, bus);
            const HubSighting* hub = bus.hub(now);
            follows = {{"onBus", hub != nullptr},
                       {"hub", hub ? json(now) : json(nullptr)},
                       {"serial", hub ? json(hub->serial) : json(nullptr)},
                       {"location", hub ? json(hub->location) : json(nullptr)}};
        }
        list.push_back({{"hub", entry.place.hub},
                        {"port", entry.place.port},
                        {"vendorId", hexId(entry.id.vendorId)},
                        {"productId", hexId(entry.id.productId)},
                        {"manufacturer", textOrNull(entry.manufacturer)},
                        {"product", textOrNull(entry.product)},
                        {"follows", std::move(follows)}});
    }
    return {{"devices", std::move(list)}};
}

void printLocationWatchListText(const std::vector<LocationEntry>& entries, std::ostream& out) {
    std::vector<std::vector<std::string>> rows{{"LOCATION", "PORT", "DEVICE", "MANUFACTURER", "PRODUCT"}};
    for (const LocationEntry& entry : entries) {
        rows.push_back({entry.port.location, std::to_string(entry.port.port),
                        deviceIdText({entry.vendorId, entry.productId}), cell(entry.manufacturer),
                        cell(entry.product)});
    }
    printTable(rows, out);
}

json locationWatchListJson(const std::vector<LocationEntry>& entries) {
    json list = json::array();
    for (const LocationEntry& entry : entries) {
        list.push_back({{"location", entry.port.location},
                        {"port", entry.port.port},
                        {"vendorId", hexId(entry.vendorId)},
                        {"productId", hexId(entry.productId)},
                        {"manufacturer", textOrNull(entry.manufacturer)},
                        {"product", textOrNull(entry.product)}});
    }
    return list;
}

std::string logLineText(const std::string& line) {
    const auto event = program::interpretLogLine(program::readLogLine(line));
    if (!event) return text::visibleText(line);
    std::string text = timeText(*event, '/', ' ') + "  " + program::eventName(event->code) + " (" +
                       std::to_string(event->code) + ")  " + (event->hubLocation.empty() ? placeText({event->hubIndex, event->portNumber})
                                                     : locationPortText({event->hubLocation, event->portNumber})) + "  " +
                       deviceIdText({event->vendorId, event->productId});
    for (const std::string* part : {&event->manufacturer, &event->product}) {
        if (!part->empty()) text += "  " + text::visibleText(*part);
    }
    return text;
}

json logLineJson(const std::string& line) {
    const auto event = program::interpretLogLine(program::readLogLine(line));
    if (!event) return {{"unparsed", line}};
    json hub = {"hub", event->hubIndex};
    if (!event->hubLocation.empty()) hub = {"location", event->hubLocation};
    return {{"time", timeText(*event, '-', 'T')},
            {"event", program::eventName(event->code)},
            {"code", event->code},
            hub,
            {"port", event->portNumber},
            {"vendorId", hexId(event->vendorId)},
            {"productId", hexId(event->productId)},
            {"manufacturer", textOrNull(event->manufacturer)},
            {"product", textOrNull(event->product)}};
}

void printJson(const json& value, std::ostream& out) {
    out << value.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace vostrel::cli
