#include <algorithm>
#include <string>
#include <vector>

#include "hub_listing.h"
#include "kernel_hubs.h"
#include "port_power.h"
#include "power_switching_memo.h"
#include <vostrel/pt2lib_errors.h>

namespace vostrel::anyhub {
namespace {

using usbbus::PortPowerSwitching;

constexpr char kUdevHelp[] =
    "install the udev rule 61-vostrel-any-hub.rules (the package puts it in /usr/share/doc/vostrel/examples) and "
    "join group plugdev, or run as root";

// The hub named `location` (or by one of its halves) among `hubs`.
const KernelHub* hubNamed(const std::vector<KernelHub>& hubs, const std::string& location) {
    const auto found = std::ranges::find_if(hubs, [&](const KernelHub& hub) { return hub.isNamed(location); });
    return found == hubs.end() ? nullptr : &*found;
}

SwitchResult result(SwitchOutcome outcome, std::string why) { return {outcome, std::move(why)}; }

class HostHubListing final : public HubListing {
public:
    void refresh() override {
        kernelHubs_ = readKernelHubs();
        hubs_.clear();
        for (const KernelHub& hub : kernelHubs_) hubs_.push_back(hub.listed);
    }

    const std::vector<AnyHub>& hubs() const override { return hubs_; }

    void learnPowerSwitching(const std::string& memoFile) override {
        const PowerSwitchingMemo known = memoFile.empty() ? PowerSwitchingMemo{} : readPowerSwitchingMemo(memoFile);
        PowerSwitchingMemo now;
        bool learned = false;
        for (std::size_t h = 0; h < kernelHubs_.size(); ++h) {
            const KernelHub& hub = kernelHubs_[h];
            std::optional<PortPowerSwitching> mode;
            for (std::size_t s = 0; s < hub.sides.size(); ++s) {
                std::optional<PortPowerSwitching> told;
                if (const auto kept = known.find(hub.instances[s]); kept != known.end()) {
                    told = kept->second;
                } else if (PortPowerSwitching answer = PortPowerSwitching::None;
                           power_.powerSwitching(hub.sides[s], answer) == PT2_OK) {
                    told = answer;
                    learned = true;
                }
                if (!told) {
                    mode.reset();
                    break;
                }
                now.emplace(hub.instances[s], *told);
                mode = combined(mode, *told);
            }
            hubs_[h].powerSwitching = mode;
        }
        // Written only when it learned something, with only the hub devices
        // on the bus now: it never grows beyond the bus.
        if (learned && !memoFile.empty()) writePowerSwitchingMemo(memoFile, now);
    }

    PortLook look(const PortAddress& address) const override {
        const KernelHub* hub = hubNamed(kernelHubs_, address.location);
        if (hub == nullptr || address.port < 1 || address.port > hub->listed.portCount) return {};
        const ListedPort& port = hub->listed.ports[static_cast<std::size_t>(address.port - 1)];
        if (!port.device) return {PortReading::Empty, {}};
        return {PortReading::Device, port.device->device};
    }

    SwitchResult setPower(const PortAddress& address, bool on) override {
        const std::vector<KernelHub> now = readKernelHubs();
        const KernelHub* hub = hubNamed(now, address.location);
        const std::string name = "hub " + address.location;
        if (hub == nullptr) return result(SwitchOutcome::HubMissing, "no hub at " + address.location);
        if (address.port < 1 || address.port > hub->listed.portCount) {
            return result(SwitchOutcome::HubMissing, name + " has no port " + std::to_string(address.port) +
                                                         " (it has " + std::to_string(hub->listed.portCount) + ")");
        }

        std::optional<PortPowerSwitching> mode;
        if (const std::uint32_t failed = switchingOf(*hub, mode)) {
            return refusal(failed, name + " cannot be asked how it switches its ports' power");
        }
        if (mode == PortPowerSwitching::Ganged) {
            return result(SwitchOutcome::NotSwitchable,
                          name + " switches the power of all its ports together (ganged, says its hub descriptor), "
                                 "not each port's on its own");
        }
        if (mode != PortPowerSwitching::EachPort) {
            return result(SwitchOutcome::NotSwitchable,
                          name + " does not switch its ports' power (its hub descriptor says so)");
        }

        // Off: the USB 2 half first, so a SuperSpeed device never drops to
        // its USB 2 connection while the power goes; on: the SuperSpeed half
        // first, for the same reason. A half that fails has the halves
        // switched before it switched back.
        const std::vector<int>& sidePorts = hub->sidePorts[static_cast<std::size_t>(address.port - 1)];
        std::vector<std::size_t> order;
        for (std::size_t s = 0; s < hub->sides.size(); ++s) {
            if (sidePorts[s] != 0) order.push_back(s);
        }
        if (on) std::ranges::reverse(order);
        for (std::size_t i = 0; i < order.size(); ++i) {
            const native::HubSide& side = hub->sides[order[i]];
            if (const std::uint32_t failed = power_.set(side, sidePorts[order[i]], on)) {
                while (i-- > 0) power_.set(hub->sides[order[i]], sidePorts[order[i]], !on);
                return refusal(failed, "port " + std::to_string(address.port) + " of " + name + " was not switched " +
                                           (on ? "on" : "off"));
            }
        }
        return {SwitchOutcome::Done, {}};
    }

private:
    // A hub's power switching from its halves': each port on its own only
    // when every half says so, none when any half says none.
    static PortPowerSwitching combined(std::optional<PortPowerSwitching> sofar, PortPowerSwitching told) {
        if (!sofar || *sofar == PortPowerSwitching::EachPort || told == PortPowerSwitching::None) return told;
        return *sofar;
    }

    // How `hub` switches its ports' power, each half asked now (never taken
    // from a memo: the switch goes by it). PT2_OK, or why a half could not be
    // asked.
    std::uint32_t switchingOf(const KernelHub& hub, std::optional<PortPowerSwitching>& mode) {
        for (const native::HubSide& side : hub.sides) {
            PortPowerSwitching told = PortPowerSwitching::None;
            if (const std::uint32_t failed = power_.powerSwitching(side, told)) return failed;
            mode = combined(mode, told);
        }
        return PT2_OK;
    }

    static SwitchResult refusal(std::uint32_t error, const std::string& what) {
        switch (error) {
            case PT2_ERROR_PERMISSION_DENIED:
                return result(SwitchOutcome::NotPermitted, what + ": the kernel refused access; " + kUdevHelp);
            case PT2_ERROR_HUB_GONE: return result(SwitchOutcome::HubMissing, what + ": the hub went from the bus");
            case PT2_ERROR_NO_PORT_POWER_CONTROL:
                return result(SwitchOutcome::NotSwitchable,
                              what + ": the hub gave no hub descriptor, refused the port power request, or has no "
                                     "usbfs node to ask it through");
            default: return result(SwitchOutcome::Failed, what + ": the kernel did not take the change");
        }
    }

    std::vector<KernelHub> kernelHubs_;
    std::vector<AnyHub> hubs_;
    native::PortPower power_;
};

}  // namespace

std::unique_ptr<HubListing> makeHostHubListing() { return std::make_unique<HostHubListing>(); }
std::unique_ptr<HubPorts> makeHostHubPorts() { return makeHostHubListing(); }

}  // namespace vostrel::anyhub
