#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

#include "any_hub_port.h"
#include "bus.h"
#include "location_watch_file.h"
#include "location_watch_list.h"
#include "commands.h"
#include "output_format.h"
#include "platform/folders.h"
#include "program_core/port_texts.h"
#include "session.h"
#include "text/visible_text.h"
#include "watch_list.h"

namespace vostrel::cli {
namespace {

std::string deviceText(DeviceId id, const std::string& manufacturer, const std::string& product) {
    std::string text = deviceIdText(id);
    for (const std::string* part : {&manufacturer, &product}) {
        if (!part->empty()) text += "  " + text::visibleText(*part);
    }
    return text;
}

// The place of the watched entry that `name` names: a device by its IDs is
// looked for in the watch list (it may be gone from the bus, which is why
// it is removed), a serial on the bus.
Place watchedPlace(const HubLibrary& hub, const PortName& name) {
    if (name.place && !name.hub) return *name.place;
    if (name.device) {
        std::vector<WatchEntry> fitting;
        for (const WatchEntry& entry : readWatchList(hub)) {
            if (entry.id == *name.device) fitting.push_back(entry);
        }
        return pickCandidate<WatchEntry>(fitting, name.index, "device " + deviceIdText(*name.device),
                                         "on the watch list",
                                         [](const WatchEntry& e) {
                                             return placeText(e.place) + "  " +
                                                    deviceText(e.id, e.manufacturer, e.product);
                                         })
            .place;
    }
    return choosePort(readBus(hub), name);
}

std::string watchFilePath(const Session& session) { return session.stateFolder() + "/" + kLocationWatchFile; }

std::vector<LocationEntry> readLocationEntries(const Session& session) {
    try {
        return readLocationWatchFile(watchFilePath(session));
    } catch (const WatchFileError& error) {
        throw failure(error.what());
    }
}

void storeLocationEntries(const Session& session, const std::vector<LocationEntry>& entries) {
    try {
        writeLocationWatchFile(watchFilePath(session), entries);
    } catch (const WatchFileError& error) {
        const std::string why = platform::fileWriteProblem(session.stateFolder(), locationWatchFileText(entries).size());
        throw failure(std::string("the change was not stored: ") + error.what() + (why.empty() ? "" : ": " + why));
    }
}

// Adds the device on `port` of any hub to the entries kept by location.
int addByLocation(const Session& session, const anyhub::PortAddress& port, anyhub::HubPorts& hubs) {
    std::vector<LocationEntry> entries = readLocationEntries(session);
    const LocationEntry& added = addLocationEntry(entries, port, hubs);
    const std::string text = deviceText({added.vendorId, added.productId}, added.manufacturer, added.product);
    storeLocationEntries(session, entries);
    std::cout << "watching " << locationPortText(port) << ": " << text << std::endl;
    return 0;
}

}  // namespace

int watchAddCommand(const std::string& stateFolder, const PortName& name) {
    const Session session(stateFolder, StateUse::Change);
    const HubLibrary& hub = session.hub();
    const Bus bus = readBus(hub);
    if (fitsNoFamilyPort(bus, name)) {
        // Perhaps on another hub, then kept by its location; where there is
        // none, the family's answer.
        const auto hubs = anyhub::makeHostHubListing();
        if (hubs) hubs->refresh();
        if (const auto other = hubs ? findOnOtherHubs(*hubs, name) : std::nullopt) {
            return addByLocation(session, *other, *hubs);
        }
    }
    const Place place = choosePort(bus, name);
    const BusPort& port = bus.at(place);
    if (port.status != HUB_DEVICE_CONNECTED) {
        throw failure(placeText(place) + " has no working device to watch (" + program::connectionStatusName(port.status) + ")");
    }
    if (port.watched) throw failure(placeText(place) + " is on the watch list already");
    // The record the library hands out for the port is the one it takes in.
    DeviceInfoRecord record{};
    if (hub.getPortInfo(&record, place.hub, place.port - 1) == 0) throw failure("the bus changed; try again");
    if (hub.addWatched(&record) == 0) throw failure("the watch list is full: it holds 32 devices");
    session.storeChange();
    std::cout << "watching " << placeText(place) << ": " << deviceText(port.id, port.manufacturer, port.product)
              << std::endl;
    return 0;
}

namespace {

// The entry kept by location that `name` (--serial or --device) names where
// the family's watch list and hubs do not: a device by its IDs among the
// entries, a serial on any hub. Nothing when it names none there.
std::optional<anyhub::PortAddress> watchedByLocation(const Session& session, const PortName& name) {
    const HubLibrary& hub = session.hub();
    if (name.device) {
        const auto& id = *name.device;
        if (std::ranges::any_of(readWatchList(hub), [&](const WatchEntry& entry) { return entry.id == id; })) {
            return std::nullopt;
        }
        std::vector<LocationEntry> fitting;
        for (const LocationEntry& entry : readLocationEntries(session)) {
            if (entry.vendorId == id.vendorId && entry.productId == id.productId) fitting.push_back(entry);
        }
        if (fitting.empty()) return std::nullopt;
        return pickCandidate<LocationEntry>(fitting, name.index, "device " + deviceIdText(id), "on the watch list",
                                            [](const LocationEntry& e) {
                                                return locationPortText(e.port) + "  " +
                                                       deviceText({e.vendorId, e.productId}, e.manufacturer,
                                                                  e.product);
                                            })
            .port;
    }
    if (!name.serial || !fitsNoFamilyPort(readBus(hub), name)) return std::nullopt;
    const auto hubs = anyhub::makeHostHubListing();
    if (!hubs) return std::nullopt;
    hubs->refresh();
    return findOnOtherHubs(*hubs, name);
}

int watchRemoveByLocation(const Session& session, const anyhub::PortAddress& port) {
    std::vector<LocationEntry> entries = readLocationEntries(session);
    removeLocationEntry(entries, port);
    storeLocationEntries(session, entries);
    std::cout << "no longer watching " << locationPortText(port) << std::endl;
    return 0;
}

}  // namespace

int watchRemoveCommand(const std::string& stateFolder, const PortName& name) {
    const Session session(stateFolder, StateUse::Change);
    if (const auto byLocation = watchedByLocation(session, name)) return watchRemoveByLocation(session, *byLocation);
    const HubLibrary& hub = session.hub();
    const Place place = watchedPlace(hub, name);
    DeviceInfoRecord record{};
    if (hub.watchedAt(&record, place.hub, place.port - 1) == 0) {
        throw failure(placeText(place) + " is not on the watch list");
    }
    hub.removeWatched(&record);
    session.storeChange();
    std::cout << "no longer watching " << placeText(place) << std::endl;
    return 0;
}

int watchAddByLocationCommand(const std::string& stateFolder, const anyhub::PortAddress& port) {
    const std::unique_ptr<anyhub::HubPorts> hubs = anyhub::makeHostHubPorts();
    if (!hubs) throw failure("this build of vostrel cannot reach hubs by their location");
    const Session session(stateFolder, StateUse::Change);
    return addByLocation(session, port, *hubs);
}

int watchRemoveByLocationCommand(const std::string& stateFolder, const anyhub::PortAddress& port) {
    const Session session(stateFolder, StateUse::Change);
    return watchRemoveByLocation(session, port);
}

int watchListCommand(const std::string& stateFolder, Output output) {
    const Session session(stateFolder, StateUse::Read);
    const std::vector<WatchEntry> entries = readWatchList(session.hub());
    const std::vector<LocationEntry> byLocation = readLocationEntries(session);
    const Bus bus = readBus(session.hub());
    if (output == Output::Json) {
        nlohmann::ordered_json list = watchListJson(entries, bus);
        if (!byLocation.empty()) list["byLocation"] = locationWatchListJson(byLocation);
        printJson(list, std::cout);
    } else {
        // With devices watched by location only, the family's empty list
        // goes unsaid.
        if (!entries.empty() || byLocation.empty()) printWatchListText(entries, bus, std::cout);
        if (!entries.empty() && !byLocation.empty()) std::cout << '\n';
        if (!byLocation.empty()) printLocationWatchListText(byLocation, std::cout);
    }
    return 0;
}

}  // namespace vostrel::cli
