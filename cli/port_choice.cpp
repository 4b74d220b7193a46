#include "port_choice.h"

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

PortName portNameFrom(const std::vector<std::string>& words, const std::optional<std::string>& serial,
                      const std::optional<std::string>& device, const std::optional<std::string>& index) {
    const int ways = (words.empty() ? 0 : 1) + (serial ? 1 : 0) + (device ? 1 : 0);
    if (ways == 0) throw usageError("name the port: HUB PORT, --serial TEXT or --device VID:PID");
    if (ways > 1) throw usageError("name the port one way only: HUB PORT, --serial TEXT or --device VID:PID");
    if (!words.empty() && words.size() != 2) throw usageError("give both HUB and PORT");
    if (index && words.size() == 2) throw usageError("--index picks among devices named by --serial or --device");
    if (serial && serial->empty()) throw usageError("--serial: give the device's serial number");

    PortName name;
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

Place choosePort(const Bus& bus, const PortName& name) {
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
