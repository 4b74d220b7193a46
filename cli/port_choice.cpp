#include "port_choice.h"

#include <algorithm>
#include <cstdio>

#include "text/visible_text.h"

namespace vostrel::cli {
namespace {

constexpr const char* kOnTheHubs = "on the family's hubs";

std::string hubRange(const Bus& bus) {
    if (bus.hubCount == 0) return "no hub of the family is on the bus";
    if (bus.hubCount == 1) return "the bus shows hub 0 only";
    return "the bus shows hubs 0 to " + std::to_string(bus.hubCount - 1);
}

std::string portDescription(const BusPort& port) {
    std::string text = placeText(port.place) + "  " + deviceIdText(port.id);
    for (const std::string* part : {&port.manufacturer, &port.product}) {
        if (!part->empty()) text += "  " + text::visibleText(*part);
    }
    return text;
}

}  // namespace

PortName portNameFrom(const std::vector<std::string>& words, const std::optional<std::string>& hub,
                      const std::optional<std::string>& serial, const std::optional<std::string>& device,
                      const std::optional<std::string>& index) {
    const int ways = (words.empty() && !hub ? 0 : 1) + (serial ? 1 : 0) + (device ? 1 : 0);
    if (ways == 0) throw usageError("name the port: HUB PORT, --hub HUB PORT, --serial TEXT or --device VID:PID");
    if (ways > 1) {
        throw usageError("name the port one way only: HUB PORT, --hub HUB PORT, --serial TEXT or --device VID:PID");
    }
    if (hub && words.size() != 1) throw usageError("--hub names the hub: give PORT alone");
    if (!hub && !words.empty() && words.size() != 2) throw usageError("give both HUB and PORT");
    if (index && !words.empty()) throw usageError("--index picks among devices named by --serial or --device");
    if (serial && serial->empty()) throw usageError("--serial: give the device's serial number");
    if (hub && hub->empty()) throw usageError("--hub: give the hub's serial number or location");

    PortName name;
    if (hub) {
        name.place = Place{0, parsePort(words[0])};
        name.hub = hub;
    }
    if (words.size() == 2) name.place = Place{parseHub(words[0]), parsePort(words[1])};
    name.serial = serial;
    if (device) name.device = parseDeviceId(*device);
    if (index) name.index = parseIndex(*index);
    return name;
}

std::string placeText(Place place) {
    return "hub " + std::to_string(place.hub) + " port " + std::to_string(place.port);
}

std::string deviceIdText(DeviceId id) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", id.vendorId, id.productId);
    return text;
}

int chooseHub(const Bus& bus, const std::string& name) {
    if (bus.hubs.size() != static_cast<std::size_t>(bus.hubCount)) throw failure("the bus changed; try again");
    std::vector<int> fitting;
    for (int k = 0; k < bus.hubCount; ++k) {
        const HubSighting& hub = bus.hubs[static_cast<std::size_t>(k)];
        if (hub.serial == name || hub.location == name) fitting.push_back(k);
    }
    if (fitting.size() == 1) return fitting.front();
    std::string list;
    for (int k = 0; k < bus.hubCount; ++k) list += "\n  " + hubText(k, bus.hubs[static_cast<std::size_t>(k)]);
    if (fitting.empty()) {
        throw failure("no hub " + text::visibleText(name) + " on the bus" +
                      (bus.hubCount == 0 ? ": " + hubRange(bus) : ";" + list));
    }
    throw failure(std::to_string(fitting.size()) + " hubs fit " + text::visibleText(name) +
                  "; name one by its location:" + list);
}

bool fitsNoFamilyPort(const Bus& bus, const PortName& name) {
    if (name.device) {
        return std::ranges::none_of(bus.ports,
                                    [&](const BusPort& port) { return showsDevice(port) && port.id == *name.device; });
    }
    if (name.serial) {
        return std::ranges::none_of(bus.serials,
                                    [&](const SerialSighting& sighting) { return sighting.serial == *name.serial; });
    }
    return false;
}

Place choosePort(const Bus& bus, const PortName& name) {
    if (name.hub) return Place{chooseHub(bus, *name.hub), name.place->port};
    if (name.place) {
        if (!bus.hasHub(name.place->hub)) {
            throw failure("no hub " + std::to_string(name.place->hub) + ": " + hubRange(bus));
        }
        return *name.place;
    }
    if (name.device) {
        std::vector<BusPort> fitting;
        for (const BusPort& port : bus.ports) {
            if (showsDevice(port) && port.id == *name.device) fitting.push_back(port);
        }
        return pickCandidate<BusPort>(fitting, name.index, "device " + deviceIdText(*name.device), kOnTheHubs,
                                      portDescription)
            .place;
    }
    std::vector<SerialSighting> fitting;
    for (const SerialSighting& sighting : bus.serials) {
        if (sighting.serial == *name.serial) fitting.push_back(sighting);
    }
    const SerialSighting& found = pickCandidate<SerialSighting>(
        fitting, name.index, "serial " + *name.serial, kOnTheHubs,
        [](const SerialSighting& s) { return placeText(s.place) + "  " + deviceIdText(s.id); });
    // The lookup scanned on its own; the hub library's scan must agree.
    if (!bus.hasHub(found.place.hub) || !showsDevice(bus.at(found.place)) || bus.at(found.place).id != found.id) {
        throw failure("the bus changed; try again");
    }
    return found.place;
}

}  // namespace vostrel::cli
