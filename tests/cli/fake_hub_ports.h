// Hub ports whose bus the test sets: look() answers from what the bus was at
// the last refresh(), as the host's do, and every switch is recorded.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hub_ports.h"

namespace vostrel::cli::test {

class FakeHubPorts final : public anyhub::HubPorts {
public:
    struct Switch {
        anyhub::PortAddress port;
        bool on;
        bool operator==(const Switch&) const = default;
    };

    // The bus from now on; a port not set is on no hub.
    void put(const anyhub::PortAddress& port, anyhub::PortLook look) { now_[key(port)] = std::move(look); }
    void putDevice(const anyhub::PortAddress& port, std::uint16_t vid, std::uint16_t pid, bool configured = true,
                   std::string manufacturer = "Maker", std::string product = "Widget") {
        put(port, {anyhub::PortReading::Device, {vid, pid, configured, std::move(manufacturer), std::move(product), ""}});
    }
    void putEmpty(const anyhub::PortAddress& port) { put(port, {anyhub::PortReading::Empty, {}}); }
    void removeHub(const anyhub::PortAddress& port) { now_.erase(key(port)); }
    // Switches of the port are refused from now on.
    void refuseSwitches(const anyhub::PortAddress& port) { refused_[key(port)] = true; }

    void refresh() override {
        seen_ = now_;
        ++refreshes;
    }
    anyhub::PortLook look(const anyhub::PortAddress& port) const override {
        const auto found = seen_.find(key(port));
        return found == seen_.end() ? anyhub::PortLook{} : found->second;
    }
    anyhub::SwitchResult setPower(const anyhub::PortAddress& port, bool on) override {
        switches.push_back({port, on});
        if (now_.count(key(port)) == 0) return {anyhub::SwitchOutcome::HubMissing, "no hub there"};
        if (refused_.count(key(port)) != 0) return {anyhub::SwitchOutcome::NotPermitted, "permission denied"};
        return {anyhub::SwitchOutcome::Done, ""};
    }

    std::vector<Switch> switches;
    int refreshes = 0;

private:
    static std::pair<std::string, int> key(const anyhub::PortAddress& port) { return {port.location, port.port}; }

    std::map<std::pair<std::string, int>, anyhub::PortLook> now_, seen_;
    std::map<std::pair<std::string, int>, bool> refused_;
};

}  // namespace vostrel::cli::test
