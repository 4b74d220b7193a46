#include <iostream>
#include <optional>

#include "any_hub_port.h"
#include "bus.h"
#include "commands.h"
#include "platform/termination_signals.h"
#include <vostrel/vendor_library_name.h>
#include "session.h"
#include "program_core/port_commands.h"

namespace vostrel::cli {
namespace {

// A tick of the library's monitor is about a second.
constexpr std::chrono::milliseconds kTick{1000};

void switchPort(const HubLibrary& hub, Place place, bool on) {
    const program::SwitchOutcome outcome = program::switchPort(hub, place.hub, place.port - 1, on);
    if (!outcome.done) throw failure("cannot switch " + placeText(place) + (on ? " on: " : " off: ") + outcome.refusal);
    std::cout << placeText(place) << ": power " << (on ? "on" : "off") << std::endl;
}

}  // namespace

std::chrono::milliseconds storedOffTime(const HubLibrary& hub) {
    std::uint8_t interval = 0, offTime = 0;
    hub.getTimes(&interval, &offTime);
    return (offTime + 1) * kTick;
}

int portCommand(const std::string& stateFolder, const PortName& name, PortAction action,
                std::optional<std::chrono::milliseconds> offTime) {
    // A cycle waits with the port off: a signal then ends the wait early,
    // and the port is switched on again before the program ends.
    std::optional<platform::TerminationSignals> signals;
    if (action == PortAction::Cycle) signals.emplace();

    const Session session(stateFolder, StateUse::Read);
    const HubLibrary& hub = session.hub();
    const Bus bus = readBus(hub);
    if (fitsNoFamilyPort(bus, name)) {
        // Perhaps on another hub; where there is none, the family's answer.
        const auto hubs = anyhub::makeHostHubListing();
        if (hubs) hubs->refresh();
        if (const auto other = hubs ? findOnOtherHubs(*hubs, name) : std::nullopt) {
            const std::chrono::milliseconds pause =
                action == PortAction::Cycle ? offTime.value_or(storedOffTime(hub)) : std::chrono::milliseconds{0};
            switchAnyHubPort(*hubs, *other, action, pause, signals ? &*signals : nullptr);
            return 0;
        }
    }
    const Place place = choosePort(bus, name);
    if (hub.initVendorLibrary() == 0) {
        throw failure(std::string("the vendor library ") + vostrel::platform::kVendorLibraryName +
                      " could not be loaded (Hub_InitPt2lib returned 0)");
    }
    if (action == PortAction::Toggle) {
        // Off while the port is known to be powered, else on, as the
        // port's menu offers them.
        switchPort(hub, place, !knownPowered(bus.at(place)));
        return 0;
    }
    if (action != PortAction::Cycle) {
        switchPort(hub, place, action == PortAction::On);
        return 0;
    }
    const std::chrono::milliseconds pause = offTime.value_or(storedOffTime(hub));
    // The port is switched on again on the hub it was switched off on: when
    // another hub comes or goes during the pause, that hub may have another
    // number, and the old number another hub.
    const HubSighting* identity = bus.hub(place.hub);
    if (identity == nullptr) throw failure("the bus changed; try again");
    const HubSighting cycled = *identity;
    switchPort(hub, place, false);
    const bool interrupted = signals->wait(pause);
    const int hubNow = findHubNow(cycled);
    if (hubNow < 0) {
        throw failure(hubText(place.hub, cycled) + " has gone from the bus during the pause; port " +
                      std::to_string(place.port) + " was not switched on again");
    }
    const Place again{hubNow, place.port};
    if (hubNow != place.hub) std::cout << hubText(place.hub, cycled) << " is hub " << hubNow << " now" << std::endl;
    try {
        switchPort(hub, again, true);
    } catch (const CommandError& error) {
        throw failure(placeText(again) + " stays off: " + error.what());
    }
    if (interrupted) throw failure("interrupted: " + placeText(again) + " was switched on again early");
    return 0;
}

}  // namespace vostrel::cli
