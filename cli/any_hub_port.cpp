#include "any_hub_port.h"

#include <iostream>
#include <string>
#include <vector>

#include "session.h"
#include "text/visible_text.h"

namespace vostrel::cli {
namespace {

std::string portText(const anyhub::PortAddress& port) {
    return "hub " + text::visibleText(port.location) + " port " + std::to_string(port.port);
}

void switchPower(anyhub::HubListing& hubs, const anyhub::PortAddress& port, bool on) {
    const anyhub::SwitchResult result = hubs.setPower(port, on);
    if (result.outcome != anyhub::SwitchOutcome::Done) {
        throw failure("cannot switch " + portText(port) + (on ? " on: " : " off: ") + result.why);
    }
    std::cout << portText(port) << ": power " << (on ? "on" : "off") << std::endl;
}

const anyhub::ListedPort* listedPort(const anyhub::HubListing& hubs, const anyhub::PortAddress& port) {
    for (const anyhub::AnyHub& hub : hubs.hubs()) {
        if (hub.location != port.location && hub.usb2Half != port.location && hub.superSpeedHalf != port.location) {
            continue;
        }
        if (port.port < 1 || port.port > hub.portCount) return nullptr;
        return &hub.ports[static_cast<std::size_t>(port.port - 1)];
    }
    return nullptr;
}

struct Candidate {
    anyhub::PortAddress port;
    anyhub::ListedDevice device;
};

}  // namespace

std::unique_ptr<anyhub::HubListing> hostHubs(const char* what) {
    auto hubs = anyhub::makeHostHubListing();
    if (!hubs) throw failure(std::string(what) + " is not available on this system");
    hubs->refresh();
    return hubs;
}

void switchAnyHubPort(anyhub::HubListing& hubs, const anyhub::PortAddress& port, PortAction action,
                      std::chrono::milliseconds pause, platform::TerminationSignals* signals) {
    if (action == PortAction::On || action == PortAction::Off) {
        switchPower(hubs, port, action == PortAction::On);
        return;
    }
    if (action == PortAction::Toggle) {
        const anyhub::ListedPort* listed = listedPort(hubs, port);
        if (listed == nullptr) throw failure("no " + portText(port) + " on the bus");
        if (!listed->powered) {
            throw failure("the power of " + portText(port) +
                          " is not known (the kernel shows it from Linux 6.0 on): say on or off");
        }
        switchPower(hubs, port, !*listed->powered);
        return;
    }
    switchPower(hubs, port, false);
    const bool interrupted = signals != nullptr && signals->wait(pause);
    try {
        switchPower(hubs, port, true);
    } catch (const CommandError& error) {
        throw failure(portText(port) + " stays off: " + error.what());
    }
    if (interrupted) throw failure("interrupted: " + portText(port) + " was switched on again early");
}

std::optional<anyhub::PortAddress> findOnOtherHubs(anyhub::HubListing& hubs, const PortName& name) {
    std::vector<Candidate> fitting;
    for (const anyhub::AnyHub& hub : hubs.hubs()) {
        if (hub.family) continue;
        for (const anyhub::ListedPort& port : hub.ports) {
            if (!port.device) continue;
            const anyhub::DeviceOnPort& device = port.device->device;
            const bool fits = name.serial ? device.serial == *name.serial
                                          : DeviceId{device.vendorId, device.productId} == *name.device;
            if (fits) fitting.push_back({{hub.location, port.number}, *port.device});
        }
    }
    if (fitting.empty()) return std::nullopt;
    const std::string what = name.serial ? "serial " + text::visibleText(*name.serial)
                                         : "device " + deviceIdText(*name.device);
    return pickCandidate<Candidate>(fitting, name.index, what, "on the bus's other hubs",
                                    [](const Candidate& c) {
                                        return portText(c.port) + "  " +
                                               deviceIdText({c.device.device.vendorId, c.device.device.productId}) +
                                               "  " + text::visibleText(c.device.location);
                                    })
        .port;
}

int locationPortCommand(const std::string& stateFolder, const anyhub::PortAddress& port, PortAction action,
                        std::optional<std::chrono::milliseconds> offTime) {
    std::optional<platform::TerminationSignals> signals;
    if (action == PortAction::Cycle) signals.emplace();
    const auto hubs = hostHubs("switching a hub's port by its location");
    std::chrono::milliseconds pause{0};
    if (action == PortAction::Cycle) {
        pause = offTime ? *offTime : storedOffTime(Session(stateFolder, StateUse::Read).hub());
    }
    switchAnyHubPort(*hubs, port, action, pause, signals ? &*signals : nullptr);
    return 0;
}

}  // namespace vostrel::cli
